# Sourced by the scripts: install_packages installs the Debian packages named that are not yet
# installed, waiting for the package manager's lock.
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get -o DPkg::Lock::Timeout=600 update
  $sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
}

# The window's texts are Chinese and carry emoji; a bare machine has fonts for neither.
window_fonts=(fonts-wqy-microhei fonts-noto-color-emoji)
