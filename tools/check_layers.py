#!/usr/bin/env python3
"""Fails when a source folder includes a header of a folder above it.

The folders form layers, lowest first: the platform interfaces and the
layout database at the bottom, then the analyses, the session, the Qt
windows and the executables. A file may include headers of its own folder
and of folders of a lower rank only, so the database never reaches the
view and an analysis never reaches the session that runs it.

Usage: check_layers.py ROOT [STAMP]   (STAMP is touched on success, for the build)
"""
import os
import re
import sys

# Rank of every folder that holds sources; equal ranks may not include each other.
RANKS = {
    "ui": 0,           # platform interfaces (status panels, drawing surface) and headless ones
    "core": 0,         # geometry, layout database, layout and rule files, technology
    "interchange": 1,  # CIF and GDSII
    "models": 2,       # MOS device models
    "verify": 3,       # design rule checker, extraction, parasitics, SPICE
    "sim": 4,          # analog simulation engine
    "gen": 4,          # cell generator: contacts, pads, buses, inductors, MOS, paths, logos
    "stats": 4,        # layout statistics
    "route": 5,        # occupancy grid and router, drawing with the generator's contacts
    "process": 5,      # field solver, cross-sections, 3D export, parametric sweeps
    "compile": 6,      # the cell and Verilog compilers, drawing with the generator and router
    "session": 7,      # the owner of the editor's state, rendering, commands
    "ui/qt": 8,        # the Qt windows
    "app": 9,          # the executables
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path):
    parts = path.split("/")
    if len(parts) > 2 and parts[0] == "ui" and parts[1] == "qt":
        return "ui/qt"
    return parts[0] if parts[0] in RANKS else None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
    problems = []
    for folder in RANKS:
        base = os.path.join(root, folder)
        for dirpath, _, files in os.walk(base):
            rel_dir = os.path.relpath(dirpath, root)
            if folder_of(rel_dir + "/x") != folder:
                continue
            for name in files:
                if not name.endswith((".h", ".cpp")):
                    continue
                rel = os.path.join(rel_dir, name)
                with open(os.path.join(root, rel), errors="replace") as f:
                    text = f.read()
                for target in INCLUDE.findall(text):
                    other = folder_of(target)
                    if other is None or other == folder:
                        continue
                    if RANKS[other] >= RANKS[folder]:
                        problems.append("%s includes %s (%s may not use %s)" %
                                        (rel, target, folder, other))
    for p in problems:
        print("layer violation: " + p, file=sys.stderr)
    if problems:
        return 1
    if len(sys.argv) > 2:
        with open(sys.argv[2], "w"):
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
