#!/usr/bin/env bash
# Installs the built game to a temporary prefix, starts the installed program
# headless from another folder, and checks that it found its data in
# share/moswick, wrote only to the XDG folders, and left the prefix as
# installed. Also validates the desktop entry and the metainfo file.
# Usage: InstallTest.sh BUILD_DIR APP_ID
set -euo pipefail
build="$1"
app="$2"
work=$(mktemp -d /tmp/moswick-install-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

fail() {
  echo "FAIL: $*"
  exit 1
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install: $(cat "$work/install.log")"

for f in bin/moswick share/moswick/game.zxc share/moswick/GameParams.xml share/moswick/AddLogo.xml \
  "share/applications/$app.desktop" "share/metainfo/$app.metainfo.xml" \
  "share/icons/hicolor/scalable/apps/$app.svg"; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ -d "$prefix/share/moswick/lng" ] || fail "not installed: share/moswick/lng"
for size in 16 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$app.png"
  [ -e "$icon" ] || fail "no ${size}px icon"
  # The PNG header holds the width and height as big-endian numbers.
  dims=$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')
  [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "the ${size}px icon's header says $dims"
done

# The prefix as installed, to compare after the run.
(cd "$prefix" && find . | sort) >"$work/before.txt"

# Start it from an unrelated folder with its own home, as a player would.
mkdir -p "$work/elsewhere" "$work/home"
status=0
(cd "$work/elsewhere" &&
  HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    "$prefix/bin/moswick" --no-window --fixed-step 16 --frames 60 >"$work/run.txt" 2>&1) || status=$?
[ "$status" -eq 0 ] || fail "the installed program ended with $status: $(cat "$work/run.txt")"

log="$work/home/data/moswick/Moswick.log"
[ -f "$log" ] || fail "no log in the XDG data folder"
grep -q "Game Started..." "$log" || fail "the installed game did not reach the title: $(cat "$log")"
grep -q "Files are written to: $work/home/data/moswick/" "$log" || fail "the log does not name the write folder"
[ -f "$work/home/data/moswick/options.cfg" ] || fail "no options in the XDG data folder"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "files written to the working folder: $(ls -A "$work/elsewhere")"
(cd "$prefix" && find . | sort) >"$work/after.txt"
diff -u "$work/before.txt" "$work/after.txt" >"$work/diff.txt" || fail "the prefix changed: $(cat "$work/diff.txt")"

# The desktop's own validators, where installed (scripts/install-deps brings them).
skipped=""
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/$app.desktop" || fail "desktop-file-validate"
else
  skipped="$skipped desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" || fail "appstreamcli validate"
else
  skipped="$skipped appstreamcli"
fi
echo "installed to a prefix, started from another folder, wrote only to the XDG folders"
if [ -n "$skipped" ]; then
  echo "skipped: not installed:$skipped"
  exit 77
fi
