#!/usr/bin/env bash
# Builds the native fuzz targets and either replays their corpora (replay)
# or fuzzes each for its share of a total number of inputs (run N).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build=${FUZZ_BUILD:-$top/build/fuzz}
mode=${1:-replay}
total=${2:-10000000}

export CC=clang CXX=clang++
cmake -S "$top/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

targets=()
for src in "$top"/fuzz/*_fuzz.cpp; do
  name=$(basename "$src" _fuzz.cpp)
  targets+=("$name")
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets"; exit 1; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
passed=0 failed=0
for name in "${targets[@]}"; do
  exe="$build/fuzz_$name"
  dirs=()
  for d in "$top/fuzz/corpus/$name" "$top/fuzz/crashes/$name"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  if [ "$mode" = replay ]; then
    files=()
    for d in "${dirs[@]}"; do
      while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$d" -type f -print0)
    done
    if [ ${#files[@]} -eq 0 ] || "$exe" -runs=0 "${files[@]}" >"$build/$name.replay.log" 2>&1; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1)); echo "fuzz: replay of $name failed:"; tail -40 "$build/$name.replay.log"
    fi
  else
    runs=$(( (total + ${#targets[@]} - 1) / ${#targets[@]} ))
    work="$build/work/$name"; mkdir -p "$work" "$build/findings/$name"
    echo "fuzz: $name for $runs inputs"
    if "$exe" -runs="$runs" -max_len=4096 -artifact_prefix="$build/findings/$name/" \
         "$work" "${dirs[@]}" >"$build/$name.fuzz.log" 2>&1; then
      passed=$((passed + 1)); grep -E '^Done [0-9]+ runs' "$build/$name.fuzz.log" || true
    else
      failed=$((failed + 1)); echo "fuzz: $name found a fault:"; tail -60 "$build/$name.fuzz.log"
    fi
  fi
done
echo "fuzz $mode: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
