#!/usr/bin/env bash
# CI: builds the Debian package, installs it as a reader would (apt-get install ./lekto_*.deb), runs the installed
# programs from a folder of their own against the fixture site on a loopback server, starts the installed window
# offscreen, and removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
package=$PWD/$(bash scripts/package.sh)
scratch=$(mktemp -d)
server=""
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq lekto >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "package check: $*" >&2
  exit 1
}

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$package" >/dev/null
[ "$(command -v lekto-cli)" = /usr/bin/lekto-cli ] || fail "lekto-cli is not installed in /usr/bin"
[ -f /usr/share/applications/org.lekto.Lekto.desktop ] || fail "the desktop entry is not where desktops look"

# The version of project(), the package's and the program's are one.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[ "$(dpkg-query -W -f='${Version}' lekto)" = "$version" ] || fail "package version is not $version"
[ "$(lekto-cli --version)" = "lekto-cli $version" ] || fail "lekto-cli --version does not say $version"

# The fixture site on 127.0.0.1, on a port the system picks.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory build/tests/fixtures/site >"$scratch/server.log" 2>&1 &
server=$!
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$scratch/server.log" | head -1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the loopback server did not start"
address=http://127.0.0.1:$port/big200/index.html

# From any folder: the list, then three chapters into a book in the current folder.
mkdir "$scratch/books"
cd "$scratch/books"
lekto-cli toc "$address" >"$scratch/toc.txt"
[ "$(head -1 "$scratch/toc.txt")" = "长卷200" ] || fail "toc gave the title $(head -1 "$scratch/toc.txt")"
[ "$(wc -l <"$scratch/toc.txt")" -eq 201 ] || fail "toc did not list 200 chapters"
book=$(lekto-cli download "$address" --only 1-3 2>/dev/null)
[ "$book" = "$scratch/books/长卷200.txt" ] && [ -s "$book" ] || fail "download wrote '$book'"
cd - >/dev/null

# The window, offscreen, in a fresh home: it is still running when the timeout ends it, and it has made its work
# folder in the documents folder (never beside /usr/bin/lekto).
status=0
HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config QT_QPA_PLATFORM=offscreen timeout 3 lekto || status=$?
[ "$status" -eq 124 ] || fail "lekto ended with status $status before its timeout"
[ -d "$scratch/home/Documents/Lekto" ] || fail "lekto made no Lekto/ folder in the documents folder"
[ ! -e /usr/bin/Lekto ] || fail "lekto wrote beside itself in /usr/bin"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq lekto >/dev/null
[ ! -e /usr/bin/lekto-cli ] || fail "lekto-cli is still there after removing the package"
echo "package check: $(basename "$package") installed, ran and was removed"
