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

# The sources this platform compiles (the Windows-only ones are not in the
# compile commands and would not parse here).
sources=()
for dir in bmp frame cli; do
  [ -d "$dir" ] || continue
  while IFS= read -r file; do
    grep -q "\"file\": \"$PWD/$file\"" build/clang/compile_commands.json && sources+=("$file")
  done < <(find "$dir" -name '*.cpp' | sort)
done

step "clang-tidy"
printf '%s\n' "${sources[@]}" | xargs -P 2 -n 4 clang-tidy -p build/clang --quiet 2>&1 | { grep -v "warnings generated" || true; }

step "cppcheck"
includes=()
for dir in bmp frame frame/include cli; do [ -d "$dir" ] && includes+=(-I "$dir"); done
cppcheck --std=c++17 --enable=warning,performance,portability --inline-suppr --error-exitcode=1 --quiet \
  "${includes[@]}" "${sources[@]}"
