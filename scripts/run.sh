#!/usr/bin/env bash
# Sets up the machine, builds Lekto and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec ./build/app/lekto "$@"
