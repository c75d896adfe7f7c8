#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
# LEKTO_SANITIZE=address builds with AddressSanitizer and UBSan into build-asan instead;
# LEKTO_SANITIZE=thread builds the core (no window: Qt is not built for it) with ThreadSanitizer into build-tsan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
case "${LEKTO_SANITIZE:-}" in
  address | 1)
    bash scripts/build.sh build-asan -DLEKTO_SANITIZE=ON
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    cd build-asan
    ;;
  thread)
    bash scripts/build.sh build-tsan -DLEKTO_TSAN=ON -DLEKTO_BUILD_GUI=OFF
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    cd build-tsan
    ;;
  "")
    bash scripts/build.sh build
    cd build
    ;;
  *)
    echo "LEKTO_SANITIZE is address or thread" >&2
    exit 2
    ;;
esac
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" --timeout 600
