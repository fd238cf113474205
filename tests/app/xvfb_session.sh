#!/usr/bin/env bash
# The real program in a real X server, driven by keys alone: 1. the remembered folder, the tree's
# keys playing into the work folder, Escape; 2. a remembered folder of only "PACKED.DAT", rebuilt at
# start-up, Return; 3. the keyboard's way through the export dialog writes what `sonvault-cli
# export` writes. The game folder never changes, and the program ends with status 0.
# Usage: xvfb_session.sh SONVAULT DEMO_DIR SONVAULT_CLI
set -euo pipefail
if [[ -z "${IN_XVFB:-}" ]]; then
  IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
sonvault=$1 demo=$2 cli=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # up to 20 s
  local what=$1; shift
  for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
  fail "timed out waiting for $what"
}
checksums() { (cd "$1" && sha256sum -- *); }
key() { xdotool key --delay 50 "$@"; }
window_named() { window=$(xdotool search --all --onlyvisible --pid "$pid" --name "$1" 2>/dev/null | head -1) && [[ -n $window ]]; }

# Starts the program on a copy of a demo folder, remembered in a fresh profile; sets game, before,
# work, pid and window.
start() {
  game=$scratch/$2 work=$scratch/$2-work
  local config=$scratch/$2-config
  cp -r "$demo/$1" "$game"
  before=$(checksums "$game")
  mkdir -p "$work" "$config/Merrow Applications"
  printf '[StartupValues]\nPreviousArena2Path=%s\n' "$game" >"$config/Merrow Applications/Sonvault.conf"
  (cd "$work" && XDG_CONFIG_HOME=$config exec "$sonvault") &
  pid=$!
  wait_for "the main window" window_named '^Sonvault$'
  xdotool windowfocus --sync "$window"
}

ends_cleanly() {
  ended() { ! kill -0 "$pid" 2>/dev/null; }
  wait_for "the end after the closing key" ended
  local status=0
  wait "$pid" || status=$?
  [[ $status -eq 0 ]] || fail "ended with status $status"
  [[ "$(checksums "$game")" == "$before" ]] || fail "the game folder changed"
}

start Arena2 keys
key Home Down
wait_for "temp.wav" test -s "$work/temp.wav"
key End Down
wait_for "temp.mid" test -s "$work/temp.mid"
[[ $(head -c 4 "$work/temp.wav") == RIFF && $(head -c 4 "$work/temp.mid") == MThd ]] ||
  fail "the work folder's files are no WAV and MIDI files"
key Escape
ends_cleanly
[[ "$(ls "$work")" == "$(printf 'temp.mid\ntemp.wav')" ]] || fail "work folder holds: $(ls "$work")"

start Arena2-packed packed
rebuilt() { compgen -G "$work/packed-*/WYVERN.SND" | head -n 1; }
rebuilt_there() { [[ -s "$(rebuilt)" ]]; }
wait_for "the rebuilt archive" rebuilt_there
cmp -s "$(rebuilt)" "$demo/Arena2/WYVERN.SND" || fail "the rebuilt archive differs"
key Home Down
wait_for "an effect from the rebuilt archive" test -s "$work/temp.wav"
key Return
ends_cleanly

# Nothing selected: the dialog opens on "All effects and songs" with the focus on it. Then
# All effects (Space), its path, Browse, All songs (Space), its path, Browse, Save (Space).
out=$scratch/exported
mkdir -p "$out/fx" "$out/music"
start Arena2 export
key Menu
sleep 0.5
key e
wait_for "the export dialog" window_named '^Save$'
xdotool windowfocus --sync "$window"
key Tab space Tab
xdotool type --delay 20 "$out/fx"
key Tab Tab space Tab
xdotool type --delay 20 "$out/music"
key Tab Tab space
wait_for "the exported files" eval '[[ $(find "$out" -type f | wc -l) -ge 54 ]]'
key Escape
ends_cleanly
"$cli" export "$game" --effects "$scratch/ref/fx" --songs "$scratch/ref/music" \
  --work "$scratch/ref-work" >/dev/null 2>&1
diff -r "$scratch/ref" "$out" >/dev/null || fail "the window's export differs from the command's"
echo "3 passed, 0 failed"
