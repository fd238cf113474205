#!/usr/bin/env bash
# The real program in a real X server, driven by keys alone: 1. the remembered folder at start-up,
# the tree's keys playing into the work folder, Escape; 2. a remembered folder with only
# "PACKED.DAT" rebuilt at start-up; 3. the keyboard's way through the export dialog writes what
# `sonvault-cli export` writes, byte for byte. The game folder is never changed.
# Usage: xvfb_session.sh SONVAULT DEMO_DIR SONVAULT_CLI   (needs xvfb-run and xdotool)
set -euo pipefail

if [[ -z "${IN_XVFB:-}" ]]; then
  IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

sonvault=$1
demo=$2
cli=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Waits up to 20 s for a condition given as a command.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 200); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for $what"
}

# Copies a demo folder and starts the program on it in a fresh profile and work folder; sets
# game, before, pid, work, window.
start() {
  game=$scratch/$2
  cp -r "$demo/$1" "$game"
  before=$(checksums "$game")
  work=$scratch/$2-work
  local config=$scratch/$2-config
  mkdir -p "$work" "$config/Merrow Applications"
  printf '[StartupValues]\nPreviousArena2Path=%s\n' "$game" >"$config/Merrow Applications/Sonvault.conf"
  (cd "$work" && XDG_CONFIG_HOME=$config exec "$sonvault") &
  pid=$!
  find_window() { window=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Sonvault$' 2>/dev/null | head -1) && [[ -n $window ]]; }
  wait_for "the main window" find_window
  xdotool windowfocus --sync "$window"
}

key() { xdotool key --delay 50 "$@"; }
checksums() { (cd "$1" && sha256sum -- *); }

# After the closing key: status 0, and the game folder as it was.
ends_cleanly() {
  local status=0
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running after the closing key"
  wait "$pid" || status=$?
  [[ $status -eq 0 ]] || fail "ended with status $status"
  [[ "$(checksums "$game")" == "$before" ]] || fail "the game folder changed"
}

# 1. Keys alone on the remembered demo folder.
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
echo "keys: ok"

# 2. A remembered folder with only the container: rebuilt at start-up.
start Arena2-packed packed
rebuilt() { compgen -G "$work/packed-*/WYVERN.SND" | head -n 1; }
rebuilt_there() { [[ -s "$(rebuilt)" ]]; }
wait_for "the rebuilt archive" rebuilt_there
cmp -s "$(rebuilt)" "$demo/Arena2/WYVERN.SND" || fail "the rebuilt archive differs"
key Home Down
wait_for "an effect from the rebuilt archive" test -s "$work/temp.wav"
key Return
ends_cleanly
echo "rebuild: ok"

# 3. Nothing selected, so the dialog opens on "All effects and songs" with the focus on it.
out=$scratch/exported
mkdir -p "$out/fx" "$out/music"
start Arena2 export
key Menu
sleep 0.5
key e
find_dialog() { dialog=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Save$' 2>/dev/null | head -1) && [[ -n $dialog ]]; }
wait_for "the export dialog" find_dialog
xdotool windowfocus --sync "$dialog"
# radioAll -> All effects (Space) -> its path -> Browse -> All songs (Space) -> its path -> Browse
# -> Save (Space)
key Tab space Tab
xdotool type --delay 20 "$out/fx"
key Tab Tab space Tab
xdotool type --delay 20 "$out/music"
key Tab Tab space
all_written() { [[ $(find "$out" -type f | wc -l) -ge 54 ]]; }
wait_for "the exported files" all_written
key Escape
ends_cleanly
"$cli" export "$game" --effects "$scratch/ref/fx" --songs "$scratch/ref/music" \
  --work "$scratch/ref-work" >/dev/null 2>&1
diff -r "$scratch/ref" "$out" >/dev/null || fail "the window's export differs from the command's"
echo "export: ok"
echo "3 passed, 0 failed"
