#!/usr/bin/env python3
"""Writes a module-definition file for dlltool from the toolchain's own
import library of a system DLL, so that the delay-load library made from it
offers exactly the functions the ordinary one does, under the same names.

    delay_import_def.py NM IMPORT_LIBRARY DLL_NAME UNDERSCORE OUT.def

UNDERSCORE is 1 where C symbols carry a leading underscore (32-bit x86).
Functions only: a member that defines __imp_NAME and the thunk NAME. Data
exports cannot be delay-loaded; a program that used one would take it from
the ordinary import library, and the import check would name the DLL.
The output depends on nothing but the import library: the same toolchain
gives the same file.
"""
import subprocess
import sys


def main():
    nm, library, dll, underscore, out = sys.argv[1:6]
    prefix = "_" if underscore == "1" else ""
    listing = subprocess.run([nm, "--defined-only", library], check=True,
                             capture_output=True, text=True).stdout
    thunks, pointers = set(), set()
    for line in listing.splitlines():
        parts = line.split()
        if len(parts) != 3:
            continue
        kind, symbol = parts[1], parts[2]
        if kind == "T":
            thunks.add(symbol)
        elif kind == "I" and symbol.startswith("__imp_"):
            pointers.add(symbol[len("__imp_"):])
    names = []
    for symbol in sorted(thunks & pointers):
        if not symbol.startswith(prefix):
            continue
        # stdcall's "@N" stays: dlltool --kill-at drops it from the name
        # looked up in the DLL and keeps it in the symbol the code calls.
        names.append(symbol[len(prefix):])
    if not names:
        sys.exit(f"{library}: no functions found")
    with open(out, "w", newline="\n") as f:
        f.write(f"LIBRARY {dll}\nEXPORTS\n")
        for name in names:
            f.write(f"{name}\n")


if __name__ == "__main__":
    main()
