#!/usr/bin/env python3
"""Checks that the image library's folders include only folders below them:
core <- colour <- engine <- formats <- builders <- the top level (exports, format table).
Prints each include that points up and exits 1 when there is one."""
import pathlib
import re
import sys

LAYERS = ["core", "colour", "engine", "formats", "builders"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')


def layer_of(path, root):
    parts = path.relative_to(root).parts
    return LAYERS.index(parts[0]) if len(parts) > 1 and parts[0] in LAYERS else len(LAYERS)


def main(root):
    root = pathlib.Path(root)
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        own = layer_of(path, root)
        for number, line in enumerate(path.read_text().splitlines(), 1):
            match = INCLUDE.match(line)
            if match and match.group(1) in LAYERS and LAYERS.index(match.group(1)) > own:
                faults.append(f"{path.relative_to(root)}:{number}: includes {match.group(1)}/")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
