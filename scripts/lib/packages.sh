# Debian packages the build, the tests and the demo need; sourced by scripts.

PINWORTH_PACKAGES=(
  cmake g++ ninja-build pkg-config clang-format python3
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libudev-dev umockdev libumockdev-dev libglib2.0-dev libhidapi-dev libpcap-dev
  fonts-dejavu-core
  librsvg2-bin dpkg-dev file desktop-file-utils appstream lintian
  tshark sigrok-cli gtkwave
)

# What only some scripts need: scripts/fuzz (clang and its sanitizer
# runtimes) and the demo on a machine without a display (a virtual X server).
PINWORTH_EXTRA_PACKAGES=(clang libclang-rt-14-dev xvfb xauth)

# scripts/test --kernel: the VM, its initramfs and its modules' index; in
# the VM, udevd, the USB/IP tools and tcpdump.
PINWORTH_KERNEL_PACKAGES=(qemu-system-x86 cpio kmod udev usbip tcpdump)

# Installs the packages that are missing (needs root, as on CI machines).
pinworth_install_packages() {
  local missing=()
  for package in "${PINWORTH_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: these packages are missing: ${missing[*]}" >&2
    echo "Install them with: sudo scripts/install-packages" >&2
    return 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
