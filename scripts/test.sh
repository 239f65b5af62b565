#!/usr/bin/env bash
# Installs what is missing and runs every check, exiting non-zero on the first failure:
#  1. the tree (nothing generated tracked: scripts/check-tree.sh) and the sources' formatting
#     (clang-format);
#  2. the normal build, warnings as errors: every test, then the core suites again with the
#     portable loops forced (QUENDRA_PORTABLE=1), so the plain code paths are tested on any
#     processor;
#  3. the install and the Debian package (scripts/check-package.sh);
#  4. a build with AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the
#     run: every test but the long runs;
#  5. the fuzz targets, each for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

scripts/check-tree.sh
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

scripts/build.sh -DBUILD_TESTING=ON -DQUENDRA_WERROR=ON

# Widget tests need a display with OpenGL; xvfb-run provides one with Mesa's software renderer.
run_tests() {
  local dir=$1
  shift
  xvfb-run -a -s "-screen 0 1920x1200x24" ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" "$@"
}
run_tests build
QUENDRA_PORTABLE=1 run_tests build -L core

scripts/check-package.sh build

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDRA_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build build-sanitize -j "$(nproc)"
# The long runs measure resident memory, which the sanitizer's quarantine inflates on purpose.
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests build-sanitize -LE soak

# Fuzzing: each target for a bounded time from the committed seeds (about a minute in all);
# new inputs go to a scratch folder, never into the repository.
cmake -S . -B build-fuzz -G Ninja -DQUENDRA_FUZZ=ON -DQUENDRA_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ \
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
