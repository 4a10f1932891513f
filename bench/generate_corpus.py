#!/usr/bin/env python3
"""Writes the benchmark corpus: about 60,000 files in nested folders, with duplicate sets,
same-size decoys that differ only in the middle, hidden files and folders, and links (some
pointing out of the corpus). Deterministic: the same arguments give the same bytes.

Usage: generate_corpus.py <folder> [--files N] [--scale S] [--copies F] [--sparse-min BYTES]
                          [--no-hash-file]
--copies: the share of files that copy an earlier one (more duplicate groups).
--sparse-min: every file is a sparse file of at least BYTES with no content written (large-file
lists of any length, cheap on disk; duplicates are then only by size).
--no-hash-file: skip the one-gigabyte file beside the folder that the hash benchmark reads.
"""
import argparse
import os
import random


def content(rng_seed, size):
    # Seeded pseudo-random bytes, cheap to make: a 64 KiB random block repeated with a
    # per-file header, so equal seeds give equal files and different seeds differ early.
    block_rng = random.Random(rng_seed)
    block = block_rng.randbytes(min(size, 65536)) if size else b""
    if not size:
        return b""
    reps = size // len(block) + 1
    return (block * reps)[:size]


def pick_size(rng, scale):
    # About 6 GB for 60,000 files: mostly small files, a few over the 10 MB threshold.
    roll = rng.random()
    if roll < 0.75:
        size = rng.randint(0, 64 * 1024)
    elif roll < 0.98:
        size = rng.randint(64 * 1024, 256 * 1024)
    elif roll < 0.999:
        size = rng.randint(256 * 1024, 2 * 1024 * 1024)
    else:
        size = rng.randint(10 * 1024 * 1024, 20 * 1024 * 1024)
    return int(size * scale)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as handle:
        handle.write(data)


def sparse(path, size):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as handle:
        handle.truncate(size)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--files", type=int, default=60000)
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--copies", type=float, default=0.08)
    parser.add_argument("--sparse-min", type=int, default=0)
    parser.add_argument("--no-hash-file", action="store_true")
    args = parser.parse_args()
    rng = random.Random(6)
    folders = [""]
    for index in range(1500):
        parent = rng.choice(folders)
        hidden = "." if rng.random() < 0.02 else ""
        folders.append(os.path.join(parent, f"{hidden}dir{index}"))

    written = []
    count = 0
    while count < args.files:
        folder = os.path.join(args.folder, rng.choice(folders))
        roll = rng.random()
        if args.sparse_min:
            size = args.sparse_min + rng.randint(0, 64) * (args.sparse_min // 8 or 1)
            sparse(os.path.join(folder, f"file{count}.bin"), size)
            count += 1
            continue
        if roll < args.copies and written:
            # A copy of an earlier file: a duplicate set grows.
            source_seed, size = rng.choice(written)
            data = content(source_seed, size)
        elif roll < args.copies + 0.02 and written:
            # A decoy: same size as an earlier file, one byte changed in the middle.
            source_seed, size = rng.choice(written)
            data = bytearray(content(source_seed, size))
            if size:
                data[size // 2] ^= 0xFF
            data = bytes(data)
        else:
            seed = rng.getrandbits(48)
            size = pick_size(rng, args.scale)
            data = content(seed, size)
            written.append((seed, size))
        hidden = "." if rng.random() < 0.01 else ""
        write(os.path.join(folder, f"{hidden}file{count}.bin"), data)
        count += 1

    # Links to files and folders, inside and out of the corpus; none may be listed or followed.
    for index in range(200):
        folder = os.path.join(args.folder, rng.choice(folders))
        os.makedirs(folder, exist_ok=True)
        target = "/etc/hostname" if index % 10 == 0 else os.path.join(args.folder, rng.choice(folders))
        try:
            os.symlink(target, os.path.join(folder, f"link{index}"))
        except FileExistsError:
            pass
    # One file over which the hash benchmark runs.
    if args.no_hash_file:
        return
    write(os.path.join(args.folder + "-sha", "one-gigabyte.bin"), content(99, 1024 * 1024 * 1024))


if __name__ == "__main__":
    main()
