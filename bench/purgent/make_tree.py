#!/usr/bin/env python3
"""Builds the deletion benchmark's tree: FILES files in FOLDERS folders (three levels), sizes of
0 to 16 KiB, mixed extensions, last-write times spread over 60 days. Deterministic (seeded)."""
import os
import random
import sys
import time

def main():
    root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(20261208)
    extensions = [".log", ".tmp", ".txt", ".dmp", ".dat", ".LOG"]
    now = time.time()
    dirs = []
    per_top = max(1, int(round(folders ** (1 / 3))))
    for i in range(folders):
        a, b, c = i % per_top, (i // per_top) % per_top, i // (per_top * per_top)
        dirs.append(os.path.join(root, f"a{a:02d}", f"b{b:02d}", f"c{c:03d}"))
    for d in dirs:
        os.makedirs(d, exist_ok=True)
    blob = os.urandom(16384)
    for i in range(files):
        d = dirs[i % len(dirs)]
        path = os.path.join(d, f"f{i:06d}{rng.choice(extensions)}")
        with open(path, "wb") as f:
            f.write(blob[: rng.randint(0, 16384)])
        t = now - rng.uniform(0, 60 * 86400)
        os.utime(path, (t, t))

if __name__ == "__main__":
    main()
