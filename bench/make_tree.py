#!/usr/bin/env python3
"""Makes a FILES tree of mixed content for the package benchmark.

    make_tree.py FOLDER MIB

About MIB mebibytes: executables and libraries copied from this system (the
kind of file an update carries most), text (headers and documentation),
incompressible data (images, archives) and many small files, in folders
three levels deep. The same system gives the same tree."""

import os
import random
import shutil
import sys


def system_files(roots, suffixes=None, limit=64 << 20):
    """Regular files below roots in a fixed order, smaller than limit."""
    for root in roots:
        for folder, dirs, files in os.walk(root):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                if suffixes and not name.endswith(suffixes):
                    continue
                size = os.path.getsize(path)
                if 0 < size < limit and os.access(path, os.R_OK):
                    yield path, size


def copy_some(files, dest, budget, per_folder=40):
    count = used = 0
    for path, size in files:
        if used >= budget:
            break
        folder = os.path.join(dest, "d%03d" % (count // per_folder))
        os.makedirs(folder, exist_ok=True)
        target = os.path.join(folder, "%05d_%s" % (count, os.path.basename(path)))
        try:
            shutil.copyfile(path, target)
        except OSError:
            continue
        count += 1
        used += size
    return used


def main():
    root, mib = sys.argv[1], int(sys.argv[2])
    total = mib << 20
    rng = random.Random(20240601)
    os.makedirs(root, exist_ok=True)
    binaries = system_files(["/usr/lib/x86_64-linux-gnu", "/usr/bin", "/usr/lib"], limit=24 << 20)
    used = copy_some(binaries, os.path.join(root, "PROG", "bin"), total * 50 // 100)
    texts = system_files(["/usr/include", "/usr/share/doc", "/usr/share/perl", "/usr/lib/python3"],
                         suffixes=(".h", ".txt", ".py", ".pm", ".html", "copyright", ".hpp"))
    used += copy_some(texts, os.path.join(root, "DOC", "text"), total * 30 // 100, per_folder=200)
    noise = os.path.join(root, "DATA", "media", "packed")
    os.makedirs(noise, exist_ok=True)
    n = 0
    while used < total * 95 // 100:
        size = min(rng.randint(64 << 10, 4 << 20), total - used)
        with open(os.path.join(noise, "blob%04d.bin" % n), "wb") as f:
            f.write(rng.randbytes(size))
        used += size
        n += 1
    small = os.path.join(root, "SYS", "conf", "small")
    os.makedirs(small, exist_ok=True)
    words = ["alpha", "beta", "gamma", "delta", "setup", "update", "value", "=", "\n", "[section]"]
    n = 0
    while used < total:
        text = " ".join(rng.choice(words) for _ in range(rng.randint(50, 1500))).encode()
        with open(os.path.join(small, "s%05d.ini" % n), "wb") as f:
            f.write(text)
        used += len(text)
        n += 1


if __name__ == "__main__":
    main()
