#!/usr/bin/env python3
"""Reads the archive of a folder package (zelvix-pack --dump) the way other tools do and
compares it with the folder: check_pack.py DUMP.zip FOLDER METHOD (solid, lzma, deflate, store).

Every file and empty folder must come back under its name (UTF-8, bit 11 when not ASCII) with
its bytes, its modification time (extended-time field, MS-DOS fields in local time) and a
method the mode allows; `7z t` must pass on the dump, `unzip -t` too unless LZMA is in it.
A solid dump must hold payload.idx (LZMA, with the marker field) and payload.zip (LZMA, no
end marker), and the index must decode to the inner archive's local headers, byte for byte.
Prints "ok", or what is wrong and exits with 1."""
import io
import os
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

ALLOWED = {"solid": {0}, "lzma": {0, 14}, "deflate": {0, 8}, "store": {0}}


def fail(text):
    print(text)
    sys.exit(1)


def local_header(data, offset):
    """The local header at offset: its bytes (30, name, extra) and its extra field."""
    name_length, extra_length = struct.unpack_from("<HH", data, offset + 26)
    end = offset + 30 + name_length + extra_length
    return data[offset:end], data[end - extra_length:end]


def extra_fields(extra):
    fields, at = {}, 0
    while at + 4 <= len(extra):
        field_id, size = struct.unpack_from("<HH", extra, at)
        fields[field_id] = extra[at + 4:at + 4 + size]
        at += 4 + size
    return fields


def tool_passes(command):
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if run.returncode != 0:
        fail(f"{' '.join(command)} failed:\n{run.stdout.decode(errors='replace')}")


def expected_entries(folder):
    entries = {}
    for directory, dirs, files in os.walk(folder):
        relative = os.path.relpath(directory, folder)
        prefix = "" if relative == "." else relative.replace(os.sep, "/") + "/"
        if not dirs and not files and prefix:
            entries[prefix] = directory
        for name in files:
            entries[prefix + name] = os.path.join(directory, name)
    return entries


def check_members(archive, data, folder, methods):
    expected = expected_entries(folder)
    names = [info.filename for info in archive.infolist()]
    if sorted(names) != sorted(expected):
        fail(f"names {sorted(names)} != {sorted(expected)}")
    for info in archive.infolist():
        path = expected[info.filename]
        if info.compress_type not in methods:
            fail(f"{info.filename}: method {info.compress_type}")
        if bool(info.flag_bits & 0x800) != (not info.filename.isascii()):
            fail(f"{info.filename}: flag bit 11 is {info.flag_bits & 0x800}")
        if info.flag_bits & 0x0F:
            fail(f"{info.filename}: flags {info.flag_bits:#x} (encryption, end marker or descriptor)")
        content = b"" if info.is_dir() else open(path, "rb").read()
        if archive.read(info) != content:
            fail(f"{info.filename}: content differs")
        mtime = int(os.stat(path).st_mtime)
        # The MS-DOS fields hold 1980-01-01 00:00:00 .. 2107-12-31 23:59:58 in local time, even
        # seconds; the extended-time field a signed 32-bit count of seconds.
        dos = time.localtime(mtime)[:6]
        dos = min(max(dos[:5] + (dos[5] // 2 * 2,), (1980, 1, 1, 0, 0, 0)), (2107, 12, 31, 23, 59, 58))
        if info.date_time != dos:
            fail(f"{info.filename}: DOS time {info.date_time} != {dos}")
        _, extra = local_header(data, info.header_offset)
        held = min(max(mtime, -2**31), 2**31 - 1)
        for where, field in (("local", extra_fields(extra)), ("central", extra_fields(info.extra))):
            if field.get(0x5455) != struct.pack("<Bi", 1, held):
                fail(f"{info.filename}: {where} extended-time field {field.get(0x5455)} for {mtime}")


def main():
    dump, folder, method = sys.argv[1:4]
    data = open(dump, "rb").read()
    archive = zipfile.ZipFile(dump)
    tool_passes(["7z", "t", dump])
    if method in ("deflate", "store"):
        tool_passes(["unzip", "-tq", dump])
    if method != "solid":
        check_members(archive, data, folder, ALLOWED[method])
        print("ok")
        return
    infos = archive.infolist()
    if [(i.filename, i.compress_type) for i in infos] != [("payload.idx", 14), ("payload.zip", 14)]:
        fail(f"solid entries {[(i.filename, i.compress_type) for i in infos]}")
    _, index_extra = local_header(data, infos[0].header_offset)
    if extra_fields(index_extra).get(0x7A5A) != struct.pack("<HH", 2, 0):
        fail(f"index marker field {index_extra!r}")
    if infos[1].flag_bits & 0x0B:
        fail(f"payload flags {infos[1].flag_bits:#x}")
    payload = archive.read("payload.zip")  # zipfile decodes method 14 through the lzma module
    inner = zipfile.ZipFile(io.BytesIO(payload))
    headers = b"".join(local_header(payload, i.header_offset)[0] for i in inner.infolist())
    if archive.read("payload.idx") != headers:
        fail("payload.idx is not the payload's local headers")
    with tempfile.TemporaryDirectory() as scratch:
        inner_name = os.path.join(scratch, "inner.zip")
        open(inner_name, "wb").write(payload)
        tool_passes(["7z", "t", inner_name])
        tool_passes(["unzip", "-tq", inner_name])
    check_members(inner, payload, folder, ALLOWED[method])
    print("ok")


if __name__ == "__main__":
    main()
