#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Safe to run repeatedly: it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build git
  g++ clang libclang-rt-14-dev
  googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 libz-mingw-w64-dev
  wine wine64 wine32:i386 xvfb xauth x11-utils imagemagick
  zlib1g-dev nsis
  libdeflate-dev zopfli osslsigncode openssl
)

# The shipping installer is a 32-bit program: Wine runs it in the win64
# prefix through its i386 loader, as 64-bit Windows runs a PE32 file.
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps: adding the i386 architecture for wine32"
  $SUDO dpkg --add-architecture i386
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "install-deps: all packages present"
fi

# Wine's 32-bit loader is an i386 program. A kernel that runs no 32-bit code
# (IA-32 emulation off at boot) gets Debian's user-mode CPU emulator for it,
# registered with binfmt_misc, so the shipping setup.exe still runs, slowly.
if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed'; then
    echo "install-deps: this kernel runs no 32-bit code; installing qemu-user-static to emulate it"
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends qemu-user-static
  fi
  [ -f /proc/sys/fs/binfmt_misc/register ] || $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || true
  if [ -f /proc/sys/fs/binfmt_misc/register ] && [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo "install-deps: registering qemu-i386 for 32-bit programs (binfmt_misc)"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null || true
  fi
fi
