#!/usr/bin/env python3
"""Fails when a source file of src/<layer> includes a header of a layer that the layer's
CMake target does not link (directly or through the layers it links), or when a target
links a layer that none of its files includes. The edges are read from the
zelvorin_layer(...) lines of CMakeLists.txt. Usage: check_layers.py [repo]"""
import pathlib, re, sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
layers = {}  # folder -> (target, linked targets)
for m in re.finditer(r"^zelvorin_layer\((\S+)\s+(\S+)([^)]*)\)", (root / "CMakeLists.txt").read_text(), re.M):
    layers[m.group(2)] = (m.group(1), [d for d in m.group(3).split() if d.startswith("zel_")])
folder_of = {target: folder for folder, (target, _) in layers.items()}

def reachable(folder):
    seen, todo = set(), [folder]
    while todo:
        for dep in layers[todo.pop()][1]:
            if folder_of[dep] not in seen:
                seen.add(folder_of[dep])
                todo.append(folder_of[dep])
    return seen

faults = []
for folder in sorted(p.name for p in (root / "src").iterdir() if p.is_dir()):
    if folder not in layers:
        faults.append(f"src/{folder} has no zelvorin_layer line")
        continue
    allowed, used = reachable(folder), set()
    for f in sorted((root / "src" / folder).glob("*.[ch]*")):
        for n, line in enumerate(f.read_text().splitlines(), 1):
            m = re.match(r'\s*#\s*include\s+"([^/"]+)/', line)
            if m and m.group(1) in layers and m.group(1) != folder:
                used.add(m.group(1))
                if m.group(1) not in allowed:
                    faults.append(f"{f.relative_to(root)}:{n}: {layers[folder][0]} does not link "
                                  f"{layers[m.group(1)][0]} ({line.strip()})")
    for dep in layers[folder][1]:
        if folder_of[dep] not in used:
            faults.append(f"{layers[folder][0]} links {dep}, but no file of src/{folder} includes it")
print("\n".join(faults) or f"{len(layers)} layers keep to their links")
sys.exit(1 if faults else 0)
