#!/usr/bin/env python3
"""Checks our duplicate groups against the peers' (fdupes-style text: one path per line, a
blank line between groups). Exits non-zero on a difference."""
import json
import sys


def peer_groups(path):
    groups, current = set(), []
    with open(path, encoding="utf-8", errors="surrogateescape") as handle:
        for line in handle:
            line = line.rstrip("\n")
            if line:
                current.append(line)
            elif current:
                groups.add(frozenset(current))
                current = []
    if current:
        groups.add(frozenset(current))
    return groups


def main():
    with open(sys.argv[1], encoding="utf-8") as handle:
        ours = {frozenset(f["path"] for f in g["files"]) for g in json.load(handle)["groups"]}
    status = 0
    for peer in sys.argv[2:]:
        theirs = peer_groups(peer)
        same = ours == theirs
        print(f"  {peer.rsplit('/', 1)[-1]}: {len(theirs)} groups, ours {len(ours)}: "
              f"{'identical' if same else 'DIFFERENT'}")
        if not same:
            status = 1
            for group in list(ours - theirs)[:3]:
                print("    only ours:", sorted(group))
            for group in list(theirs - ours)[:3]:
                print("    only theirs:", sorted(group))
    sys.exit(status)


if __name__ == "__main__":
    main()
