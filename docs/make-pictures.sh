#!/usr/bin/env bash
# Remakes docs/sample-before.png and docs/sample-after.png for the README:
# the bundled sample, and the sample framed by the freshly built bmpframe.
# Needs ImageMagick's `convert` (Debian: apt-get install imagemagick) for the
# BMP to PNG step only.
set -euo pipefail
cd "$(dirname "$0")/.."

[ -f samples/sample.bmp ] || python3 samples/make-sample.py
cmake --preset release >/dev/null
cmake --build --preset release --target bmpframe >/dev/null

framed="$(mktemp -d)"
trap 'rm -rf "$framed"' EXIT
build/release/cli/bmpframe samples/sample.bmp "$framed/sample-framed.bmp"

# -strip keeps timestamps out, so the PNGs change only when the pictures do.
convert samples/sample.bmp -strip docs/sample-before.png
convert "$framed/sample-framed.bmp" -strip docs/sample-after.png
echo "wrote docs/sample-before.png and docs/sample-after.png"
