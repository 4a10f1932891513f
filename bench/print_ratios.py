#!/usr/bin/env python3
"""Prints the ratios of the median times measured by run.sh, with their targets."""
import statistics
import os
import sys


def means(results, name):
    """Median time of each command, in the order the commands were given."""
    times = {}
    with open(os.path.join(results, name + ".txt"), encoding="utf-8") as handle:
        for line in handle:
            index, seconds = line.split()
            times.setdefault(int(index), []).append(float(seconds))
    return [statistics.median(times[i]) for i in sorted(times)]


def line(label, ratio, target, better_below=True):
    met = ratio <= target if better_below else ratio >= target
    sign = "<=" if better_below else ">="
    print(f"  {label:<44} {ratio:6.2f}   target {sign} {target:<5} {'met' if met else 'NOT MET'}")


def main():
    results = sys.argv[1]
    dup = means(results, "duplicates")
    print("duplicates (ours / peer; below 1 = faster), seconds:",
          " ".join(f"{m:.2f}" for m in dup))
    for name, peer in zip(["jdupes", "rdfind (sha256)", "rmlint", "fdupes"], dup[1:]):
        line(f"findDuplicateFiles / {name}", dup[0] / peer, 1.0)
    large = means(results, "large")
    print("large files, seconds:", " ".join(f"{m:.3f}" for m in large))
    line("scanLargeFiles(10 MB) / find -size +10M", large[0] / large[1], 1.3)
    asyn = means(results, "async")
    print("asynchronous scans, seconds:", " ".join(f"{m:.3f}" for m in asyn))
    line("duplicate scan to final event / search", asyn[0] / asyn[1], 1.2)
    line("large-file scan to final event / search", asyn[2] / asyn[3], 1.2)
    # Scan workers run below normal priority (nice 4 here); under load from other processes
    # that alone slows them, so the search is also timed at the same priority.
    print(f"  (duplicate scan / search at the workers' priority: {asyn[0] / asyn[4]:.2f})")
    sha = means(results, "sha256")
    print("sha256 of 1 GiB, seconds:", " ".join(f"{m:.3f}" for m in sha))
    line("getFileSha256 throughput / openssl dgst", sha[1] / sha[0], 1.0, better_below=False)


if __name__ == "__main__":
    main()
