#!/usr/bin/env python3
"""Writes the ZIP fixtures of the Windows and end-to-end tests into OUTDIR, byte for byte the
same on every run: fixed time stamps, fixed file contents, fixed encryption headers.

Usage: make_fixtures.py OUTDIR

Every archive is written record by record here (local headers, data, central directory, end
record), so damaged and unusual archives come from the same few lines as the good ones. Entries
are deflated with zlib (raw deflate); traditional PKWARE encryption is done here too, with fixed
header bytes (Info-ZIP's zip -P draws them at random). Each encrypted archive is checked by
decrypting it with zipfile, and with Info-ZIP unzip when it is installed.

Beside each archive NAME.zip whose entries can all be extracted, NAME.files/ holds the expected
contents of its file entries, stored paths kept ('/' as separator).
"""
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

DOS_TIME = (12 << 11) | (34 << 5) | (56 // 2)   # 12:34:56
DOS_DATE = ((2021 - 1980) << 9) | (3 << 5) | 14  # 2021-03-14

STORED, DEFLATED = 0, 8


def text_bytes(size, seed):
    """Readable, compressible text of exactly size bytes."""
    words = [b"alpha", b"bravo", b"charlie", b"delta", b"echo", b"foxtrot", b"golf", b"hotel"]
    out, state = bytearray(), seed
    while len(out) < size:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out += words[state % len(words)] + (b"\r\n" if state % 11 == 0 else b" ")
    return bytes(out[:size])


def noise_bytes(size, seed):
    """Incompressible bytes (a linear congruential generator), exactly size of them."""
    out, state = bytearray(size), seed
    for i in range(size):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        out[i] = state >> 24
    return bytes(out)


# --- traditional PKWARE encryption -------------------------------------------------------------

CRC_TABLE = []
for n in range(256):
    c = n
    for _ in range(8):
        c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
    CRC_TABLE.append(c)


class Cipher:
    def __init__(self, password):
        self.k0, self.k1, self.k2 = 0x12345678, 0x23456789, 0x34567890
        for ch in password:
            self.update(ch)

    def update(self, plain_byte):
        self.k0 = CRC_TABLE[(self.k0 ^ plain_byte) & 0xFF] ^ (self.k0 >> 8)
        self.k1 = ((self.k1 + (self.k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        self.k2 = CRC_TABLE[(self.k2 ^ (self.k1 >> 24)) & 0xFF] ^ (self.k2 >> 8)

    def decrypt(self, data):
        out = bytearray(len(data))
        for i, c in enumerate(data):
            t = (self.k2 | 2) & 0xFFFF
            out[i] = c ^ (((t * (t ^ 1)) >> 8) & 0xFF)
            self.update(out[i])
        return bytes(out)

    def encrypt(self, data):
        out = bytearray(len(data))
        for i, p in enumerate(data):
            t = (self.k2 | 2) & 0xFFFF
            out[i] = p ^ (((t * (t ^ 1)) >> 8) & 0xFF)
            self.update(p)
        return bytes(out)


def encrypt_entry(password, payload, check_byte, seed):
    """12-byte header (11 fixed bytes from seed, then the check byte) + payload, encrypted."""
    header = noise_bytes(11, seed) + bytes([check_byte])
    return Cipher(password.encode("latin-1")).encrypt(header + payload)


# --- archive writer ----------------------------------------------------------------------------

class Entry:
    """One record. data is the file's content; the other fields override what would be stored."""

    def __init__(self, name, data=b"", method=DEFLATED, password=None, descriptor=False,
                 crc=None, raw=None, extra=b"", level=6, usize=None):
        self.name = name.encode("latin-1") if isinstance(name, str) else name
        self.usize = len(data) if usize is None else usize
        self.data, self.method, self.password = data, method, password
        self.descriptor, self.crc, self.raw, self.extra, self.level = descriptor, crc, raw, extra, level


def compress(entry):
    if entry.raw is not None:
        return entry.raw
    if entry.method == DEFLATED:
        c = zlib.compressobj(entry.level, zlib.DEFLATED, -15, 9)
        return c.compress(entry.data) + c.flush()
    return entry.data


def build_archive(entries, central=True, prefix=b""):
    out = bytearray(prefix)
    directory = []
    for seed, e in enumerate(entries, start=1):
        crc = zlib.crc32(e.data) if e.crc is None else e.crc
        payload = compress(e)
        flags = 0
        if e.descriptor:
            flags |= 0x08
        if e.password is not None:
            flags |= 0x01
            # With bit 3 the check byte is the high byte of the time, otherwise of the CRC-32.
            check = (DOS_TIME >> 8) & 0xFF if e.descriptor else crc >> 24
            payload = encrypt_entry(e.password, payload, check, seed)
        offset = len(out) - len(prefix)
        local_crc, local_csize, local_usize = (0, 0, 0) if e.descriptor else (crc, len(payload), e.usize)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, e.method, DOS_TIME, DOS_DATE,
                           local_crc, local_csize, local_usize, len(e.name), len(e.extra))
        out += e.name + e.extra + payload
        if e.descriptor:
            out += struct.pack("<IIII", 0x08074B50, crc, len(payload), e.usize)
        directory.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, e.method, DOS_TIME,
                                     DOS_DATE, crc, len(payload), e.usize, len(e.name), 0, 0, 0, 0,
                                     0x10 if e.name.endswith(b"/") else 0, offset) + e.name)
    if central:
        start = len(out) - len(prefix)
        for record in directory:
            out += record
        size = len(out) - len(prefix) - start
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(directory), len(directory), size, start, 0)
    return bytes(out)


# --- the fixtures ------------------------------------------------------------------------------

def fixtures():
    """(file name, archive bytes, entries whose contents are written to NAME.files, password check)."""
    small = b"Hello from Zelvix.\r\n"
    text40k = text_bytes(40 * 1024, 1)
    noise40k = noise_bytes(40 * 1024 + 7, 2)
    big = text_bytes(3 * 1024 * 1024 + 123, 3) + noise_bytes(512 * 1024, 4)
    out = []

    # stored.zip: stored entries only: a small text, an empty file, 40 KB of noise.
    stored = [Entry("hello.txt", small, STORED), Entry("empty.txt", b"", STORED),
              Entry("noise.bin", noise40k, STORED)]
    out.append(("stored.zip", build_archive(stored), stored))

    # deflated.zip: deflated entries only: a small text, an empty file, 40 KB of text and of noise.
    deflated = [Entry("hello.txt", small), Entry("empty.txt", b""), Entry("text40k.txt", text40k),
                Entry("noise.bin", noise40k)]
    out.append(("deflated.zip", build_archive(deflated), deflated))

    # tree.zip: names with paths and directory entries, stored and deflated mixed, unsorted names.
    tree = [Entry("readme.txt", small), Entry("docs/"), Entry("docs/guide.txt", text40k, STORED),
            Entry("docs/sub/"), Entry("docs/sub/deep.txt", b"deep\r\n"), Entry("bin/tool.dat", noise40k),
            Entry("bin/empty.dat", b"", STORED), Entry("Alpha.txt", b"first by name\r\n")]
    out.append(("tree.zip", build_archive(tree), tree))

    # flat.zip: names without paths only (the Use Stored Paths box has nothing to do).
    flat = [Entry("one.txt", b"one\r\n"), Entry("two.txt", b"two\r\n", STORED), Entry("three.txt", text40k)]
    out.append(("flat.zip", build_archive(flat), flat))

    # large.zip: one deflated file of 3.5 MB (text, then noise) and a small one behind it.
    large = [Entry("large.bin", big), Entry("after.txt", small)]
    out.append(("large.zip", build_archive(large), large))

    # encrypted_one.zip: every entry encrypted with the password "secret", stored and deflated.
    one = [Entry("secret1.txt", small, password="secret"), Entry("secret2.txt", text40k, password="secret"),
           Entry("secret3.bin", noise40k, STORED, password="secret")]
    out.append(("encrypted_one.zip", build_archive(one), one))

    # encrypted_long.zip: three entries under a password of 30 characters.
    long_password = "thirty-characters-of-password!"
    assert len(long_password) == 30
    longer = [Entry("setup.exe", small, password=long_password), Entry("a.txt", text40k, password=long_password),
              Entry("b.bin", noise40k, STORED, password=long_password)]
    out.append(("encrypted_long.zip", build_archive(longer), longer))

    # encrypted_two.zip: one entry with the password "alpha", the next with "beta", then a plain one.
    two = [Entry("first.txt", small, password="alpha"), Entry("second.txt", text40k, password="beta"),
           Entry("plain.txt", b"plain\r\n")]
    out.append(("encrypted_two.zip", build_archive(two), two))

    # encrypted_descriptor.zip: encrypted entries with flag bit 3: zero CRC and sizes in the local
    # header, a signed data descriptor after the data, the check byte taken from the time.
    desc = [Entry("streamed1.txt", small, password="secret", descriptor=True),
            Entry("streamed2.txt", text40k, password="secret", descriptor=True)]
    out.append(("encrypted_descriptor.zip", build_archive(desc), desc))

    # descriptor.zip: the same without encryption (deflated and stored, flag bit 3).
    plain_desc = [Entry("streamed1.txt", text40k, descriptor=True), Entry("streamed2.txt", small, descriptor=True)]
    out.append(("descriptor.zip", build_archive(plain_desc), plain_desc))

    # extra_field.zip: local headers with extra fields, which are stepped over.
    extra = [Entry("x1.txt", small, extra=struct.pack("<HH", 0xCAFE, 8) + b"12345678"),
             Entry("x2.txt", text40k, extra=struct.pack("<HH", 0x5455, 5) + b"\x01\x00\x00\x00\x00")]
    out.append(("extra_field.zip", build_archive(extra), extra))

    # bad_crc.zip: good.txt, then bad.txt whose stored CRC-32 is wrong (data intact), then last.txt.
    bad = [Entry("good.txt", small), Entry("bad.txt", text40k, crc=zlib.crc32(text40k) ^ 0x1),
           Entry("last.txt", b"last\r\n")]
    out.append(("bad_crc.zip", build_archive(bad), None))

    # method6.zip: an entry of method 6 (imploded; its bytes are arbitrary) between two good ones.
    m6 = [Entry("before.txt", small), Entry("imploded.dat", b"x" * 100, method=6, raw=noise_bytes(64, 5)),
          Entry("after.txt", b"after\r\n")]
    out.append(("method6.zip", build_archive(m6), None))

    # bomb.zip: bomb.bin states 1,000 bytes but its deflate stream makes 1 GiB of zeros, and its
    # CRC-32 is that of the whole stream; then after.txt.
    squeeze, zeros, crc = zlib.compressobj(9, zlib.DEFLATED, -15, 9), bytes(1 << 20), 0
    stream = []
    for _ in range(1024):
        stream.append(squeeze.compress(zeros))
        crc = zlib.crc32(zeros, crc)
    stream.append(squeeze.flush())
    out.append(("bomb.zip", build_archive([Entry("bomb.bin", raw=b"".join(stream), crc=crc, usize=1000),
                                           Entry("after.txt", b"after\r\n")]), None))

    # wrong_password.zip: victim.txt under "right", and the first password "wrong0".."wrong999"
    # that passes its one-byte check (about one in 256 do), named in the entry after it.
    entry = Entry("victim.txt", text40k, password="right")
    archive = build_archive([entry])
    header = archive[30 + len("victim.txt"):30 + len("victim.txt") + 12]
    check = zlib.crc32(text40k) >> 24
    wrong = next(w for w in ("wrong%d" % i for i in range(1000))
                 if Cipher(w.encode()).decrypt(header)[11] == check)
    out.append(("wrong_password.zip", build_archive([entry, Entry(wrong + ".txt", small)]), None))

    # cut_header.zip: one complete entry, then the archive ends 12 bytes into the next local header.
    whole = build_archive([Entry("first.txt", small), Entry("second.txt", small)], central=False)
    first_len = 30 + len("first.txt") + len(compress(Entry("first.txt", small)))
    out.append(("cut_header.zip", whole[:first_len + 12], None))

    # no_central.zip: two entries and no central directory: the file ends right after the last data.
    out.append(("no_central.zip", build_archive([Entry("a.txt", small), Entry("b.txt", b"b\r\n")], central=False), None))

    # not_local_first.zip: an empty archive, only its end record: the first record is no local header.
    out.append(("not_local_first.zip", build_archive([]), None))

    # junk_prefix.zip: 100 bytes of text in front of a good archive (an entry's offsets stay valid
    # relative to the archive): the first record is no local header.
    out.append(("junk_prefix.zip", build_archive([Entry("inside.txt", small)], prefix=text_bytes(100, 6)), None))

    # traversal.zip: names that point out of the extraction directory, and one that does not.
    trav = [Entry("../up.txt", b"up\r\n"), Entry("..\\back.txt", b"back\r\n"), Entry("C:\\drive.txt", b"drive\r\n"),
            Entry("/root.txt", b"root\r\n"), Entry("dir/../../escape.txt", b"escape\r\n"), Entry("safe.txt", small)]
    out.append(("traversal.zip", build_archive(trav), None))

    # aligned.zip: one stored entry sized so that the archive is exactly 1024 bytes (4 x 256).
    name = "aligned.bin"
    overhead = 30 + len(name) + 46 + len(name) + 22
    aligned = [Entry(name, noise_bytes(1024 - overhead, 7), STORED)]
    out.append(("aligned.zip", build_archive(aligned), aligned))
    return out


def verify(name, data, entries, path):
    """The archive must read back as written; encrypted ones decrypt with their passwords."""
    if entries is None:
        return
    with zipfile.ZipFile(path) as z:
        for e in entries:
            entry_name = e.name.decode("latin-1")
            if entry_name.endswith("/"):
                continue
            pwd = e.password.encode("latin-1") if e.password else None
            if z.read(entry_name, pwd=pwd) != e.data:
                raise SystemExit("make_fixtures: %s: %s does not read back" % (name, entry_name))
    passwords = {e.password for e in entries if e.password}
    if len(passwords) == 1 and shutil.which("unzip"):
        result = subprocess.run(["unzip", "-tqq", "-P", passwords.pop(), path], capture_output=True)
        if result.returncode != 0:
            raise SystemExit("make_fixtures: unzip rejects %s: %s" % (name, result.stdout + result.stderr))


def write_contents(outdir, name, entries):
    root = os.path.join(outdir, name[:-4] + ".files")
    shutil.rmtree(root, ignore_errors=True)
    for e in entries:
        entry_name = e.name.decode("latin-1")
        if entry_name.endswith("/"):
            continue
        target = os.path.join(root, *entry_name.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(e.data)


def main(argv):
    if len(argv) != 2:
        raise SystemExit(__doc__)
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, data, entries in fixtures():
        path = os.path.join(outdir, name)
        with open(path, "wb") as f:
            f.write(data)
        verify(name, data, entries, path)
        if entries is not None:
            write_contents(outdir, name, entries)
    # huge/huge.zip: one deflated entry of 1 GiB of text (a few MB in the archive), for the
    # window that must stay alive during one long entry (long enough for a test that reads the
    # window across processes to see its bar at several positions); apart from the fixtures
    # every test walks.
    os.makedirs(os.path.join(outdir, "huge"), exist_ok=True)
    with open(os.path.join(outdir, "huge", "huge.zip"), "wb") as f:
        f.write(build_archive([Entry("huge.txt", b"Zelvix keeps its window alive.\r\n" * (32 << 20))]))


if __name__ == "__main__":
    main(sys.argv)
