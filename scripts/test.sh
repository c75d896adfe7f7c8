#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test. LEKTO_SANITIZE=1 builds with ASan and UBSan
# into build-asan instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ "${LEKTO_SANITIZE:-0}" = 1 ]; then
  bash scripts/build.sh build-asan -DLEKTO_SANITIZE=ON
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  cd build-asan
else
  bash scripts/build.sh build
  cd build
fi
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" --timeout 600
