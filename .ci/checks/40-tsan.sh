#!/usr/bin/env bash
# The unit tests under ThreadSanitizer: the concurrency tests call the export
# from eight threads at once, and any data race fails the run. One process
# runs them all: a ThreadSanitizer start per test would cost minutes.
# Left out: the refused-terabyte-allocation test, which has no threads and
# takes ThreadSanitizer's allocator minutes to refuse; the asan check runs it.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset tsan
cmake --build --preset tsan -j2
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:allocator_may_return_null=1 \
  build/tsan/tests/velmora_tests --gtest_brief=1 --gtest_filter='-*SetDimensionsThatCannotBeAllocated*'
