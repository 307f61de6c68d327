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

# Frames every supported corpus file with the native release build into
# build/platforms/linux, for a cross build's outputs to be compared with.
native_reference_outputs() {
  local reference="$PWD/build/platforms/linux"
  cmake --preset release > /dev/null
  cmake --build --preset release --target velmora_frame_corpus
  rm -rf "$reference" && mkdir -p "$reference"
  build/release/tests/platforms/velmora_frame_corpus ../shared/corpus "$reference"
}
