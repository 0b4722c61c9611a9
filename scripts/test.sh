#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer configuration and runs
# every test of both through ctest; also builds the fuzzing configuration with clang, so
# that the tree keeps building with both compilers (its regression inputs replay in the
# other two).
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-fuzz-deps.sh || exit 1

jobs=$(nproc)
build() {  # build DIR [cmake args...]
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null && cmake --build "$dir" -j"$jobs" -- --no-print-directory >/dev/null
}
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo || { echo "build failed"; cmake --build build 2>&1 | tail -50; exit 1; }
build build-asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON || { echo "sanitizer build failed"; cmake --build build-asan 2>&1 | tail -50; exit 1; }
build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ || { echo "clang fuzzing build failed"; cmake --build build-fuzz 2>&1 | tail -50; exit 1; }

status=0
echo "== normal configuration"
ctest --test-dir build --output-on-failure -j"$jobs" || status=1
echo "== sanitizer configuration"
ctest --test-dir build-asan --output-on-failure -j"$jobs" || status=1
exit $status
