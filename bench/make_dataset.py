#!/usr/bin/env python3
"""A reproducible mixed data set for the backup comparison, and its 1% change.

    make_dataset.py make DIR [--size-mb 1024] [--files N] [--seed 20240501]
    make_dataset.py mutate DIR [--percent 1] [--seed 7]

`make` fills the empty folder DIR with about SIZE_MB MiB in nested folders: many small
files (text and binary), some middling ones, a few large ones (logs, archives), and a few
duplicates. The file count defaults to 47,000 per GiB. Content kinds:
  text        words from a skewed vocabulary in lines (deflate takes it to about 40%)
  random      incompressible bytes (pictures, archives)
  structured  random records with runs of zeros and repeated headers (deflates partly)
Every file gets a fixed modification time, so the same seed gives the same tree.

`mutate` changes PERCENT % of the regular files of DIR (chosen by the seed from the sorted
list of paths): text files get lines rewritten and one appended (their size changes),
binary files get a 4 KiB block overwritten in place (same size, new time).
"""
import argparse
import math
import os
import random
import sys

MIB = 1024 * 1024
BASE_TIME = 1672531200  # 2023-01-01 00:00:00 UTC
TEXT_EXT = [".txt", ".c", ".h", ".log", ".csv", ".html", ".md", ".xml"]
RANDOM_EXT = [".jpg", ".png", ".zip", ".gz", ".mp3"]
STRUCT_EXT = [".db", ".bin", ".o", ".dat"]


class CText:
    """Text lines drawn from a pool, words from a Zipf-like vocabulary."""

    def __init__(self, rng):
        letters = "abcdefghijklmnopqrstuvwxyz"
        words = set()
        while len(words) < 20000:
            n = 1 + min(int(rng.expovariate(0.22)), 14)
            words.add("".join(rng.choice(letters) for _ in range(n)))
        words = sorted(words)
        rng.shuffle(words)
        cum, acc = [], 0.0
        for i in range(len(words)):
            acc += 1.0 / (i + 1) ** 1.05
            cum.append(acc)
        self.lines = []
        for _ in range(120000):
            k = rng.randint(3, 16)
            line = " ".join(rng.choices(words, cum_weights=cum, k=k))
            if rng.random() < 0.2:
                line = "    " + line
            if rng.random() < 0.1:
                line += " %d" % rng.randint(0, 10 ** rng.randint(1, 9))
            self.lines.append(line + "\n")
        self.meanLine = sum(len(l) for l in self.lines) / len(self.lines)

    def Make(self, rng, size):
        need = int(size / self.meanLine) + 8
        out = "".join(rng.choices(self.lines, k=need)).encode()
        while len(out) < size:
            out += "".join(rng.choices(self.lines, k=64)).encode()
        return out[:size]


def MakeStructured(rng, size):
    out = bytearray()
    header = rng.randbytes(48)
    while len(out) < size:
        kind = rng.random()
        if kind < 0.45:
            out += rng.randbytes(rng.randint(16, 600))
        elif kind < 0.75:
            out += bytes(rng.randint(8, 900))
        elif kind < 0.9:
            out += header
        else:
            out += rng.randint(0, 255).to_bytes(1, "little") * rng.randint(4, 200)
    return bytes(out[:size])


def LogUniform(rng, lo, hi):
    return int(math.exp(rng.uniform(math.log(lo), math.log(hi))))


def MakeFolders(rng, root, count):
    """Nested folders: each new one under a random earlier one of depth < 7."""
    names = ["src", "docs", "photos", "music", "mail", "projects", "archive", "work",
             "home", "notes", "data", "reports", "build", "cache", "backup", "misc"]
    folders = [(root, 0)]
    for i in range(count):
        while True:
            parent, depth = folders[min(int(rng.expovariate(1.0 / (len(folders) / 3 + 1))),
                                        len(folders) - 1)]
            if depth < 7:
                break
        name = "%s_%04d" % (rng.choice(names), i)
        folders.append((os.path.join(parent, name), depth + 1))
    for path, _ in folders[1:]:
        os.makedirs(path, exist_ok=True)
    return [p for p, _ in folders]


def Make(args):
    root = os.path.abspath(args.dir)
    os.makedirs(root, exist_ok=True)
    if os.listdir(root):
        sys.exit("make_dataset: %s is not empty" % root)
    rng = random.Random(args.seed)
    total = args.size_mb * MIB
    files = args.files or max(100, round(47000 * args.size_mb / 1024))
    text = CText(rng)
    folders = MakeFolders(rng, root, max(10, files // 18))

    # Sizes: 6% middling files (32 KiB..512 KiB), one large file per 2,000 sharing what
    # the others leave of the total, 0.5% duplicates, the rest small (64 B..32 KiB).
    nDup = max(2, files // 200)
    nLarge = max(4, files // 2000)
    nMid = int(files * 0.06)
    nSmall = files - nDup - nLarge - nMid
    sizes = [LogUniform(rng, 64, 32768) for _ in range(nSmall)]
    sizes += [LogUniform(rng, 32768, 524288) for _ in range(nMid)]
    rest = total - sum(sizes)
    if rest < nLarge * 65536:  # a small set: shrink the others to leave room
        scale = (total * 0.6) / sum(sizes)
        sizes = [max(1, int(s * scale)) for s in sizes]
        rest = total - sum(sizes)
    cuts = sorted(rng.uniform(0, 1) for _ in range(nLarge - 1))
    parts = [b - a for a, b in zip([0.0] + cuts, cuts + [1.0])]
    sizes += [max(65536, int(rest * p)) for p in parts]
    rng.shuffle(sizes)

    written = 0
    made = []
    for i, size in enumerate(sizes):
        kind = rng.random()
        if size > 2 * MIB:
            kind = 0.0 if kind < 0.5 else 0.9  # large: logs or archives
        if kind < 0.55:
            ext, data = rng.choice(TEXT_EXT), text.Make(rng, size)
        elif kind < 0.88:
            ext, data = rng.choice(RANDOM_EXT), rng.randbytes(size)
        else:
            ext, data = rng.choice(STRUCT_EXT), MakeStructured(rng, size)
        folder = folders[min(int(rng.expovariate(1.0 / (len(folders) / 4 + 1))), len(folders) - 1)]
        path = os.path.join(folder, "f%06d%s" % (i, ext))
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (BASE_TIME + i, BASE_TIME + i))
        made.append((path, size))
        written += size

    # Duplicates: copies of earlier files (one of them large) under other names.
    pool = sorted(made, key=lambda x: x[1])
    small = [m for m in pool if m[1] <= MIB]
    large = [m for m in pool if m[1] > MIB]
    picks = rng.sample(small, nDup - 1) + large[:1]
    for j, (src, size) in enumerate(picks):
        folder = rng.choice(folders)
        path = os.path.join(folder, "copy%04d_%s" % (j, os.path.basename(src)))
        with open(src, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (BASE_TIME, BASE_TIME))
        written += size
    count = len(made) + len(picks)
    print("made %d files in %d folders, %.1f MiB, in %s" % (count, len(folders), written / MIB, root))


def Mutate(args):
    root = os.path.abspath(args.dir)
    paths = []
    for dirpath, dirnames, filenames in os.walk(root):
        for name in filenames:
            p = os.path.join(dirpath, name)
            if os.path.isfile(p) and not os.path.islink(p):
                paths.append(p)
    paths.sort()
    rng = random.Random(args.seed)
    count = max(1, round(len(paths) * args.percent / 100))
    changed = 0
    for p in rng.sample(paths, count):
        with open(p, "r+b") as f:
            data = f.read()
            if os.path.splitext(p)[1] in TEXT_EXT or not data:
                lines = data.split(b"\n")
                for _ in range(max(1, len(lines) // 50)):
                    k = rng.randrange(len(lines))
                    lines[k] = b"changed line %d" % rng.randint(0, 10 ** 9)
                data = b"\n".join(lines) + b"\nappended %d\n" % rng.randint(0, 10 ** 9)
                f.seek(0)
                f.write(data)
                f.truncate()
            else:
                at = rng.randrange(max(1, len(data) - 4096))
                f.seek(at)
                f.write(rng.randbytes(min(4096, len(data))))
        changed += os.path.getsize(p)
    print("changed %d of %d files (%.1f MiB now)" % (count, len(paths), changed / MIB))


def Main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    make = sub.add_parser("make")
    make.add_argument("dir")
    make.add_argument("--size-mb", type=int, default=1024)
    make.add_argument("--files", type=int, default=0)
    make.add_argument("--seed", type=int, default=20240501)
    mutate = sub.add_parser("mutate")
    mutate.add_argument("dir")
    mutate.add_argument("--percent", type=float, default=1.0)
    mutate.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    Make(args) if args.command == "make" else Mutate(args)


if __name__ == "__main__":
    Main()
