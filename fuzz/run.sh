#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UBSan into build-fuzz/ and runs each for
# LEKTO_FUZZ_SECONDS (30) seconds over its seeds: fuzz/seeds/<target>/, the fixture site's pages and, when the
# folder exists, the saved pages of ../shared/corpus (or of the folder LEKTO_CORPUS names). A failing input is
# kept under build-fuzz/failed/; copy it into fuzz/regressions/<target>/ (see fuzz/README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang libclang-rt-14-dev  # the compiler and its libFuzzer and sanitizer runtimes
seconds=${LEKTO_FUZZ_SECONDS:-30}
build=build-fuzz
targets=(fuzz_text fuzz_regex fuzz_url fuzz_chapter fuzz_toc)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DLEKTO_FUZZ=ON \
  -DLEKTO_BUILD_TESTS=OFF -DLEKTO_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

work="$build/work"
rm -rf "$work"
mkdir -p "$work/site" "$build/failed"
python3 tests/fixtures/make_site.py "$work/site" >/dev/null
# The fixture site's tables of contents, first chapters and odd pages (not its hundreds of look-alike chapters).
mapfile -t pages < <(find "$work/site" -name '*.html' -size -200k -not -path '*/big1000/*' \
  \( -name 'index*' -o -name '[12].html' -o -path '*/misc/*' \) | sort)
corpus=${LEKTO_CORPUS:-../shared/corpus}
if [ -d "$corpus" ]; then
  pages+=("$corpus"/*/*.html)
fi

# Each target reads pieces separated by NUL bytes; a page becomes a seed in the form its target reads.
seed() {  # seed TARGET NAME PREFIX-PRINTF-FORMAT PAGE
  local dir="$work/$1"
  printf "$3" >"$dir/$2"
  cat "$4" >>"$dir/$2"
}
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  cp fuzz/seeds/"$target"/* fuzz/regressions/"$target"/* "$work/$target"/ 2>/dev/null || true
done
n=0
for page in "${pages[@]}"; do
  n=$((n + 1))
  seed fuzz_text "page$n" '' "$page"
  seed fuzz_chapter "page$n" '\x06\x00' "$page"
  seed fuzz_toc "page$n" 'http://fuzz.test/b/index.html\x00' "$page"
done

status=0
for target in "${targets[@]}"; do
  echo "== $target: ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$build/failed/$target-" "$work/$target" 2>"$build/$target.log"; then
    tail -n 60 "$build/$target.log"
    echo "$target failed: the input is in $build/failed/ (see fuzz/README.md)"
    status=1
  else
    grep -E "^stat::number_of_executed_units|^Done" "$build/$target.log" || true
  fi
done
exit $status
