#!/usr/bin/env python3
"""Reads a branded package's stub back through its PE headers and resource directory and
compares it with what zelvix-pack was asked for:
check_branding.py PACKAGE STUB ICON|- TITLE|- VERSION-INFO|-   ("-": not asked; STUB: the
stub the package was built from).

The image must end where the options block begins, be a whole number of 256-byte blocks, have
no 256-aligned block beginning with PK\\3\\4, a resource directory in its last section, a
SizeOfImage that covers it and a valid checksum. Then: the icon group holds every image of the
.ico (its directory fields and bytes); the main dialog's caption is TITLE and its controls are
the stub's, byte for byte; the version resource's fixed part and strings are VERSION-INFO's.
What was not asked must be the stub's own. Prints "ok", or what is wrong and exits with 1."""
import struct
import sys


def fail(text):
    print(text)
    sys.exit(1)


def checksum(image, field):
    total = 0
    data = image[:field] + b"\0\0\0\0" + image[field + 4:]
    data += b"\0" * (len(data) % 2)
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


class Image:
    def __init__(self, data):
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            fail("no PE header")
        count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        self.optional = pe + 24
        self.section_alignment = struct.unpack_from("<I", data, self.optional + 32)[0]
        self.size_of_image = struct.unpack_from("<I", data, self.optional + 56)[0]
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, self.optional + 96 + 16)
        self.sections = []
        for i in range(count):
            at = self.optional + optional_size + 40 * i
            self.sections.append(struct.unpack_from("<IIII", data, at + 8))  # vsize, va, rawsize, rawptr
        last = max(self.sections, key=lambda s: s[1])
        self.end = last[3] + last[2]
        self.last = last
        self.data = data[:self.end]

    def offset(self, rva):
        for vsize, va, rawsize, raw in self.sections:
            if va <= rva < va + rawsize:
                return raw + rva - va
        fail(f"RVA {rva:#x} outside the sections")

    def resources(self):
        """{(type, name): (language, data)}; types and names as numbers or upper-case text."""
        base = self.offset(self.resource_rva)
        d = self.data
        found = {}

        def ident(field):
            if field & 0x80000000 == 0:
                return field
            at = base + (field & 0x7FFFFFFF)
            length = struct.unpack_from("<H", d, at)[0]
            return d[at + 2:at + 2 + 2 * length].decode("utf-16-le")

        def table(at, path):
            named, ids = struct.unpack_from("<HH", d, base + at + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", d, base + at + 16 + 8 * i)
                key = path + (ident(name),)
                if target & 0x80000000:
                    table(target & 0x7FFFFFFF, key)
                else:
                    rva, size = struct.unpack_from("<II", d, base + target)
                    found[key[:2]] = (key[2], d[self.offset(rva):self.offset(rva) + size])

        table(0, ())
        return found


def dialog_parts(template):
    """(caption, controls): the caption and everything from the controls' 32-bit boundary on."""
    at = 18

    def text(at):
        end = at
        while template[end:end + 2] != b"\0\0":
            end += 2
        return template[at:end].decode("utf-16-le"), end + 2

    for _ in range(2):  # menu, class
        at = at + 4 if template[at:at + 2] == b"\xff\xff" else text(at)[1]
    caption, at = text(at)
    style = struct.unpack_from("<I", template, 0)[0]
    if style & 0x40:
        at = text(at + 2)[1]
    return caption, template[(at + 3) & ~3:]


def version_strings(data):
    """(fixed file version, fixed product version, {key: value}) of a VS_VERSIONINFO."""
    def block(at):
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        end = at + 6
        while data[end:end + 2] != b"\0\0":
            end += 2
        key = data[at + 6:end].decode("utf-16-le")
        value = (end + 2 + 3) & ~3
        return key, length, value_length, kind, value

    key, length, value_length, _, value = block(0)
    if key != "VS_VERSION_INFO" or value_length != 52:
        fail(f"version resource begins with {key!r}, value length {value_length}")
    signature, _, ms, ls, pms, pls = struct.unpack_from("<6I", data, value)
    if signature != 0xFEEF04BD:
        fail("no VS_FIXEDFILEINFO")
    versions = tuple((x >> 16, x & 0xFFFF) for x in (ms, ls, pms, pls))
    file_version = versions[0] + versions[1]
    product_version = versions[2] + versions[3]
    strings = {}
    at = (value + 52 + 3) & ~3
    while at < length:
        child, child_length, _, _, child_value = block(at)
        if child == "StringFileInfo":
            table, table_length, _, _, entry = block(child_value)
            if table != "040904B0":
                fail(f"string table {table!r}")
            while entry < child_value + table_length:
                name, entry_length, chars, kind, text = block(entry)
                strings[name] = data[text:text + 2 * chars].decode("utf-16-le").rstrip("\0")
                entry = (entry + entry_length + 3) & ~3
        at = (at + child_length + 3) & ~3
    return file_version, product_version, strings


def parse_version_info(text):
    items, key, value, in_value, i = {}, "", "", False, 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text) and text[i + 1] in ",\\":
            i += 1
            c = text[i]
        elif c == ",":
            items[key] = value
            key, value, in_value = "", "", False
            i += 1
            continue
        elif c == "=" and not in_value:
            in_value = True
            i += 1
            continue
        if in_value:
            value += c
        else:
            key += c
        i += 1
    items[key] = value
    return items


def numbers(text):
    parts = [int(p) for p in text.split(".")]
    return tuple(parts + [0] * (4 - len(parts)))


def main():
    package_name, stub_name, icon_name, title, version_info = sys.argv[1:6]
    package = open(package_name, "rb").read()
    stub = Image(open(stub_name, "rb").read())
    image = Image(package)
    if package[image.end:image.end + 8] != b"OPTIONS=":
        fail(f"no options block where the image ends ({image.end})")
    if image.end % 256:
        fail(f"image of {image.end} bytes: not a multiple of 256")
    for block in range(0, image.end, 256):
        if package[block:block + 4] == b"PK\3\4":
            fail(f"256-byte block at {block} begins with PK\\3\\4")
    if image.last[1] != image.resource_rva:
        fail("the resource directory is not in the last section")
    needed = -(-(image.last[1] + image.last[0]) // image.section_alignment) * image.section_alignment
    if image.size_of_image != needed:
        fail(f"SizeOfImage {image.size_of_image:#x}, the sections need {needed:#x}")
    stored = struct.unpack_from("<I", image.data, image.optional + 64)[0]
    if stored != checksum(image.data, image.optional + 64):
        fail("image checksum does not match")

    got, own = image.resources(), stub.resources()
    if icon_name != "-":
        ico = open(icon_name, "rb").read()
        count = struct.unpack_from("<H", ico, 4)[0]
        group = got.get((14, "MAINICON"))
        if group is None:
            fail("no icon group MAINICON")
        directory = group[1]
        if struct.unpack_from("<HHH", directory, 0) != (0, 1, count):
            fail(f"icon group directory {directory[:6].hex()} for {count} images")
        for i in range(count):
            entry = ico[6 + 16 * i:6 + 16 * i + 16]
            size, offset = struct.unpack_from("<II", entry, 8)
            member = directory[6 + 14 * i:6 + 14 * i + 14]
            if member[:12] != entry[:12]:
                fail(f"icon group entry {i} {member[:12].hex()} is not the file's {entry[:12].hex()}")
            number = struct.unpack_from("<H", member, 12)[0]
            if got.get((3, number), (0, b""))[1] != ico[offset:offset + size]:
                fail(f"icon image {number} is not image {i} of the file")
        if sum(1 for key in got if key[0] == 3) != count:
            fail("icon images left over from the stub")
    elif {k: v for k, v in got.items() if k[0] in (3, 14)} != {k: v for k, v in own.items() if k[0] in (3, 14)}:
        fail("the icon changed unasked")

    caption, controls = dialog_parts(got[(5, "MAINDIALOG")][1])
    own_caption, own_controls = dialog_parts(own[(5, "MAINDIALOG")][1])
    if caption != (own_caption if title == "-" else title):
        fail(f"caption {caption!r}")
    if controls != own_controls:
        fail("the main dialog's controls differ from the stub's")
    for key in own:
        if key[0] not in (3, 5, 14) and got.get(key) != own[key]:
            fail(f"resource {key} changed")

    if version_info != "-":
        if (16, 1) not in got:
            fail("no version resource")
        wanted = parse_version_info(version_info)
        file_version, product_version, strings = version_strings(got[(16, 1)][1])
        if strings != wanted:
            fail(f"version strings {strings} instead of {wanted}")
        if file_version != numbers(wanted.get("FileVersion", "0")):
            fail(f"fixed file version {file_version}")
        if product_version != numbers(wanted.get("ProductVersion", wanted.get("FileVersion", "0"))):
            fail(f"fixed product version {product_version}")
    elif (16, 1) in got:
        fail("a version resource unasked")
    print("ok")


if __name__ == "__main__":
    main()
