#!/usr/bin/env bash
# Renders docs/screenshot.png: builds the window's screenshot driver, starts it under Xvfb on the xcb platform
# (so fonts render as on a desktop), lets it serve the fixture novel site on the local test server, parse the
# table of contents of its GBK book, open a chapter and grab the window.
#   bash docs/make_screenshot.sh [BUILD_DIR]        (default: build)
# With LEKTO_SITE=FOLDER and LEKTO_SITE_INDEX=/path/index.html it serves that site instead of the built-in one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target window_screenshot lekto_fixture_site -j2
out=$(mktemp --suffix=.png)
trap 'rm -f "$out"' EXIT
args=("$out")
if [ -n "${LEKTO_SITE:-}" ]; then
  args+=("$LEKTO_SITE" "${LEKTO_SITE_INDEX:?set LEKTO_SITE_INDEX to the index page path}")
fi
xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb "$build/tests/app/window_screenshot" "${args[@]}"
cp "$out" docs/screenshot.png
echo "wrote docs/screenshot.png"
