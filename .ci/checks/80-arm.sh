#!/usr/bin/env bash
# The library, the export and the whole unit-test suite cross-built for 32-bit
# ARM Linux and run under qemu-arm, so that every size computation runs with a
# 32-bit size_t; and framed files byte-identical to the native build's.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

need_packages cmake g++ googletest g++-arm-linux-gnueabihf qemu-user
emulator=(qemu-arm -L /usr/arm-linux-gnueabihf)

step "native reference outputs"
native_reference_outputs

step "cross-build"
cmake --preset arm
cmake --build --preset arm
readelf -h build/arm/libVelmoraBMPFilterFrame.so | grep -E 'Class|Machine'
readelf -h build/arm/libVelmoraBMPFilterFrame.so | grep -q 'Class:.*ELF32' || { echo "not a 32-bit library"; exit 1; }

step "unit tests under qemu-arm"
log=build/arm/unit-tests.log
if ! ctest --preset arm --verbose > "$log" 2>&1; then cat "$log"; exit 1; fi
grep -E '^[0-9]+: \[ *(PASSED|SKIPPED) *\]|tests passed' "$log"

step "byte identity with the native build"
arm="$PWD/build/platforms/arm"
rm -rf "$arm" && mkdir -p "$arm"
"${emulator[@]}" build/arm/tests/platforms/velmora_frame_corpus ../shared/corpus "$arm"
expect_identical_to_reference "$arm"
