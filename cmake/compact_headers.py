#!/usr/bin/env python3
"""Packs the PE headers of the stub into one 512-byte file block, in place.

The linker puts a DOS program in front of the PE header, which pushes the five section headers
just past 512 bytes, and the file alignment then spends a second 512-byte block on the headers.
Without the DOS program (Windows never runs it) they fit in one. The section data move down by
the block saved, their file offsets follow, and the image checksum is computed again. Nothing
the loader maps changes.   Usage: compact_headers.py FILE
"""
import struct
import sys

DOS_HEADER_SIZE = 0x40


def checksum(image: bytes) -> int:
    """The image checksum of the PE format; the checksum field must hold zero."""
    total = 0
    for (word,) in struct.iter_unpack("<H", image + b"\0" * (len(image) % 2)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def pe_layout(image: bytes):
    """The PE header's offset, the number of sections, the optional header's offset and size,
    and the file alignment."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    return pe, sections, optional, optional_size, struct.unpack_from("<I", image, optional + 36)[0]


def compact(image: bytearray) -> bytearray:
    pe, sections, optional, optional_size, file_alignment = pe_layout(image)
    headers_size = struct.unpack_from("<I", image, optional + 60)[0]
    headers_end = DOS_HEADER_SIZE + 24 + optional_size + 40 * sections
    needed = -(-headers_end // file_alignment) * file_alignment
    saved = headers_size - needed
    if pe == DOS_HEADER_SIZE or saved <= 0:
        return image  # already compact, or nothing to gain
    # Data directories that hold file offsets (certificates, debug data) would need moving too.
    directories = struct.unpack_from("<I", image, optional + 92)[0]
    for index in (4, 6):
        if index < directories and struct.unpack_from("<II", image, optional + 96 + 8 * index)[1] != 0:
            raise SystemExit(f"data directory {index} present: not compacted")

    out = bytearray(image[:DOS_HEADER_SIZE])
    struct.pack_into("<I", out, 0x3C, DOS_HEADER_SIZE)
    out += image[pe:headers_end - DOS_HEADER_SIZE + pe]
    out += b"\0" * (needed - len(out))
    out += image[headers_size:]
    new_optional = DOS_HEADER_SIZE + 24
    struct.pack_into("<I", out, new_optional + 60, needed)
    table = new_optional + optional_size
    for i in range(sections):
        entry = table + 40 * i
        raw_size, raw_pointer = struct.unpack_from("<II", out, entry + 16)
        if raw_size:
            struct.pack_into("<I", out, entry + 20, raw_pointer - saved)
    field = new_optional + 64
    struct.pack_into("<I", out, field, 0)
    struct.pack_into("<I", out, field, checksum(bytes(out)))
    return out


def main() -> None:
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = bytearray(f.read())
    result = compact(image)
    if result is not image:
        with open(path, "wb") as f:
            f.write(result)


if __name__ == "__main__":
    main()
