#!/usr/bin/env python3
"""Generates a deterministic synthetic client installation for the end-to-end benchmark.

The same seed always gives the same tree, byte for byte: about 3,000 files and 300 MB in all,
mixing incompressible blobs, compressible text and sparse binaries, with a few empty and hidden
files, folders nested a dozen deep, a top-level Fernpatch.exe and one large file of about 45 MB.
"""
import argparse
import os
import random
import shutil

WORDS = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho "
         "sigma tau upsilon phi chi psi omega item sword shield potion map quest level npc").split()


def text_bytes(rng, size):
    parts, n = [], 0
    while n < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14))) + \
            " = %d\r\n" % rng.randint(0, 99999)
        parts.append(line)
        n += len(line)
    return "".join(parts).encode()[:size]


def sparse_bytes(rng, size):
    data = bytearray(size)
    for _ in range(max(1, size // 512)):
        at = rng.randrange(size)
        run = rng.randint(1, 64)
        data[at:at + run] = rng.randbytes(min(run, size - at))
    return bytes(data)


def blob_bytes(rng, size):
    return rng.randbytes(size)


KINDS = (blob_bytes, text_bytes, sparse_bytes)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("target", help="folder to create (emptied first)")
    ap.add_argument("--seed", type=int, default=4600)
    ap.add_argument("--files", type=int, default=3000)
    ap.add_argument("--total-mb", type=int, default=300)
    ap.add_argument("--large-mb", type=int, default=45)
    args = ap.parse_args()

    rng = random.Random(args.seed)
    if os.path.exists(args.target):
        shutil.rmtree(args.target)
    os.makedirs(args.target)

    # Folders: a few broad top-level ones, and one chain nested a dozen deep.
    folders = [""]
    for i in range(40):
        parent = rng.choice(folders[: max(1, len(folders))])
        folders.append(os.path.join(parent, "dir%02d" % i))
    deep = ""
    for level in range(12):
        deep = os.path.join(deep, "deep%02d" % level)
        folders.append(deep)
    for f in folders:
        os.makedirs(os.path.join(args.target, f), exist_ok=True)

    budget = args.total_mb * 1000 * 1000 - args.large_mb * 1000 * 1000
    count = args.files - 2  # Fernpatch.exe and the large file come on top
    mean = budget // count
    written = 0

    def put(rel, data):
        nonlocal written
        with open(os.path.join(args.target, rel), "wb") as fh:
            fh.write(data)
        written += len(data)

    put("Fernpatch.exe", blob_bytes(rng, 700 * 1000))
    put(os.path.join(folders[1], "bigdata.pak"), KINDS[1](rng, args.large_mb * 1000 * 1000 // 2) +
        blob_bytes(rng, args.large_mb * 1000 * 1000 // 2))
    for i in range(count):
        folder = rng.choice(folders)
        if i % 400 == 7:
            name = ".hidden%d.cfg" % i
        else:
            name = "file%04d.%s" % (i, rng.choice(("dll", "dat", "txt", "ini", "bin", "png")))
        if i % 500 == 3:
            size = 0
        else:
            size = int(rng.expovariate(1.0 / mean))
            size = min(size, 8 * mean)
        put(os.path.join(folder, name), rng.choice(KINDS)(rng, size) if size else b"")
    print("%s: %d files, %.1f MB" % (args.target, args.files, written / 1e6))


if __name__ == "__main__":
    main()
