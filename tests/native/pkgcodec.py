#!/usr/bin/env python3
"""An encoder and decoder of update packages written apart from the C++ code,
for the updpkg tests: they read what updpkg wrote, and make packages (faulty
ones included) for it to read.

    pkgcodec.py list KEYHEX PACKAGE          name (UTF-8, '\\' kept), size, sha1
    pkgcodec.py make KEYHEX PACKAGE NAME=FILE ...   NAME in UTF-8, stored as cp932
"""

import hashlib
import struct
import sys
import zlib


def mask(data, key, start=0):
    kb = struct.pack("<I", key)
    return bytes(b ^ kb[(start + i) % 4] for i, b in enumerate(data))


def decode(blob, key):
    if blob[:8] != b"KVUB\x00\x00\x00\x01":
        raise ValueError("bad header")
    pos, entries = 8, []
    while pos < len(blob):
        (remaining,) = struct.unpack_from("<Q", blob, pos)
        run = blob[pos + 8:pos + 8 + remaining]
        if len(run) != remaining:
            raise ValueError("entry cut short")
        plain = mask(run, key)
        zero = plain.index(b"\x00")
        name, data, stored = plain[:zero], plain[zero + 1:-4], plain[-4:]
        if zlib.crc32(plain[:-4]) != struct.unpack("<I", stored)[0]:
            raise ValueError("checksum of %r" % name)
        entries.append((name, zlib.decompress(data)))
        pos += 8 + remaining
    return entries


def encode(entries, key):
    out = bytearray(b"KVUB\x00\x00\x00\x01")
    for name, content in entries:
        run = name + b"\x00" + zlib.compress(content, 6)
        run += struct.pack("<I", zlib.crc32(run))
        out += struct.pack("<Q", len(run)) + mask(run, key)
    return bytes(out)


def main():
    cmd, key, package = sys.argv[1], int(sys.argv[2], 16), sys.argv[3]
    if cmd == "list":
        for name, data in decode(open(package, "rb").read(), key):
            print("%s %d %s" % (name.decode("cp932"), len(data), hashlib.sha1(data).hexdigest()))
    elif cmd == "make":
        entries = []
        for arg in sys.argv[4:]:
            name, _, path = arg.partition("=")
            entries.append((name.encode("cp932"), open(path, "rb").read()))
        open(package, "wb").write(encode(entries, key))
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main()
