# Shared by .ci/run and the checks in .ci/checks.

# Installs the Debian packages that are missing; updates the lists once.
need_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  if [ -z "${VELMORA_APT_UPDATED:-}" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    export VELMORA_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

step() {
  echo
  echo "=== $* ($(date +%T)) ==="
}

# Where the native build's framed corpus files go, for a cross build's outputs
# to be compared with.
reference="$PWD/build/platforms/linux"

# Frames every supported corpus file with the native release build into $reference.
native_reference_outputs() {
  cmake --preset release > /dev/null
  cmake --build --preset release --target velmora_frame_corpus
  rm -rf "$reference" && mkdir -p "$reference"
  build/release/tests/platforms/velmora_frame_corpus ../shared/corpus "$reference"
}

# Every native reference output must have a byte-identical twin in folder $1.
expect_identical_to_reference() {
  local same=0 file
  for file in "$reference"/*.bmp; do
    cmp "$file" "$1/$(basename "$file")"
    same=$((same + 1))
  done
  echo "$same framed files byte-identical to the native build"
}
