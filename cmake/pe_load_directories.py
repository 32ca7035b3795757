#!/usr/bin/env python3
"""Fills two data directories of a linked PE program that GNU ld 2.40 leaves
empty. Runs after the link, before the symbols are stripped.

    pe_load_directories.py PROGRAM

- Load configuration (entry 10): the program's `_load_config_used`, which
  carries DependentLoadFlags. ld fills the entry only from binutils 2.43 on;
  Windows reads the structure through this entry alone.
- Delay-load imports (entry 13): the descriptors of dlltool's delay-load
  libraries. The delay-load helper finds each through its own thunk, so the
  program runs without the entry; it is there so that the image says what
  it loads (the import check reads it, as do Windows' tools). dlltool puts
  each descriptor in section .text$2, which ld sorts together; the zero
  descriptor that ends the table comes from the program (.text$3).

A program whose descriptors are not one run ending in a zero descriptor is
refused, and so is one without `_load_config_used`. The file is changed in
place and only in those two entries: the same input gives the same bytes.
"""
import struct
import sys

LOAD_CONFIG = 10
DELAY_IMPORT = 13
DESCRIPTOR_SIZE = 32


def fail(message):
    sys.exit(f"pe_load_directories: {message}")


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        fail(f"{path} is no PE image")
    (_, sections, _, symtab, symbols, opt_size, _) = struct.unpack_from("<HHIIIHH", image, pe + 4)
    opt = pe + 24
    magic = struct.unpack_from("<H", image, opt)[0]
    directories = opt + (96 if magic == 0x10B else 112)
    section_table = opt + opt_size
    layout = []  # (virtual address, virtual size, file offset, raw size)
    for i in range(sections):
        size, va, raw_size, raw = struct.unpack_from("<IIII", image, section_table + 40 * i + 8)
        layout.append((va, size, raw, raw_size))
    if not symtab:
        fail(f"{path} has no symbols (stripped already?)")
    strings = symtab + 18 * symbols

    def file_offset(rva, length):
        for va, size, raw, raw_size in layout:
            if va <= rva and rva + length <= va + min(size, raw_size):
                return raw + rva - va
        fail(f"RVA {rva:#x} is not in the file")

    found = {}
    i = 0
    while i < symbols:
        entry = symtab + 18 * i
        name = image[entry:entry + 8]
        if name[:4] == b"\0\0\0\0":
            start = strings + struct.unpack_from("<I", name, 4)[0]
            name = image[start:image.index(b"\0", start)]
        else:
            name = name.rstrip(b"\0")
        value, section = struct.unpack_from("<Ih", image, entry + 8)
        if section > 0:
            found[name.decode("latin-1")] = layout[section - 1][0] + value
        i += 1 + image[entry + 17]

    def set_directory(index, rva, size):
        struct.pack_into("<II", image, directories + 8 * index, rva, size)

    config = found.get("_load_config_used", found.get("__load_config_used"))
    if config is None:
        fail(f"{path} defines no _load_config_used")
    # The directory's size is the structure's, which it states first.
    set_directory(LOAD_CONFIG, config, struct.unpack_from("<I", image, file_offset(config, 4))[0])

    descriptors = sorted(rva for name, rva in found.items() if name.startswith("__DELAY_IMPORT_DESCRIPTOR_"))
    if descriptors:
        first = descriptors[0]
        if descriptors != [first + DESCRIPTOR_SIZE * k for k in range(len(descriptors))]:
            fail(f"{path}: the delay-load descriptors are not one table")
        end = first + DESCRIPTOR_SIZE * len(descriptors)
        if any(image[file_offset(end, DESCRIPTOR_SIZE):][:DESCRIPTOR_SIZE]):
            fail(f"{path}: no zero descriptor ends the delay-load table")
        set_directory(DELAY_IMPORT, first, end + DESCRIPTOR_SIZE - first)

    with open(path, "r+b") as f:
        f.write(image)


if __name__ == "__main__":
    main()
