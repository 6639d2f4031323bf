#!/usr/bin/env python3
"""Builds the finder benchmark's tree: FILES files spread evenly over FOLDERS folders (two
levels below the root), names with mixed extensions and letter case, sizes of 0 to 64 KiB made
sparse (the finder reads sizes, never contents, so the tree costs almost no disk). Deterministic."""
import os
import random
import sys


def main():
    root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(20261208)
    extensions = [".log", ".txt", ".dat", ".LOG", ".tmp", ".json", ".Log", ".bin"]
    tops = max(1, int(round(folders ** 0.5)))
    dirs = [os.path.join(root, f"top{i % tops:03d}", f"sub{i // tops:04d}") for i in range(folders)]
    for d in dirs:
        os.makedirs(d, exist_ok=True)
    for i in range(files):
        path = os.path.join(dirs[i % folders], f"file{i:07d}{rng.choice(extensions)}")
        with open(path, "wb") as f:
            f.truncate(rng.randint(0, 65536))


if __name__ == "__main__":
    main()
