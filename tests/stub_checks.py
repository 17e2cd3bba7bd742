#!/usr/bin/env python3
"""Checks the bare stub: PE32 for i686, GUI subsystem, system DLLs only, size a multiple of 256
and within budget, and the local-header signature nowhere in it (at a multiple of 256 the
locator would take it for an attached archive; the code never holds it, so that no build can
place it there by chance). Prints the size."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake"))
from compact_headers import checksum  # noqa: E402  (the build's own post-link step)

BUDGET = 32768
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll", "ntdll.dll"}


def imports(data, pe):
    opt = pe + 24
    nsect = struct.unpack_from("<H", data, pe + 6)[0]
    optsize = struct.unpack_from("<H", data, pe + 20)[0]
    import_rva = struct.unpack_from("<I", data, opt + 104)[0]
    sections = []
    for i in range(nsect):
        s = pe + 24 + optsize + 40 * i
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, rawsize), rawptr))

    def at(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva outside the sections")

    names, off = [], at(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, off + 12)[0]
        if name_rva == 0:
            return names
        end = data.index(b"\0", at(name_rva))
        names.append(data[at(name_rva):end].decode().lower())
        off += 20


def layout_faults(data, pe):
    """The headers are rewritten after linking: the loader's view of them must still hold."""
    faults = []
    opt = pe + 24
    nsect, optsize = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    alignment, headers = struct.unpack_from("<I", data, opt + 36)[0], struct.unpack_from("<I", data, opt + 60)[0]
    if pe + 24 + optsize + 40 * nsect > headers or headers % alignment:
        faults.append("section table outside SizeOfHeaders")
    for i in range(nsect):
        rawsize, rawptr = struct.unpack_from("<II", data, pe + 24 + optsize + 40 * i + 16)
        if rawsize and (rawptr < headers or rawptr % alignment or rawptr + rawsize > len(data)):
            faults.append(f"section {i} data outside the file")
    stored = struct.unpack_from("<I", data, opt + 64)[0]
    image = bytearray(data)
    struct.pack_into("<I", image, opt + 64, 0)
    if stored != checksum(bytes(image)):
        faults.append("image checksum does not match")
    return faults


def main(path):
    data = open(path, "rb").read()
    failures = []
    size = len(data)
    print(f"stub size: {size} bytes (budget {BUDGET}, {BUDGET - size} left)")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        failures.append("not a PE file")
    else:
        machine = struct.unpack_from("<H", data, pe + 4)[0]
        magic, = struct.unpack_from("<H", data, pe + 24)
        subsystem, = struct.unpack_from("<H", data, pe + 24 + 68)
        if machine != 0x14C or magic != 0x10B:
            failures.append("not PE32 for i386")
        if subsystem != 2:
            failures.append(f"subsystem {subsystem}, not GUI")
        failures += layout_faults(data, pe)
        dlls = imports(data, pe)
        print("imports:", ", ".join(dlls))
        foreign = [d for d in dlls if d not in SYSTEM_DLLS]
        if foreign:
            failures.append("imports non-system DLLs: " + ", ".join(foreign))
    if size % 256:
        failures.append("size is not a multiple of 256")
    if size > BUDGET:
        failures.append("size over budget")
    at = data.find(b"PK\x03\x04")
    if at >= 0:
        failures.append(f"PK\\3\\4 at {at}" + (" (an aligned block)" if at % 256 == 0 else ""))
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
