#!/usr/bin/env bash
# The end-to-end benchmark in one command: builds the release preset's
# benchmark programs (and bmpframe when the tool is in the tree), then times
# the frame job against cp, a streaming baseline and the installed image
# tools, and writes docs/benchmark.md and docs/benchmark.png.
#   bench/run.sh [--runs N] [--quick] [--no-docs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=(bmpbench_generate bmpbench_baseline bmpbench_frame bmpbench_compare)
if [[ -f cli/CMakeLists.txt ]]; then targets+=(bmpframe); fi
cmake --preset release > /dev/null
cmake --build --preset release -j2 --target "${targets[@]}" > /dev/null
exec /usr/bin/python3 bench/benchmark.py "$@"
