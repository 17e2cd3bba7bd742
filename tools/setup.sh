#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Quick when all of it is present already.
set -euo pipefail

packages=(g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 wine64
  xvfb x11-utils cmake ninja-build googletest clang-14 libclang-rt-14-dev zlib1g-dev libdeflate-dev liblzma-dev
  python3 zip unzip libarchive-tools pigz p7zip-full osslsigncode openssl libz-mingw-w64-dev dpkg-dev)

# True when the kernel runs 32-bit x86 programs (natively or through a registered emulator).
runs_i386() { [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --help >/dev/null 2>&1; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # A mirror caught mid-sync can fail one index (seen: bookworm-security's i386 list). Then the
  # two architectures would be offered different versions of the same libraries, and wine32
  # could not be installed: take every package from the release's own suite instead.
  suite=()
  apt-get update -qq || { sleep 10; apt-get update -qq; } || suite=(-t bookworm)
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${suite[@]}" "${missing[@]}" >/dev/null
fi

# Wine's 32-bit half is an i386 Linux program. Some kernels here boot with IA32 emulation off;
# then qemu's user-mode emulator (version 8 or later: older ones are far too slow for Wine)
# runs it through binfmt_misc.
if ! runs_i386; then
  if ! dpkg-query -W -f='${Version}' qemu-user 2>/dev/null | grep -qE '^1:(8|9|[1-9][0-9])\.'; then
    echo "setup: installing qemu-user from bookworm-backports"
    echo 'deb http://deb.debian.org/debian bookworm-backports main' > /etc/apt/sources.list.d/zelvix-backports.list
    apt-get update -qq || echo "setup: an index failed to update; backports' own is enough here"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -t bookworm-backports qemu-user >/dev/null
  fi
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  [ -e /proc/sys/fs/binfmt_misc/zelvix-i386 ] && echo -1 > /proc/sys/fs/binfmt_misc/zelvix-i386
  printf '%s' ':zelvix-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
    > /proc/sys/fs/binfmt_misc/register
  runs_i386 || { echo "setup: cannot run 32-bit x86 programs on this machine" >&2; exit 1; }
fi
