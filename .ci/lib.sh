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
