#!/usr/bin/env bash
# The title screen's idle cost: starts the built game in a window on a
# private Xvfb display (install the xvfb package for this measurement) with
# the game's data, lets it settle, then reads how much processor time it
# takes over a measured span. Prints the share of one core.
# Further arguments go to the game, e.g. "--start-scene 1" for a moment of
# play instead of the title.
# Usage: bench/idle-cost.sh [BUILD_DIR] [SECONDS] [GAME ARGUMENTS...]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-20}
shift $(($# < 2 ? $# : 2))
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (apt-get install xvfb)"; exit 2; }
work=$(mktemp -d /tmp/moswick-idle.XXXXXX)
display=:$((50 + RANDOM % 200))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
game=""
cleanup() {
  # The game ends first, while its display still exists.
  if [ -n "$game" ]; then
    kill "$game" 2>/dev/null || true
    wait "$game" 2>/dev/null || true
  fi
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  sleep 0.2
  rm -rf "$work"
}
trap cleanup EXIT
sleep 1
DISPLAY=$display SDL_AUDIODRIVER=dummy "$build/moswick" --write-dir "$work" "$@" >/dev/null 2>&1 &
game=$!
# Start-up, first preparation included, then a few idle seconds.
for _ in $(seq 60); do
  grep -q "Game Started" "$work/Moswick.log" 2>/dev/null && break
  sleep 0.5
done
sleep 3
ticks() { awk '{print $14 + $15}' "/proc/$game/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
s0=$(date +%s.%N)
sleep "$seconds"
t1=$(ticks)
s1=$(date +%s.%N)
awk -v t="$((t1 - t0))" -v hz="$hz" -v a="$s0" -v b="$s1" \
  'BEGIN { printf "idle: %.1f%% of one core over %.0f s\n", 100 * t / hz / (b - a), b - a }'
