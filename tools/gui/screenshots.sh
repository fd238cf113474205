#!/usr/bin/env bash
# Takes the README's pictures of the real program under Xvfb, driven by xdotool as a user would:
# the main window with nothing open, the game folder dialog, the demo folder open with a song
# playing, the About box, and the player's play modes (show_player). Where PulseAudio is
# installed, a null sink stands in for a sound card, so the player shows what it shows on a
# machine that has one.
# Usage: tools/gui/screenshots.sh [BUILD_DIR] [OUT_DIR]   (defaults: build, docs)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
out=$(realpath "${2:-docs}")

if [[ -z "${IN_XVFB:-}" ]]; then
  IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out"
fi

scratch=$(mktemp -d)
cleanup() {
  [[ -n "${pid:-}" ]] && kill "$pid" 2>/dev/null || true
  [[ -n "${pulse:-}" ]] && kill "$pulse" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

if command -v pulseaudio >/dev/null; then
  export XDG_RUNTIME_DIR=$scratch/runtime PULSE_RUNTIME_PATH=$scratch/runtime/pulse
  mkdir -p "$PULSE_RUNTIME_PATH" && chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=screenshots" \
    --load="module-always-sink" >/dev/null 2>&1 &
  pulse=$!
  sleep 1
fi

mkdir -p "$scratch/config" "$scratch/work"
# The demo folder under a plain name, as a player's would read in the path label.
game=$scratch/Tarnholm/Arena2
if [[ ! -e /tmp/Tarnholm ]]; then
  game=/tmp/Tarnholm/Arena2
  trap 'cleanup; rm -rf /tmp/Tarnholm' EXIT
fi
mkdir -p "$game" && cp "$build/demo/Arena2"/* "$game"/
cd "$scratch/work"
XDG_CONFIG_HOME=$scratch/config "$build/bin/sonvault" 2>/dev/null &
pid=$!

window_named() { # title, prints the first such window of the program
  for _ in $(seq 100); do
    local w
    w=$(xdotool search --pid "$pid" --onlyvisible --name "^$1\$" 2>/dev/null | tail -1) || true
    [[ -n $w ]] && { echo "$w"; return; }
    sleep 0.1
  done
  echo "no window '$1'" >&2
  exit 1
}
shot() { # window, file
  sleep 0.7 # let it paint
  import -window "$1" "$out/$2"
  echo "wrote $out/$2"
}

main=$(window_named Sonvault)
xdotool windowfocus --sync "$main"
xdotool mousemove --window "$main" 5 450
shot "$main" main-window-empty.png

# The folder dialog, from a click on the path label.
xdotool mousemove --window "$main" 120 20 click 1
dialog=$(window_named Dialog)
xdotool windowfocus --sync "$dialog"
xdotool type --delay 5 "$game"
shot "$dialog" folder-dialog.png
xdotool key Return

# A song: the songs' root is the last item, its first song the one below.
xdotool windowfocus --sync "$main"
xdotool key --delay 150 End Down Down
sleep 2
xdotool mousemove --window "$main" 5 450 # off the tree, whose items underline under the mouse
shot "$main" main-window-playing.png

# The About box, from the context menu.
xdotool key shift+F10
sleep 0.5
xdotool key a # the entry's mnemonic
sleep 0.5
about=$(window_named "About Sonvault")
shot "$about" about-box.png
xdotool key Escape
xdotool windowfocus --sync "$main"
xdotool key Escape
wait "$pid"
pid=

# The player's play modes, their menu open, holding the song played above.
XDG_CONFIG_HOME=$scratch/config "$build/bin/show_player" "$scratch/work/temp.mid" \
  "$out/player-modes.png" modes 2>/dev/null
echo "wrote $out/player-modes.png"

# The player's voices, the FM chip chosen, in its context menu.
XDG_CONFIG_HOME=$scratch/config "$build/bin/show_player" "$scratch/work/temp.mid" \
  "$out/player-voice-menu.png" voice 2>/dev/null
echo "wrote $out/player-voice-menu.png"
