#!/usr/bin/env bash
# The real program in a real X server (without a display: --help, an unknown option): the
# keyboard's way through the export dialog writes what `sonvault-cli export` writes; with `bus`, on
# a session bus and a null sink of its own, MPRIS and the keys announce what the work folder holds,
# by name and listed length. The game folder never changes. Usage: session.sh APP DEMO CLI [bus]
set -euo pipefail
sonvault=$1 demo=$2 cli=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
if [[ -z "${IN_XVFB:-}" ]]; then
  env -u DISPLAY "$sonvault" --help | grep -q '^Usage: sonvault \[FOLDER\]' || fail "--help"
  "$sonvault" --no-such-option 2>/dev/null && status=0 || status=$?
  [[ $status -eq 64 ]] || fail "an unknown option ended with $status"
  IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
scratch=$(mktemp -d)
cleanup() {
  for p in ${pid:-} ${monitor:-} ${pulse:-} ${bus:-}; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
wait_for() { # up to 20 s
  local what=$1; shift
  for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
  fail "timed out waiting for $what"
}
checksums() { (cd "$1" && sha256sum -- *); }
key() { xdotool key --delay 50 "$@"; }
window_named() { window=$(xdotool search --all --onlyvisible --pid "$pid" --name "$1" 2>/dev/null | head -1) && [[ -n $window ]]; }

# Starts the program on a copy of a demo folder, remembered in a fresh profile or, with a third
# argument, named on the command line; sets game, before, work, config, pid and window.
start() {
  game=$scratch/$2 work=$scratch/$2-work config=$scratch/$2-config
  cp -r "$demo/$1" "$game"
  before=$(checksums "$game")
  mkdir -p "$work" "$config/Merrow Applications"
  if [[ -z ${3:-} ]]; then
    printf '[StartupValues]\nPreviousArena2Path=%s\n' "$game" >"$config/Merrow Applications/Sonvault.conf"
  fi
  (cd "$work" && XDG_CONFIG_HOME=$config exec "$sonvault" ${3:+"$game"}) &
  pid=$!
  wait_for "the main window" window_named '^Sonvault$'
  xdotool windowfocus --sync "$window"
}

ends_cleanly() {
  wait_for "the end after the closing key" eval '! kill -0 "$pid" 2>/dev/null'
  local status=0
  wait "$pid" || status=$?
  pid=
  [[ $status -eq 0 ]] || fail "ended with status $status"
  [[ "$(checksums "$game")" == "$before" ]] || fail "the game folder changed"
}

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
[[ ${4:-} == bus ]] || { echo "1 passed, 0 failed"; exit 0; }

export XDG_RUNTIME_DIR=$scratch/runtime PULSE_RUNTIME_PATH=$scratch/runtime/pulse
mkdir -p "$PULSE_RUNTIME_PATH" && chmod 700 "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/runtime/bus
dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile >/dev/null 2>&1 &
bus=$!
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
  --load=module-native-protocol-unix --load="module-null-sink sink_name=test" \
  --load=module-always-sink >/dev/null 2>&1 &
pulse=$!
wait_for "the session bus" test -S "$scratch/runtime/bus"
wait_for "the sound server" test -S "$PULSE_RUNTIME_PATH/native"
dbus-monitor --session "type='signal',interface='org.freedesktop.DBus.Properties'" \
  >"$scratch/signals" 2>/dev/null &
monitor=$!

name=org.mpris.MediaPlayer2.sonvault
send() { dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 "$@" 2>/dev/null; }
call() { send "org.mpris.MediaPlayer2.Player.$1" >/dev/null; }
get() { send org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1"; }
loop() { send org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player \
  string:LoopStatus "variant:string:$1" >/dev/null; }
status_is() { get PlaybackStatus | grep -q "\"$1\""; }
title() { get Metadata | grep -A1 '"xesam:title"' | sed -n 's/.*variant *string "\(.*\)"/\1/p'; }
title_is() { [[ "$(title)" == "$1" ]]; }
title_is_not() { local t; t=$(title) && [[ -n $t && $t != "$1" ]]; }

start Arena2 bus named
wait_for "the service on the bus" status_is Stopped
"$cli" list "$game" --work "$scratch/cli-work" >"$scratch/list"
"$cli" list "$game" --json --work "$scratch/cli-work" >"$scratch/list.json"
python3 -c 'import json, sys; [print(*e.values(), sep="\t") for e in json.load(open(sys.argv[1]))]' \
  "$scratch/list.json" | cut -f1-4 | cmp -s - "$scratch/list" || fail "list --json differs from list"
# The length announced: within the millisecond of the seconds listed.
length_is_listed() {
  local us listed
  us=$(get Metadata | grep -A1 '"mpris:length"' | sed -n 's/.*int64 \([0-9]*\).*/\1/p')
  listed=$(python3 -c 'import json, sys; print(round([e for e in json.load(open(sys.argv[1])) if e["name"] == sys.argv[2]][0]["seconds"] * 1e6))' \
    "$scratch/list.json" "$1")
  [[ -n $us ]] && (( us - listed <= 1000 && listed - us <= 1000 ))
}
mapfile -t effects < <(awk -F'\t' '$1 == "effect" { print $3 }' "$scratch/list")
mapfile -t songs < <(awk -F'\t' '$1 == "song" { print $3 }' "$scratch/list")
index_of() { local i; for i in "${!effects[@]}"; do if [[ ${effects[$i]} == "$1" ]]; then echo "$i"; fi; done; }
# The effect's WAV as the extraction writes it, by its name in the tree.
is_effect() {
  local i
  i=$(index_of "$1") && [[ -n $i ]] || return 1
  "$cli" extract "$game" effect "$i" "$scratch/expected.wav" --work "$scratch/cli-work"
  cmp -s "$scratch/expected.wav" "$work/temp.wav"
}

# Repeating the entry keeps a short effect playing while it is looked at.
loop Track
key Home Down
wait_for "the first effect's title" title_is "${effects[0]}"
wait_for "the first effect playing" status_is Playing
is_effect "${effects[0]}" || fail "temp.wav is not the first effect"
length_is_listed "${effects[0]}" || fail "the first effect's length is not the one listed"
# Played through: a later effect, with its own temp.wav, once the first has ended.
loop Playlist
wait_for "the next effects" title_is_not "${effects[0]}"
loop Track
current=$(title)
is_effect "$current" || fail "temp.wav is not \"$current\", the effect announced"
# Previous and Next, each from the effect announced before.
i=$(index_of "$current")
call Previous
wait_for "Previous" title_is "${effects[$((i - 1))]}"
call Next
wait_for "Next" title_is "${effects[$i]}"
is_effect "${effects[$i]}" || fail "temp.wav is not the effect skipped to"
wait_for "the effect skipped to playing" status_is Playing
# A song (the songs' first), playing once the SoundFont is there, paused by PlayPause.
loop None
key End Down
wait_for "the first song's title" title_is "${songs[0]}"
wait_for "the song playing" status_is Playing
length_is_listed "${songs[0]}" || fail "the first song's length is not the one listed"
call PlayPause
wait_for "the song paused" status_is Paused
grep -q '"PlaybackStatus"' "$scratch/signals" && grep -q '"Metadata"' "$scratch/signals" ||
  fail "no PropertiesChanged announced the changes"
key Return
ends_cleanly
[[ "$(ls "$work")" == "$(printf 'temp.mid\ntemp.wav')" && $(head -c 4 "$work/temp.mid") == MThd ]] ||
  fail "work folder holds: $(ls "$work")"
echo "2 passed, 0 failed"
