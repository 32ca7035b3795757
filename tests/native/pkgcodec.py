#!/usr/bin/env python3
"""An encoder and decoder of update packages written apart from the C++ code,
for the updpkg tests: they read what updpkg wrote, and make packages (faulty
ones included) for it to read.

    pkgcodec.py list KEYHEX PACKAGE          name (UTF-8, '\\' kept), size, sha1
    pkgcodec.py make KEYHEX PACKAGE NAME=FILE ...   NAME in UTF-8, stored as cp932;
                                             raw:NAME takes \\xNN escapes as bytes
    pkgcodec.py overrun KEYHEX PACKAGE       a sound entry, then one whose zlib
        stream (right Adler-32 and CRC) repeats a code length past HLIT + HDIST
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


def overrun_stream():
    """"AAAA" in one dynamic block whose last code-length instruction repeats
    the previous length 3 times where one length is left."""
    bits = []

    def field(value, count):  # least significant bit first
        bits.extend((value >> i) & 1 for i in range(count))

    def code(value, length):  # Huffman codes: most significant bit first
        bits.extend((value >> i) & 1 for i in reversed(range(length)))

    field(1, 1); field(2, 2); field(0, 5); field(0, 5); field(15, 4)
    lengths = {18: 1, 1: 2, 16: 2}  # code-length code: 18 "0", 1 "10", 16 "11"
    for symbol in (16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15):
        field(lengths.get(symbol, 0), 3)
    for zeros in (65, None, 138, 52, None):  # 'A' and the end of block have 1 bit
        if zeros is None:
            code(2, 2)
        else:
            code(0, 1); field(zeros - 11, 7)
    code(3, 2); field(0, 2)  # repeat 3 times, one length left
    for _ in range(4):
        code(0, 1)
    code(1, 1)
    data = bytes(sum(b << i for i, b in enumerate(bits[n:n + 8])) for n in range(0, len(bits), 8))
    return b"\x78\x01" + data + struct.pack(">I", zlib.adler32(b"AAAA"))


def encode_raw(entries, key):
    out = bytearray(b"KVUB\x00\x00\x00\x01")
    for name, stream in entries:
        run = name + b"\x00" + stream
        run += struct.pack("<I", zlib.crc32(run))
        out += struct.pack("<Q", len(run)) + mask(run, key)
    return bytes(out)


def entry_name(text):
    if text.startswith("raw:"):
        return text[4:].encode("latin-1").decode("unicode_escape").encode("latin-1")
    return text.encode("cp932")


def main():
    cmd, key, package = sys.argv[1], int(sys.argv[2], 16), sys.argv[3]
    if cmd == "list":
        for name, data in decode(open(package, "rb").read(), key):
            print("%s %d %s" % (name.decode("cp932"), len(data), hashlib.sha1(data).hexdigest()))
    elif cmd == "make":
        entries = []
        for arg in sys.argv[4:]:
            name, _, path = arg.partition("=")
            entries.append((entry_name(name), open(path, "rb").read()))
        open(package, "wb").write(encode(entries, key))
    elif cmd == "overrun":
        entries = [(b"SYS\\first.txt", zlib.compress(b"sound")), (b"SYS\\overrun.txt", overrun_stream())]
        open(package, "wb").write(encode_raw(entries, key))
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main()
