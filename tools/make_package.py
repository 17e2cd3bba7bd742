#!/usr/bin/env python3
"""Makes a package by hand: STUB bytes, a 256-byte options block, the ZIP bytes.
Usage: make_package.py STUB ZIP OUT [OPTIONS [EXTPATH]]"""
import sys


def options_block(options: str, ext_path: str) -> bytes:
    flags = (options + "0000")[:4]
    text = ("OPTIONS=" + flags + " " + ext_path).encode("latin-1")
    if len(text) > 256:
        raise SystemExit("extract path longer than 243 characters")
    return text + bytes(256 - len(text))


def main(argv):
    if len(argv) < 4:
        raise SystemExit(__doc__)
    stub = open(argv[1], "rb").read()
    archive = open(argv[2], "rb").read()
    options = argv[4] if len(argv) > 4 else ""
    ext_path = argv[5] if len(argv) > 5 else ""
    with open(argv[3], "wb") as out:
        out.write(stub + options_block(options, ext_path) + archive)


if __name__ == "__main__":
    main(sys.argv)
