#!/usr/bin/env bash
# The real program on a session bus of its own and a PulseAudio null sink, driven through MPRIS
# and the media keys: `sonvault FOLDER` opens and remembers FOLDER; an effect selected is
# announced playing under its name, with the length `sonvault-cli list --json` gives;
# "Playlist" plays the effects through, each one's temp.wav written; Next, Previous and the
# media key move and play; PlayPause pauses a song; Escape ends it with 0. Also --help and
# --version without a display.
# Usage: remote_session.sh SONVAULT DEMO_DIR SONVAULT_CLI   (needs xvfb-run, xdotool,
# dbus-daemon, dbus-send and pulseaudio)
set -euo pipefail
sonvault=$1
demo=$2
cli=$3

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [[ -z "${IN_XVFB:-}" ]]; then
  [[ $(env -u DISPLAY "$sonvault" --version) == "sonvault 1.0.0.1" ]] || fail "--version"
  env -u DISPLAY "$sonvault" --help | grep -q '^Usage: sonvault \[FOLDER\]' || fail "--help"
  status=0
  "$sonvault" --no-such-option 2>/dev/null || status=$?
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

# A session bus and a sound server of the test's own, in a scratch runtime folder.
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
send() { dbus-send --session --print-reply --dest=$name /org/mpris/MediaPlayer2 "$@"; }
call() { send "org.mpris.MediaPlayer2.Player.$1" >/dev/null; }
get() { send org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1"; }
loop() { send org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player \
  string:LoopStatus "variant:string:$1" >/dev/null; }
status_is() { get PlaybackStatus | grep -q "\"$1\""; }
# The title announced, from the Metadata's "xesam:title" entry.
title() { get Metadata | grep -A1 '"xesam:title"' | sed -n 's/.*variant *string "\(.*\)"/\1/p'; }
title_is() { [[ "$(title)" == "$1" ]]; }
title_is_not() { local t; t=$(title) && [[ -n $t && $t != "$1" ]]; }
registered() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:$name 2>/dev/null | grep -q 'boolean true'
}

game=$scratch/Arena2
cp -r "$demo/Arena2" "$game"
"$cli" list "$game" --work "$scratch/cli-work" >"$scratch/list"
# --json lists the same entries, with their playing times.
"$cli" list "$game" --json --work "$scratch/cli-work" >"$scratch/list.json"
python3 - "$scratch/list" "$scratch/list.json" <<'PY' || fail "list --json differs from list"
import json, sys
lines = [l.split("\t") for l in open(sys.argv[1]).read().splitlines()]
entries = json.load(open(sys.argv[2]))
assert [[e["kind"], str(e["index"]), e["name"], str(e["size"])] for e in entries] == lines
PY
# The seconds listed for an entry, as the player's length in microseconds.
listed_us() {
  python3 -c 'import json, sys; e = [e for e in json.load(open(sys.argv[1])) if e["name"] == sys.argv[2]][0]; print(round(e["seconds"] * 1e6))' \
    "$scratch/list.json" "$1"
}
# The length announced: within the millisecond the list gives.
length_is_listed() {
  local us
  us=$(get Metadata | grep -A1 '"mpris:length"' | sed -n 's/.*int64 \([0-9]*\).*/\1/p')
  [[ -n $us ]] && (( us - $(listed_us "$1") <= 1000 && $(listed_us "$1") - us <= 1000 ))
}
mapfile -t effects < <(awk -F'\t' '$1 == "effect" { print $3 }' "$scratch/list")
mapfile -t songs < <(awk -F'\t' '$1 == "song" { print $3 }' "$scratch/list")
# The effect's WAV as the extraction writes it, by its name in the tree.
is_effect() {
  local i
  for i in "${!effects[@]}"; do
    if [[ ${effects[$i]} == "$1" ]]; then
      "$cli" extract "$game" effect "$i" "$scratch/expected.wav" --work "$scratch/cli-work"
      cmp -s "$scratch/expected.wav" "$work/temp.wav"
      return
    fi
  done
  return 1
}

work=$scratch/work
config=$scratch/config
mkdir -p "$work" "$config"
(cd "$work" && XDG_CONFIG_HOME=$config exec "$sonvault" "$game") &
pid=$!
find_window() { window=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Sonvault$' 2>/dev/null | head -1) && [[ -n $window ]]; }
wait_for "the main window" find_window
xdotool windowfocus --sync "$window"
grep -qxF "PreviousArena2Path=$game" "$config/Merrow Applications/Sonvault.conf" ||
  fail "the folder given was not remembered"
wait_for "the bus name" registered

# Repeating the entry keeps a short effect playing while it is looked at.
loop Track
xdotool key --delay 50 Home Down
wait_for "the first effect's title" title_is "${effects[0]}"
wait_for "the first effect playing" status_is Playing
is_effect "${effects[0]}" || fail "temp.wav is not the first effect"
length_is_listed "${effects[0]}" || fail "the first effect's length is not the one listed"
echo "effect announced: ok"

# Played through: a later effect, with its own temp.wav, once the first has ended.
loop Playlist
wait_for "the next effects" title_is_not "${effects[0]}"
loop Track
current=$(title)
is_effect "$current" || fail "temp.wav is not \"$current\", the effect announced"
echo "play-through: ok ($current)"

# Next, Previous and the media key, each from the effect announced before.
index_of() { local i; for i in "${!effects[@]}"; do if [[ ${effects[$i]} == "$1" ]]; then echo "$i"; fi; done; }
i=$(index_of "$current")
call Next
wait_for "Next" title_is "${effects[$((i + 1))]}"
call Previous
wait_for "Previous" title_is "${effects[$i]}"
xdotool key XF86AudioNext
wait_for "the media key Next" title_is "${effects[$((i + 1))]}"
is_effect "${effects[$((i + 1))]}" || fail "temp.wav is not the effect skipped to"
wait_for "the effect skipped to playing" status_is Playing
echo "skipping: ok"

# A song (the songs' first), playing once the SoundFont is there, paused by PlayPause.
loop None
xdotool key --delay 50 End Down
wait_for "the first song's title" title_is "${songs[0]}"
wait_for "the song playing" status_is Playing
length_is_listed "${songs[0]}" || fail "the first song's length is not the one listed"
call PlayPause
wait_for "the song paused" status_is Paused
echo "pause: ok"

grep -q '"PlaybackStatus"' "$scratch/signals" && grep -q '"Metadata"' "$scratch/signals" ||
  fail "no PropertiesChanged announced the changes"
xdotool key Escape
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
status=0
wait "$pid" || status=$?
pid=
[[ $status -eq 0 ]] || fail "ended with status $status"
echo "5 passed, 0 failed"
