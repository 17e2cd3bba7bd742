#!/usr/bin/env python3
"""Checks that the includes of src/ point one way (docs/ARCHITECTURE.md): a file may include
headers of its own folder and of folders on lower layers only, and only Win32 files include
<windows.h>. Prints every include that breaks the rule; exit status 1 when there is one.
With --graph, prints which folder includes which (how often) instead."""
import pathlib
import re
import sys

# Lower numbers are lower layers. Folders on one layer do not include each other.
LAYERS = {
    "util": 0,
    "codec": 1,
    "inflate": 2, "lzma": 2,
    "archive": 3,
    "package": 4,
    "dialogs": 5,
    "app": 6, "pack": 6,
}
# Outside src/: the resource script's ids, shared by the dialogs and start-up.
# The configured version header (cmake/zelvix_version.h.in) includes nothing: below every layer.
EXTERNAL = {"resource.h": 4.5, "zelvix_version.h": -1}
WINDOWS_HEADERS = {"windows.h", "shellapi.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def is_win32(path):
    return path.stem.endswith("_win32") or path.name in {"dialogs.h", "startup.h"}


def main():
    src = pathlib.Path(__file__).resolve().parent.parent / "src"
    graph, faults = {}, []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.parent == src:
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in LAYERS:
            faults.append(f"{path.relative_to(src)}: folder '{folder}' has no layer")
            continue
        for kind, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            where = f"{path.relative_to(src)}: #include {name}"
            if kind == "<":
                if name.lower() in WINDOWS_HEADERS and not is_win32(path):
                    faults.append(f"{where}: only Win32 files include the system's headers")
                continue
            if name in EXTERNAL:
                target, rank = name, EXTERNAL[name]
            else:
                target = name.split("/")[0]
                if target not in LAYERS:
                    faults.append(f"{where}: no such folder")
                    continue
                rank = LAYERS[target]
            graph[(folder, target)] = graph.get((folder, target), 0) + 1
            if target != folder and rank >= LAYERS[folder]:
                faults.append(f"{where}: {folder} (layer {LAYERS[folder]}) may not include {target} (layer {rank})")
    if "--graph" in sys.argv:
        for (a, b), n in sorted(graph.items(), key=lambda kv: (LAYERS[kv[0][0]], kv[0])):
            print(f"{a:8} -> {b:10} {n}")
        return 0
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
