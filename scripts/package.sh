#!/usr/bin/env bash
# Builds the Debian package lekto_VERSION_ARCH.deb into the build folder (the README's build, reused) and checks it
# with lintian. Prints the package's path on standard output, everything else on standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh lintian >&2
bash scripts/build.sh build >&2
rm -f build/lekto_*.deb
(cd build && cpack -G DEB >&2)
package=$(ls build/lekto_*.deb)
# Errors fail the build; warnings are shown.
lintian --fail-on error "$package" >&2
echo "$package"
