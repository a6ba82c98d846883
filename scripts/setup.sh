#!/usr/bin/env bash
# Installs what the build and the tests need from Debian; quick when all is there.
set -euo pipefail

packages=(
  cmake make g++ python3
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb
  googletest
  openocd
  gcc-arm-none-eabi binutils-arm-none-eabi libnewlib-arm-none-eabi
  libunicorn-dev
  valgrind
)

# 32-bit Wine needs the kernel to run 32-bit Linux programs. Some machines'
# kernels cannot (no IA32 emulation); there qemu's user-mode i386 emulator
# is registered for them, which makes Wine work, only slower to start.
ensure_i386_programs() {
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then return 0; fi
  if ! [ -x /usr/bin/qemu-i386-static ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends qemu-user-static
  fi
  if ! [ -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if ! [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FPC' \
      >/proc/sys/fs/binfmt_misc/register
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || {
    echo "setup: this machine cannot run 32-bit programs, so 32-bit Wine cannot run" >&2
    exit 1
  }
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  ensure_i386_programs
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_cmd dpkg --add-architecture i386
fi
$sudo_cmd apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
ensure_i386_programs
