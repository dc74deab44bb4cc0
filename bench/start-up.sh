#!/usr/bin/env bash
# Start-up time with the game's data: the log's stamp of "Game Started..."
# (the title screen is shown) for a first start on a clean write folder,
# which prepares the archive, and for later starts, which find it prepared;
# and the processor time (user + system, every thread) each start took.
# Runs headless; prints each run and the best of each kind.
# Usage: bench/start-up.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
work=$(mktemp -d /tmp/moswick-start.XXXXXX)
trap 'rm -rf "$work"' EXIT
stamp() { # the "{m:s:ms}" of a log line as seconds
  grep "$1" "$work/Moswick.log" | head -1 | sed -E 's/^\{([0-9]+):([0-9]+):([0-9]+)\}.*/\1 \2 \3/' |
    awk '{ printf "%.3f", $1 * 60 + $2 + $3 / 1000 }'
}
cpu=0
start() { # runs the game to its first frame; cpu := its user + system seconds
  local TIMEFORMAT='%U %S' times
  times=$({ time SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$build/moswick" --no-window --frames 1 \
    --write-dir "$work" >/dev/null 2>&1; } 2>&1)
  cpu=$(echo "$times" | awk '{ printf "%.2f", $1 + $2 }')
}
first=()
later=()
firstCpu=()
laterCpu=()
for _ in $(seq "$runs"); do
  rm -rf "${work:?}"/*
  start
  first+=("$(stamp 'Game Started')/$(stamp 'File Folders morfed')")
  firstCpu+=("$cpu")
  start
  later+=("$(stamp 'Game Started')")
  laterCpu+=("$cpu")
done
echo "first start (title at / preparation done at, s): ${first[*]}"
echo "first start processor time (s): ${firstCpu[*]}"
echo "later start (title at, s): ${later[*]}"
echo "later start processor time (s): ${laterCpu[*]}"
printf '%s\n' "${first[@]}" | cut -d/ -f1 | sort -n | head -1 | sed 's/^/best first start: /'
printf '%s\n' "${firstCpu[@]}" | sort -n | head -1 | sed 's/^/least first-start processor time: /'
printf '%s\n' "${later[@]}" | sort -n | head -1 | sed 's/^/best later start: /'
printf '%s\n' "${laterCpu[@]}" | sort -n | head -1 | sed 's/^/least later-start processor time: /'
