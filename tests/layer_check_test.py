#!/usr/bin/env python3
"""The layering check passes on the source tree and fails on a lower folder
that includes a higher one.
Usage: layer_check_test.py SOURCE_DIR"""
import os
import subprocess
import sys
import tempfile

source = sys.argv[1]
check = os.path.join(source, "tools", "check_layers.py")
failures = 0


def expect(condition, what):
    global failures
    if not condition:
        failures += 1
        print("FAIL:", what)


ok = subprocess.run([sys.executable, check, source], capture_output=True, text=True)
expect(ok.returncode == 0, "the source tree keeps its layers: " + ok.stderr)

with tempfile.TemporaryDirectory() as tree:
    for folder, text in (("core", '#include "session/session.h"\n'),
                         ("session", '#include "core/layout.h"\n'),
                         ("verify", '#include "sim/simulation.h"\n')):
        os.makedirs(os.path.join(tree, folder))
        with open(os.path.join(tree, folder, "a.cpp"), "w") as f:
            f.write(text)
    bad = subprocess.run([sys.executable, check, tree], capture_output=True, text=True)
    expect(bad.returncode == 1, "a backward include fails")
    expect("core/a.cpp includes session/session.h" in bad.stderr, "it names the file: " + bad.stderr)
    expect("verify/a.cpp includes sim/simulation.h" in bad.stderr, "analyses keep their order")
    expect("session/a.cpp" not in bad.stderr, "a downward include is fine")

sys.exit(1 if failures else 0)
