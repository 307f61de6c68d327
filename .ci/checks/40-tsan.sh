#!/usr/bin/env bash
# The whole suite under ThreadSanitizer: the concurrency tests call the export
# from eight threads at once, and any data race fails the run.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --workflow --preset tsan
