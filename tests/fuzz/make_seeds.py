#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (run once; the files are committed):
corpus/inflate: raw deflate streams of zlib at several levels and strategies, and hand-made
blocks; corpus/encrypted: entries of Info-ZIP `zip -P` archives in the target's input layout;
corpus/lzma: method 14 entries of Python's raw LZMA1 (with the end marker) in the lzma target's
input layout (choice byte, declared size, entry); corpus/package: lzma.zip, LZMA entries of
zipfile, and solid.zip, a solid package's archive (a marked LZMA index of the inner archive's
local headers, then the inner archive as one LZMA stream)."""
import lzma
import os
import subprocess
import tempfile
import zipfile
import zlib

here = os.path.dirname(os.path.abspath(__file__))


def deflate(data, level, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    return c.compress(data) + c.flush()


def main():
    text = b"".join(b"line %d of the window and the block header\n" % (i % 37) for i in range(300))
    binary = bytes((i * i + i // 7) & 0xFF for i in range(3000))
    seeds = {
        "text-6": deflate(text, 6), "text-9": deflate(text, 9), "text-1": deflate(text, 1),
        "binary-filtered": deflate(binary, 6, zlib.Z_FILTERED), "text-huffman": deflate(text, 6, zlib.Z_HUFFMAN_ONLY),
        "runs-rle": deflate(b"a" * 2000 + b"b" * 300, 6, zlib.Z_RLE), "text-fixed": deflate(text[:900], 6, zlib.Z_FIXED),
        "stored": deflate(binary[:500], 0), "empty": deflate(b"", 6),
        "type3": bytes([0x07]), "fixed-286": bytes([0x63, 0x18, 0x05]),
    }
    out = os.path.join(here, "corpus", "inflate")
    os.makedirs(out, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    out = os.path.join(here, "corpus", "encrypted")
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        with open(os.path.join(tmp, "t.txt"), "wb") as f:
            f.write(text[:1500])
        with open(os.path.join(tmp, "b.bin"), "wb") as f:
            f.write(binary[:400])
        for level, password in (("-6", b"pw"), ("-0", b"secret7")):
            subprocess.run(["zip", "-q", level, "-P", password.decode(), "a.zip", "t.txt", "b.bin"], cwd=tmp, check=True)
            raw = open(os.path.join(tmp, "a.zip"), "rb").read()
            for info in zipfile.ZipFile(os.path.join(tmp, "a.zip")).infolist():
                off = info.header_offset
                name_len = int.from_bytes(raw[off + 26:off + 28], "little")
                extra_len = int.from_bytes(raw[off + 28:off + 30], "little")
                start = off + 30 + name_len + extra_len
                choices = len(password) | (8 if info.flag_bits & 8 else 0) | (16 if info.compress_type == 8 else 0)
                mod_time = int.from_bytes(raw[off + 10:off + 12], "little")
                entry = bytes([choices]) + password + info.CRC.to_bytes(4, "little") + mod_time.to_bytes(2, "little")
                entry += raw[start:start + info.compress_size]
                with open(os.path.join(out, "zip%s-%s" % (level, info.filename)), "wb") as f:
                    f.write(entry)
            os.remove(os.path.join(tmp, "a.zip"))

    out = os.path.join(here, "corpus", "lzma")
    os.makedirs(out, exist_ok=True)
    lzma_seeds = {"text-lc3": (text[:4000], 3, 0, 2), "binary-lc0-lp2": (binary[:2000], 0, 2, 0),
                  "runs-pb0": (b"a" * 3000 + b"b" * 500, 3, 0, 0), "empty": (b"", 3, 0, 2)}
    for name, (data, lc, lp, pb) in lzma_seeds.items():
        raw = lzma.compress(data, format=lzma.FORMAT_RAW, filters=[
            {"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16, "lc": lc, "lp": lp, "pb": pb}])
        entry = bytes([9, 20, 5, 0, (pb * 5 + lp) * 9 + lc]) + (1 << 16).to_bytes(4, "little") + raw
        for choice, suffix in ((1 | 6 << 1, "marker"), (0 | 1 << 1, "size")):  # with flag bit 1, and without it
            with open(os.path.join(out, "%s-%s" % (name, suffix)), "wb") as f:
                f.write(bytes([choice]) + len(data).to_bytes(3, "little") + entry)

    out = os.path.join(here, "corpus", "package")
    with zipfile.ZipFile(os.path.join(out, "lzma.zip"), "w", zipfile.ZIP_LZMA) as z:
        z.writestr("t.txt", text[:3000])
        z.writestr("b.bin", binary[:700])
    with open(os.path.join(out, "solid.zip"), "wb") as f:
        f.write(solid_archive({"a.txt": text[:2000], "d/b.bin": binary[:900], "c.txt": b"c"}))


def local_header(name, method, flags, crc, csize, usize, extra=b""):
    return (b"PK\3\4" + (20).to_bytes(2, "little") + flags.to_bytes(2, "little") + method.to_bytes(2, "little") +
            bytes(4) + crc.to_bytes(4, "little") + csize.to_bytes(4, "little") + usize.to_bytes(4, "little") +
            len(name).to_bytes(2, "little") + len(extra).to_bytes(2, "little") + name + extra)


def lzma_data(data):
    """Method 14 data: the LZMA header, then liblzma's raw stream, which ends with the marker."""
    raw = lzma.compress(data, format=lzma.FORMAT_RAW, filters=[{"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16}])
    return bytes([9, 20, 5, 0, 93]) + (1 << 16).to_bytes(4, "little") + raw


def solid_archive(files):
    headers, inner = b"", b""
    for name, data in files.items():
        h = local_header(name.encode(), 0, 0, zlib.crc32(data), len(data), len(data))
        headers += h
        inner += h + data
    marker = (0x7A5A).to_bytes(2, "little") + (4).to_bytes(2, "little") + (2).to_bytes(2, "little") + bytes(2)
    index, payload = lzma_data(headers), lzma_data(inner)
    # Both streams end with the marker: flag bit 1.
    return (local_header(b"payload.idx", 14, 2, zlib.crc32(headers), len(index), len(headers), marker) + index +
            local_header(b"payload.zip", 14, 2, zlib.crc32(inner), len(payload), len(inner)) + payload)


if __name__ == "__main__":
    main()
