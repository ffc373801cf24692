#!/usr/bin/env python3
"""Counts non-blank, non-comment lines of .cpp/.h files: tests/ against the code in
src/, data/, bench/ and tools/, and prints both with their ratio (kept between 0.25
and 0.35). With --by-folder it also prints each top folder of tests/ and src/."""
import os
import sys


def count_file(path):
    n = 0
    in_block = False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            s = line.strip()
            if in_block:
                if "*/" not in s:
                    continue
                in_block = False
                s = s.split("*/", 1)[1].strip()
            if s.startswith("/*"):
                if "*/" not in s:
                    in_block = True
                    continue
                s = s.split("*/", 1)[1].strip()
            if s and not s.startswith("//"):
                n += 1
    return n


def count_tree(path):
    total = 0
    for d, _, files in os.walk(path):
        for name in files:
            if name.endswith((".cpp", ".h")):
                total += count_file(os.path.join(d, name))
    return total


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    code = {top: count_tree(os.path.join(root, top)) for top in ("src", "data", "bench", "tools")}
    tests = count_tree(os.path.join(root, "tests"))
    total = sum(code.values())
    print("code %d (%s), tests %d, ratio %.3f" % (
        total, ", ".join("%s %d" % kv for kv in code.items()), tests, tests / total))
    if "--by-folder" in sys.argv:
        for top in ("src", "tests"):
            base = os.path.join(root, top)
            for sub in sorted(os.listdir(base)):
                if os.path.isdir(os.path.join(base, sub)):
                    print("  %s/%s %d" % (top, sub, count_tree(os.path.join(base, sub))))


if __name__ == "__main__":
    main()
