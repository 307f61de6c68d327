#!/usr/bin/env bash
# Static checks: the build under clang with warnings as errors, clang-tidy with
# the checks of .clang-tidy on that build's compile commands, and cppcheck.
# Only the library, the export and the tool are checked, not the tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh
need_packages clang clang-tidy cppcheck

step "clang build (warnings are errors)"
cmake --preset clang
cmake --build --preset clang -j2

sources=()
for dir in bmp frame cli; do
  [ -d "$dir" ] && while IFS= read -r file; do sources+=("$file"); done < <(find "$dir" -name '*.cpp' | sort)
done

step "clang-tidy"
printf '%s\n' "${sources[@]}" | xargs -P 2 -n 4 clang-tidy -p build/clang --quiet

step "cppcheck"
includes=()
for dir in bmp frame frame/include cli; do [ -d "$dir" ] && includes+=(-I "$dir"); done
cppcheck --std=c++17 --enable=warning,performance,portability --inline-suppr --error-exitcode=1 --quiet \
  "${includes[@]}" "${sources[@]}"
