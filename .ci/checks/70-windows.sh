#!/usr/bin/env bash
# The Windows DLL, cross-built with mingw-w64 and loaded under wine as a host
# loads it: one export at ordinal 1, its version resource, and framed files
# byte-identical to the native Linux build's.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

need_packages cmake g++ googletest g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all

step "native reference outputs"
native_reference_outputs

step "cross-build"
cmake --preset windows
cmake --build --preset windows

step "exports and imports"
dll=build/windows/VelmoraBMPFilterFrame.dll
x86_64-w64-mingw32-objdump -p "$dll" > build/windows/objdump.txt
sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' build/windows/objdump.txt
grep -E '^\s+DLL Name:' build/windows/objdump.txt
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' build/windows/objdump.txt | grep -cE '^\s+\[')
grep -q 'Ordinal Base.*1$' build/windows/objdump.txt || { echo "ordinal base is not 1"; exit 1; }
[ "$exports" -eq 1 ] || { echo "expected one export, found $exports"; exit 1; }
grep -qE '^\s+\[ *0\] BMPFFrame$' build/windows/objdump.txt || { echo "BMPFFrame is not exported"; exit 1; }
# Only the system's own DLLs: the compiler's runtime is linked in.
if grep -E '^\s+DLL Name:' build/windows/objdump.txt | grep -viE 'DLL Name: (KERNEL32|msvcrt)\.dll$'; then
  echo "the DLL needs more than the system DLLs"; exit 1
fi

step "wine prefix"
[ -d "$WINEPREFIX" ] || wineboot -i > /dev/null 2>&1

step "host test under wine"
log=build/windows/host-test.log
if ! VELMORA_REFERENCE_DIR="$reference" ctest --preset windows --verbose > "$log" 2>&1; then cat "$log"; exit 1; fi
grep -E '^[0-9]+: \[ *(PASSED|SKIPPED) *\]|tests passed' "$log"
if grep -q '\[  SKIPPED \]' "$log"; then echo "a host test was skipped"; exit 1; fi

step "byte identity with the native build"
windows="$PWD/build/platforms/windows"
rm -rf "$windows" && mkdir -p "$windows"
wine build/windows/velmora_frame_corpus.exe ../shared/corpus "$windows"
expect_identical_to_reference "$windows"
