# Sourced by the commands that set themselves up on a fresh machine
# (examples/run, release/run): installs the Debian packages given that are
# missing, as root or through sudo, and says so.
#   install_packages CALLER PURPOSE PACKAGE...
# Exits with 2 when they cannot be installed. Off Debian it does nothing: the
# build then names what it lacks.
install_packages() {
  local caller=$1 purpose=$2 missing=() p sudo=""
  shift 2
  command -v dpkg-query >/dev/null || return 0
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "$caller: $purpose needs the Debian packages ${missing[*]}; as root: apt-get install ${missing[*]}" >&2
      exit 2
    fi
    sudo=sudo
  fi
  echo "$caller: installing the Debian packages that $purpose needs: ${missing[*]}${sudo:+ (through sudo)}"
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq ||
    ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    echo "$caller: installing ${missing[*]} failed" >&2
    exit 2
  fi
}
