#!/bin/sh
# validate.sh PACKAGE TOOL ARGUMENT...: runs TOOL, a validator from the Debian package PACKAGE, on the arguments.
# Exits 77, which CTest counts as skipped, when the tool is not installed: a machine without it cannot check.
package=$1
tool=$2
shift 2
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "$tool not installed (Debian package $package): check skipped"
  exit 77
fi
exec "$tool" "$@"
