#!/usr/bin/env bash
# How long the editor takes to end after "Súbor" / "Koniec", under a virtual X server:
# starts the built editor in its own folder, applies the command of the third button COMMANDS
# times (default 5: "Deväť" of data/default.hrh five times gives 59049 placements and a
# 283 MB mosaic image), chooses "Koniec" from the menu with the keyboard and prints the time
# from that key press to the end of the process, RUNS times (default 3).
#
#   bench/quit-time.sh [BUILD_DIR] [COMMANDS] [RUNS]
set -euo pipefail
build_dir="$(realpath "${1:-build/default}")"
commands="${2:-5}"
runs="${3:-3}"
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "quit-time: $tool is missing (make deps)"; exit 1; }
done

if [ -z "${QUIT_TIME_INNER:-}" ]; then
  QUIT_TIME_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$build_dir" "$commands" "$runs"
fi

cd "$build_dir/app"
for run in $(seq "$runs"); do
  ./ornamo 2>/dev/null &
  pid=$!
  window=
  for _ in $(seq 200); do
    window=$(xdotool search --pid "$pid" --name '^Ornamo$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.05
  done
  [ -n "$window" ] || { echo "quit-time: the editor's window did not appear"; kill "$pid"; exit 1; }
  sleep 1
  xdotool windowfocus --sync "$window"
  # com3 lies in the panel below the stack list, 36, 314 in the window (menu bar included).
  for _ in $(seq "$commands"); do
    xdotool mousemove --window "$window" 36 314 click 1
    sleep 2.5
  done
  xdotool mousemove --window "$window" 10 10 click 1 # "Súbor"
  sleep 0.3
  xdotool key Up # "Koniec", the last item
  sleep 0.3
  start=$(date +%s%N)
  xdotool key Return
  wait "$pid"
  end=$(date +%s%N)
  echo "run $run: Koniec to the end of the process $(((end - start) / 1000000)) ms"
done
