#!/usr/bin/env bash
# Builds the .deb of a native build tree with CPack, unpacks it into a scratch root (dpkg -x:
# nothing is installed on this machine) and runs what it holds from there: zelvix-pack
# --version must print VERSION, the package must carry the stub and the manual page, and the
# unpacked zelvix-pack must build a package of a folder with its own stub, unnamed; the
# README's install line must name this package.
# Usage: check_deb.sh BUILD_DIR VERSION STUB. Exit 77 (skipped) when STUB is not built.
set -euo pipefail
build=$1 version=$2 stub=$3
if [ ! -f "$stub" ]; then
  echo "no stub at $stub: build the win32 preset first"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb="$work/out/zelvix_${version}_amd64.deb"
[ -f "$deb" ] || { echo "no $deb; CPack made:"; ls "$work/out"; exit 1; }
info=$(dpkg-deb --info "$deb")
grep -q "Depends: .*libc6" <<<"$info" || { echo "no dependencies recorded: $info"; exit 1; }
dpkg -x "$deb" "$work/root"
for f in usr/bin/zelvix-pack usr/share/zelvix/zelvix.exe usr/share/man/man1/zelvix-pack.1; do
  [ -f "$work/root/$f" ] || { echo "$f missing from the package"; exit 1; }
done
cmp "$stub" "$work/root/usr/share/zelvix/zelvix.exe" || { echo "the packaged stub is not the built one"; exit 1; }
printed=$("$work/root/usr/bin/zelvix-pack" --version)
[ "$printed" = "zelvix-pack $version" ] || { echo "--version printed '$printed'"; exit 1; }
mkdir -p "$work/dist"
echo "hello" >"$work/dist/readme.txt"
"$work/root/usr/bin/zelvix-pack" "$work/dist" >/dev/null
cmp -n "$(stat -c %s "$stub")" "$stub" "$work/dist.exe" || { echo "the package does not begin with the stub"; exit 1; }
# The README's install line names this package.
grep -q "build/deb/zelvix_${version}_amd64.deb" "$(dirname "$0")/../../README.md" ||
  { echo "README.md does not install zelvix_${version}_amd64.deb"; exit 1; }
echo "ok: $(basename "$deb")"
