#!/usr/bin/env bash
# Rebuilds the three payloads of bench/pack_sizes.sh from pinned Debian packages, downloaded
# once with `apt-get download` into a cache below build/ and unpacked with dpkg-deb -x:
#   windows-app     i386 PE files of Wine's Windows side (those under 300 KiB: 436 DLLs, EXEs,
#                   drivers and control-panel files) with Wine's data (NLS tables, wine.inf)
#   python-stdlib   a Python standard library (/usr/lib/python3.11 of libpython3.11-minimal and
#                   libpython3.11-stdlib, which share it)
#   mixed           icon themes (PNG and SVG), an HTML manual and fonts, about 75 MB
# Symbolic links are replaced by the files they name inside the package (dangling ones are
# dropped), so every packer sees the same regular files. Times are the packages' own.
# Usage: bench/make_bench_corpus.sh [CACHE]   (default build/bench-corpus; prints the payloads' paths)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${1:-$root/build/bench-corpus}
mkdir -p "$cache/debs"
cache=$(cd "$cache" && pwd)

# package=version. Versions of the Debian 12 archive; one that has left the archive (a
# superseded point release) has to be replaced here, which changes the figures.
pinned=(
  libwine:i386=8.0~repack-4
  libpython3.11-minimal=3.11.2-6+deb12u8
  libpython3.11-stdlib=3.11.2-6+deb12u8
  adwaita-icon-theme=43-1
  tango-icon-theme=0.8.90-11
  debian-reference-en=2.100
  fonts-dejavu-core=2.37-6
)

# The .deb of package=version in the cache, downloaded when missing.
deb_of() {
  local pin=$1 name=${1%%=*} version=${1#*=} f
  name=${name%%:*}
  for f in "$cache/debs/${name}"_*.deb; do
    [ -f "$f" ] && [ "$(dpkg-deb -f "$f" Version)" = "$version" ] && { echo "$f"; return; }
  done
  echo "make_bench_corpus: downloading $pin" >&2
  (cd "$cache/debs" && apt-get download -q -o APT::Sandbox::User=root "$pin" >/dev/null) ||
    { echo "make_bench_corpus: cannot download $pin (apt-get update? version gone?)" >&2; exit 1; }
  for f in "$cache/debs/${name}"_*.deb; do
    [ -f "$f" ] && [ "$(dpkg-deb -f "$f" Version)" = "$version" ] && { echo "$f"; return; }
  done
  echo "make_bench_corpus: $pin downloaded, but no such .deb found" >&2
  exit 1
}

rm -rf "$cache/unpacked" "$cache/payloads"
mkdir -p "$cache/unpacked" "$cache/payloads"
for pin in "${pinned[@]}"; do
  name=${pin%%=*}
  dpkg-deb -x "$(deb_of "$pin")" "$cache/unpacked/${name%%:*}"
done

# copy_tree SRC DEST [MAXSIZE]: SRC's files (links resolved inside the package SRC lies in,
# dangling ones dropped; with MAXSIZE only files below it) into DEST, times kept.
copy_tree() {
  python3 - "$cache/unpacked" "$@" <<'PYTHON'
import os, shutil, sys
unpacked, src, dest = sys.argv[1:4]
limit = int(sys.argv[4]) if len(sys.argv) > 4 else None
package = os.path.join(unpacked, os.path.relpath(src, unpacked).split(os.sep)[0])

def resolve(path, depth=0):
    # Where a link leads inside the package: absolute targets are read from the package's root.
    while os.path.islink(path) and depth < 40:
        target = os.readlink(path)
        path = os.path.join(package, target.lstrip("/")) if target.startswith("/") else \
            os.path.join(os.path.dirname(path), target)
        depth += 1
    return os.path.normpath(path)

def copy(s, d):
    s = resolve(s)
    if os.path.isdir(s) and not os.path.islink(s):
        os.makedirs(d, exist_ok=True)
        for name in sorted(os.listdir(s)):
            copy(os.path.join(s, name), os.path.join(d, name))
        shutil.copystat(s, d)
    elif os.path.isfile(s) and not os.path.islink(s):
        if limit is None or os.path.getsize(s) < limit:
            shutil.copy2(s, d)

copy(src, dest)
PYTHON
}

u=$cache/unpacked p=$cache/payloads
copy_tree "$u/libwine/usr/lib/i386-linux-gnu/wine/i386-windows" "$p/windows-app/i386-windows" 307200
copy_tree "$u/libwine/usr/share/wine" "$p/windows-app/share"
for part in minimal stdlib; do
  copy_tree "$u/libpython3.11-$part/usr/lib/python3.11" "$p/python-stdlib/python3.11"
done
for theme in adwaita-icon-theme tango-icon-theme; do
  copy_tree "$u/$theme/usr/share/icons" "$p/mixed/icons"
done
copy_tree "$u/debian-reference-en/usr/share/debian-reference" "$p/mixed/debian-reference"
copy_tree "$u/fonts-dejavu-core/usr/share/fonts" "$p/mixed/fonts"
for payload in windows-app python-stdlib mixed; do
  echo "$p/$payload: $(find "$p/$payload" -type f | wc -l) files, $(du -sb --apparent-size "$p/$payload" | cut -f1) bytes" >&2
  echo "$p/$payload"
done
