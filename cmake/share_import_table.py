#!/usr/bin/env python3
"""Drops the import lookup tables of the stub, in place.

Each import descriptor names two arrays with the same entries: the lookup table, which the
loader reads the imported names from, and the address table, which it overwrites with the
addresses found. Read in order, one array serves both: every entry is read before it is
written. The linker script (cmake/stub.ld) puts the lookup tables at the very end of the first
section; this step points each descriptor's lookup table at its address table, cuts the tail
off the section, and moves the sections behind it down when a 512-byte file block comes free.
Addresses the loader maps do not move.   Usage: share_import_table.py FILE
"""
import struct
import sys

from compact_headers import checksum, pe_layout


def share(image: bytearray) -> bytearray:
    _, sections, optional, optional_size, file_alignment = pe_layout(image)
    import_rva = struct.unpack_from("<I", image, optional + 104)[0]
    table = optional + optional_size
    headers = [table + 40 * i for i in range(sections)]

    def section_of(rva):
        for entry in headers:
            vsize, va = struct.unpack_from("<II", image, entry + 8)
            if va <= rva < va + vsize:
                return entry
        raise SystemExit(f"RVA {rva:#x} outside the sections")

    host = section_of(import_rva)
    vsize, va, raw_size, raw_pointer = struct.unpack_from("<IIII", image, host + 8)

    def at(rva):
        return rva - va + raw_pointer

    # The descriptors end with an all-zero one; each lookup table ends with a zero entry.
    lookups, descriptor = [], at(import_rva)
    while any(image[descriptor:descriptor + 20]):
        lookup, first = struct.unpack_from("<I12xI", image, descriptor)
        if lookup == first:
            return image  # already shared
        end = lookup
        while struct.unpack_from("<I", image, at(end))[0]:
            if image[at(end):at(end) + 4] != image[at(first + end - lookup):at(first + end - lookup) + 4]:
                raise SystemExit("a lookup table differs from its address table")
            end += 4
        lookups.append((descriptor, lookup, end + 4))
        descriptor += 20
    start = min(lookup for _, lookup, _ in lookups)
    if sum(end - lookup for _, lookup, end in lookups) != va + vsize - start or max(end for *_, end in lookups) != va + vsize:
        raise SystemExit("the lookup tables do not end the section: see cmake/stub.ld")

    for descriptor, _, _ in lookups:
        struct.pack_into("<I", image, descriptor, struct.unpack_from("<I", image, descriptor + 16)[0])
    new_vsize = start - va
    new_raw = -(-new_vsize // file_alignment) * file_alignment
    saved = raw_size - new_raw
    image[at(start):at(va + vsize)] = bytes(va + vsize - start)
    struct.pack_into("<I", image, host + 8, new_vsize)
    struct.pack_into("<I", image, host + 16, new_raw)
    if saved:
        characteristics = struct.unpack_from("<I", image, host + 36)[0]
        field = optional + (4 if characteristics & 0x20 else 8)  # size of code or of initialised data
        struct.pack_into("<I", image, field, struct.unpack_from("<I", image, field)[0] - saved)
        for entry in headers:
            size, pointer = struct.unpack_from("<II", image, entry + 16)
            if size and pointer > raw_pointer:
                struct.pack_into("<I", image, entry + 20, pointer - saved)
        del image[raw_pointer + new_raw:raw_pointer + raw_size]
    struct.pack_into("<I", image, optional + 64, 0)
    struct.pack_into("<I", image, optional + 64, checksum(bytes(image)))
    return image


def main() -> None:
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = bytearray(f.read())
    with open(path, "wb") as f:
        f.write(share(image))


if __name__ == "__main__":
    main()
