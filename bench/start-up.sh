#!/usr/bin/env bash
# Start-up time with the game's data: the log's stamp of "Game Started..."
# (the title screen is shown) for a first start on a clean write folder,
# which prepares the archive, and for later starts, which find it prepared.
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
start() {
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$build/moswick" --no-window --frames 1 --write-dir "$work" >/dev/null
}
first=()
later=()
for _ in $(seq "$runs"); do
  rm -rf "$work"/*
  start
  first+=("$(stamp 'Game Started')/$(stamp 'File Folders morfed')")
  start
  later+=("$(stamp 'Game Started')")
done
echo "first start (title at / preparation done at, s): ${first[*]}"
echo "later start (title at, s): ${later[*]}"
printf '%s\n' "${first[@]}" | cut -d/ -f1 | sort -n | head -1 | sed 's/^/best first start: /'
printf '%s\n' "${later[@]}" | sort -n | head -1 | sed 's/^/best later start: /'
