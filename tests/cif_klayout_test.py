#!/usr/bin/env python3
"""Writes the CIF of every example layout and of random layouts with the
built tarnisk-cli, reads each file back with KLayout, and checks that every
polygon and label is there at its true size in microns, grown by the layer's
overetch where that applies. Exits 77 (skipped) when KLayout is missing.
Usage: cif_klayout_test.py PATH/TO/tarnisk-cli SOURCE_DIR WORK_DIR"""

import json
import os
import random
import shutil
import subprocess
import sys
from collections import defaultdict

CLI, SOURCE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
DATA = os.path.join(SOURCE, "data")
DUMP_SCRIPT = os.path.join(SOURCE, "tests", "cif_klayout_dump.py")

LAYERS = ["nwell", "diffp", "diffn", "contact", "poly", "metal", "via", "metal2", "via2",
          "metal3", "via3", "metal4", "via4", "metal5", "passiv", "nitride", "gatep", "gaten",
          "pwell", "aarea"]
CODES = ["NW", "DP", "DN", "CO", "PO", "ME", "VI", "M2", "V2", "M3", "V3", "M4", "V4", "M5",
         "PA", "NT", "GP", "GN", "PW", "AA"]
LAYER_OF_CODE = dict(zip(CODES, LAYERS))

failures = []


def fail(case, what):
    failures.append(f"{case}: {what}")


# ------------------------------------------------------------ reading inputs

def read_rules(path):
    """LAMB, R401, R601, {layer: (CIF name, overetch)}, text layer name."""
    rules = {"LAMB": 0.5, "R401": 0, "R601": 0}
    cif = {layer: ("xxx", 0.0) for layer in LAYERS}
    text_layer = "text"
    for line in open(path, encoding="latin-1").read().splitlines()[1:]:
        if line.startswith("CIF "):
            _, layer, name, _gds, overetch = line.split(" ")[:5]
            if layer == "text":
                text_layer = name
            elif layer in cif:
                cif[layer] = (name, float(overetch))
            continue
        key, _, value = line.partition("=")
        if key.strip() in rules and value.strip():
            rules[key.strip()] = float(value)
    return rules["LAMB"], round(rules["R401"]), round(rules["R601"]), cif, text_layer


def read_layout(path):
    """Boxes (x1, y1, x2, y2, layer) and texts (name, x, y) of an MSK file."""
    boxes, texts = [], []
    for line in open(path, encoding="latin-1").read().splitlines():
        if line.startswith("REC("):
            x, y, w, h, code = line[4:line.index(")")].split(",")
            x, y, w, h = int(x), int(y), int(w), int(h)
            if w > 0 and h > 0:
                boxes.append((x, y, x + w, y + h, LAYER_OF_CODE[code]))
        elif line.startswith("TITLE "):
            head, _, name = line.partition("#")
            _, x, y = head.split()
            texts.append((name, int(x), int(y)))
    return boxes, texts


def expected_contents(layout, rules):
    """What a reader must find: rectangles in um per CIF layer, and labels."""
    boxes, texts = read_layout(layout)
    lam, r401, r601, cif, text_layer = rules
    polygons = defaultdict(list)
    for x1, y1, x2, y2, layer in boxes:
        name, overetch = cif[layer]
        off_size = (layer == "contact" and x2 - x1 != r401) or (layer == "via" and x2 - x1 != r601)
        e = 0.0 if off_size else overetch
        polygons[name].append((lam * x1 - e, lam * y1 - e, lam * x2 + e, lam * y2 + e))
        if layer in ("diffn", "diffp"):
            polygons[cif["aarea"][0]].append((lam * x1, lam * y1, lam * x2, lam * y2))
    labels = [(name.replace(" ", "_"), lam * x, lam * y, text_layer) for name, x, y in texts]
    return polygons, labels


# ------------------------------------------------------------ random inputs

def random_rules(rng, path):
    names = ["C" + "".join(rng.choice("ABCDEFGHKMNPRSTWXYZ") for _ in range(2)) for _ in LAYERS]
    if rng.random() < 0.5:
        names[rng.randrange(20)] = names[rng.randrange(20)]  # two layers on one CIF layer
    lines = ["random technology", "NAME random", f"LAMB = {rng.choice([0.1, 0.2, 0.25, 0.35, 0.5, 1.0])}",
             f"R401 = {rng.choice([2, 3])}", f"R601 = {rng.choice([2, 3])}"]
    for layer, name in zip(LAYERS, names):
        overetch = rng.choice([-0.04, 0.0, 0.0, 0.025, 0.05, 0.1, 0.125])
        lines.append(f"CIF {layer} {name} {rng.randrange(256)} {overetch}")
    lines.append(f"CIF text T{rng.choice('ABCXYZ')} 0 0")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def random_layout(rng, path, boxes, texts):
    lines = ["VERSION 01/01/2024 12:00:00", "FIG #random.msk", "BB(0,0,10,10)"]
    for _ in range(boxes):
        code = rng.choice(CODES)
        x, y = rng.randint(-3000, 3000), rng.randint(-3000, 3000)
        if code in ("CO", "VI") and rng.random() < 0.6:
            w = h = rng.choice([2, 3])
        else:
            w, h = rng.randint(2, 60), rng.randint(2, 60)
        lines.append(f"REC({x},{y},{w},{h},{code})")
    words = ["out", "in", "Vdd", "a", "clk 2", "n 1 x", "q7", "bus_3"]
    for i in range(texts):
        name = " ".join(rng.sample(words, rng.randint(1, 3))) + str(i)
        lines += [f"TITLE {rng.randint(-3000, 3000)} {i * 7}  #{name}", "$- 1000 0 "]
    lines.append("FFIG random.msk")
    with open(path, "w") as f:
        f.write("\r\n".join(lines) + "\r\n")


# ------------------------------------------------------------ comparing

def near(a, b, tolerance):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def compare_polygons(case, expected, found, tolerance):
    if set(expected) != set(found):
        fail(case, f"CIF layers {sorted(found)}, expected {sorted(expected)}")
        return
    for layer, wanted in expected.items():
        shapes = found[layer]
        if len(shapes) != len(wanted):
            fail(case, f"layer {layer}: {len(shapes)} shapes, expected {len(wanted)}")
            continue
        for shape in shapes:
            if shape[4] != 4 or not shape[5]:
                fail(case, f"layer {layer}: {shape} is not a four-corner rectangle")
        left = sorted(shape[:4] for shape in shapes)
        for rect in sorted(wanted):
            match = next((i for i, r in enumerate(left) if near(r, rect, tolerance)), None)
            if match is None:
                fail(case, f"layer {layer}: no shape at {rect}")
                break
            left.pop(match)


def compare_labels(case, expected, found, tolerance):
    left = list(found)
    for name, x, y, layer in expected:
        match = next((i for i, (n, fx, fy, fl) in enumerate(left)
                      if n == name and fl == layer and near((fx, fy), (x, y), tolerance)), None)
        if match is None:
            fail(case, f"label {name!r} at ({x}, {y}) on {layer} not found")
        else:
            left.pop(match)
    if left:
        fail(case, f"labels not in the layout: {left}")


def check(case, dump, expected, unit, summary):
    if "error" in dump:
        fail(case, "KLayout refused the file: " + dump["error"])
        return
    if dump["cells"] != ["topcell"]:
        fail(case, f"cells {dump['cells']}")
    # The CIF grid rounds each coordinate and the overetch (scales are chosen so
    # that no box shrinks to nothing); KLayout's grid is 1 nm.
    tolerance = 1.0 / unit + 0.0011
    polygons, labels = expected
    compare_polygons(case, polygons, dump["layers"], tolerance)
    compare_labels(case, labels, dump["labels"], tolerance)
    counts = {layer: len(shapes) for layer, shapes in dump["layers"].items()}
    if summary["layers"] != counts or summary["labels"] != len(labels):
        fail(case, f"tarnisk-cli summary {summary} does not match {counts}")


def main():
    if shutil.which("klayout") is None:
        print("klayout is not installed: skipped")
        return 77
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    cases = []  # (layout, rule file, scale)
    for rules, scale in (("es207.rul", 1000), ("cmos33-5m.rul", 100), ("es207.rul", 250)):
        for example in sorted(os.listdir(os.path.join(DATA, "examples"))):
            if not example.endswith(".msk"):
                continue  # the examples include sources for the compilers
            cases.append((os.path.join(DATA, "examples", example), os.path.join(DATA, rules), scale))
    rng = random.Random(20240601)
    for i in range(12):
        rules = os.path.join(WORK, f"random{i}.rul")
        layout = os.path.join(WORK, f"random{i}.msk")
        random_rules(rng, rules)
        random_layout(rng, layout, rng.randint(1, 400), rng.randint(0, 30))
        cases.append((layout, rules, rng.choice([1000, 1000, 100, 250, 30])))

    runs = []
    for n, (layout, rules, scale) in enumerate(cases):
        case = f"{os.path.basename(layout)} with {os.path.basename(rules)} at scale {scale}"
        cif = os.path.join(WORK, f"case{n}.cif")
        p = subprocess.run([CLI, "cif", layout, "-o", cif, "--scale", str(scale), "--rules", rules,
                            "--json", "--quiet"], capture_output=True, text=True, timeout=120)
        if p.returncode != 0:
            fail(case, f"tarnisk-cli exited {p.returncode}: {p.stderr.strip()}")
            continue
        runs.append((case, cif, expected_contents(layout, read_rules(rules)), scale,
                     json.loads(p.stdout)))

    listing = os.path.join(WORK, "files.txt")
    dump_path = os.path.join(WORK, "klayout.json")
    with open(listing, "w") as f:
        f.write("\n".join(run[1] for run in runs) + "\n")
    # KLayout warns that scale factors like 10/3 may snap; it only matters on failure.
    p = subprocess.run(["klayout", "-b", "-rd", f"files={listing}", "-rd", f"out={dump_path}",
                        "-r", DUMP_SCRIPT], capture_output=True, text=True, timeout=600)
    if p.returncode != 0:
        print(p.stdout, p.stderr)
        return 1
    dump = json.load(open(dump_path))
    for case, cif, expected, scale, summary in runs:
        check(case, dump[cif], expected, scale, summary)

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(runs)} CIF files read back by KLayout, {len(failures)} failures")
    return 1 if failures else 0


sys.exit(main())
