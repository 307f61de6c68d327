#!/usr/bin/env bash
# Both fuzz targets for a minute each, seeded with the corpus and every input
# that once failed; any finding fails the check.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh
need_packages clang libclang-rt-14-dev
cmake --preset fuzz
cmake --build --preset fuzz -j2
fuzz/run.sh "${VELMORA_FUZZ_SECONDS:-60}"
