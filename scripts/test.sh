#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the normal build and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the run;
# then runs the fuzz targets for a bounded time. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

# Widget tests need a display with OpenGL; xvfb-run provides one with Mesa's software renderer.
run_tests() {
  local dir=$1
  shift
  xvfb-run -a -s "-screen 0 1920x1200x24" ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" "$@"
}
run_tests build

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build build-sanitize -j "$(nproc)"
# The long runs measure resident memory, which the sanitizer's quarantine inflates on purpose.
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests build-sanitize -LE soak

# Fuzzing: each target for a bounded time from the committed seeds (about a minute in all);
# new inputs go to a scratch folder, never into the repository.
cmake -S . -B build-fuzz -G Ninja -DQUENDRA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all"
cmake --build build-fuzz -j "$(nproc)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in fuzz_class_file fuzz_calculate fuzz_labelling fuzz_recognition; do
  mkdir -p "$scratch/$target"
  echo "fuzzing $target"
  build-fuzz/fuzz/$target -max_total_time=15 -print_final_stats=1 -artifact_prefix="$scratch/" \
    "$scratch/$target" "fuzz/corpus/$target"
done
