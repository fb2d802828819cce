#!/usr/bin/env python3
"""Runs the built tarnisk-cli on the bundled files and checks the output
contracts (JSON keys and types, exit statuses) that scripts rely on.
Usage: cli_contract_test.py PATH/TO/tarnisk-cli SOURCE_DIR"""

import json
import os
import subprocess
import sys
import tempfile

CLI, SOURCE = sys.argv[1], sys.argv[2]
DATA = os.path.join(SOURCE, "data")
RULES = os.path.join(DATA, "es207.rul")
failures = 0
checks = 0


def run(*args):
    p = subprocess.run([CLI, *args], capture_output=True, text=True, timeout=120)
    return p.returncode, p.stdout, p.stderr


def check(condition, what):
    global failures, checks
    checks += 1
    if not condition:
        failures += 1
        print("FAIL:", what)


def info(path, *extra):
    code, out, err = run("info", path, "--rules", RULES, "--json", "--quiet", *extra)
    check(code == 0, f"info {path} exits 0 ({err.strip()})")
    return json.loads(out) if code == 0 else {}


for name in ("inverter.msk", "nand2.msk", "ring5.msk"):
    data = info(os.path.join(DATA, "examples", name))
    check(set(data) == {"boxes", "texts", "resistances", "extent", "layers", "technology"},
          f"info keys of {name}: {sorted(data)}")
    check(isinstance(data["boxes"], int) and data["boxes"] > 10, f"{name} has boxes")
    check(len(data["extent"]) == 4 and all(isinstance(v, int) for v in data["extent"]),
          f"{name} extent is four integers")
    check(sum(data["layers"].values()) == data["boxes"], f"{name} layer counts add up")
    check(set(data["technology"]) == {"name", "lambda", "vdd", "metals"}, f"{name} technology keys")

for rules, metals in (("es207.rul", 2), ("cmos33-5m.rul", 5)):
    code, out, err = run("tech", os.path.join(DATA, rules), "--json", "--quiet")
    check(code == 0, f"tech {rules} exits 0")
    tech = json.loads(out)
    check(set(tech) == {"name", "lambda", "vdd", "temp", "delt", "metals", "rules",
                        "capacitances", "layers", "nmos", "pmos", "error"}, f"tech keys {sorted(tech)}")
    check(tech["metals"] == metals and tech["error"] is None, f"{rules}: metals and no error")
    check(len(tech["layers"]) == 20, "20 layers")
    check(set(tech["layers"][0]) == {"name", "code", "sheet_resistance", "thickness", "height",
                                     "cif", "gds2", "overetch", "min_width"}, "layer keys")
    check(all(isinstance(v, int) for v in tech["rules"].values()), "rules are integers")

with tempfile.TemporaryDirectory() as tmp:
    copy = os.path.join(tmp, "ring.msk")
    code, _, _ = run("convert", os.path.join(DATA, "examples", "ring5.msk"), copy, "--quiet")
    check(code == 0 and os.path.exists(copy), "convert writes the copy")
    check(info(copy) == info(os.path.join(DATA, "examples", "ring5.msk")), "convert keeps the layout")

    big = os.path.join(tmp, "big.msk")
    subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "gen_inverter_array.py"),
                    "--boxes", "80000", big], check=True, capture_output=True)
    data = info(big)
    check(0 < data.get("boxes", 0) <= 80000, f"generated layout loads ({data.get('boxes')} boxes)")

    inverter = os.path.join(DATA, "examples", "inverter.msk")
    generated = os.path.join(tmp, "generated.msk")
    for kind, extra in (("contact", ["--at", "0,-40"]), ("padring", []),
                        ("path", ["--points", "0,-40;60,-40"]), ("logo", ["--at", "0,100"])):
        code, out, err = run("generate", inverter, generated, kind, *extra, "--rules", RULES,
                             "--json", "--quiet")
        data = json.loads(out) if code == 0 else {}
        check(code == 0 and list(data) == ["boxes_added", "texts_added", "extent_added", "message"],
              f"generate {kind} keys ({err.strip()})")
        check(data.get("boxes_added", 0) > 0 and len(data.get("extent_added") or []) == 4,
              f"generate {kind} adds boxes")
        check(info(generated)["boxes"] == info(inverter)["boxes"] + data.get("boxes_added", 0),
              f"generate {kind} writes what it added")
    code, out, _ = run("generate", "--list", "--json")
    check(code == 0 and len(json.loads(out)["kinds"]) == 10, "generate --list names ten kinds")
    code, _, err = run("generate", inverter, generated, "spiral", "--at", "0,0", "--quiet")
    check(code == 2 and "spiral" in err, "an unknown kind exits 2")

    code, out, err = run("route", inverter, generated, "--from", "-30,-30,metal", "--to",
                         "90,90,metal", "--rules", RULES, "--json", "--quiet")
    data = json.loads(out) if out else {}
    check(code in (0, 1) and list(data) == ["routed", "tries", "boxes_added", "message"],
          f"route keys ({err.strip()})")
    check(isinstance(data.get("routed"), bool) and (code == 0) == data.get("routed"),
          "route exits 0 exactly when routed")

    compiled = os.path.join(tmp, "nand.msk")
    code, out, err = run("compile", compiled, "nand=/(a.b)", "--labels", "all", "--rules", RULES,
                         "--json", "--quiet")
    data = json.loads(out) if out else {}
    check(code == 0 and list(data) == ["error", "message", "cells", "nmos", "pmos", "boxes_added"],
          f"compile keys ({err.strip()})")
    check(all(list(d) == ["gate", "left", "right", "w", "l"] for d in data.get("nmos", [])),
          "compile device keys")
    code, out, err = run("truth", compiled, "--rules", RULES, "--json", "--quiet")
    data = json.loads(out) if out else {}
    check(code == 0 and list(data) == ["inputs", "outputs", "rows"], f"truth keys ({err.strip()})")
    check(data.get("rows") == [[0, 0, 1], [0, 1, 1], [1, 0, 1], [1, 1, 0]], "truth of a nand")
    code, out, err = run("compile", compiled, "y=(a", "--rules", RULES, "--json", "--quiet")
    check(code == 2 and json.loads(out)["error"] == 22, "compile: a text error exits 2")
    source = os.path.join(tmp, "inv.v")
    with open(source, "w") as f:
        f.write("module m(a, y);\nnot n1(y, a);\nendmodule\n")
    code, out, err = run("verilog", source, os.path.join(tmp, "inv.msk"), "--rules", RULES,
                         "--json", "--quiet")
    data = json.loads(out) if out else {}
    check(code == 0 and list(data) == ["log", "cells", "routed_wires", "errors", "boxes_added"],
          f"verilog keys ({err.strip()})")

    code, out, err = run("info", os.path.join(tmp, "missing.msk"), "--rules", RULES, "--json")
    check(code == 2 and out == "" and err.count("\n") >= 1, "missing layout: exit 2, error on stderr")
    code, _, err = run("info")
    check(code == 2 and "usage" in err, "usage error exits 2")

RING = os.path.join(DATA, "examples", "ring5.msk")
with tempfile.TemporaryDirectory() as tmp:
    geo, png = os.path.join(tmp, "ring.geo"), os.path.join(tmp, "ring.png")
    code, out, err = run("section", RING, "--cut", "-5,20,130,20", "--solve", "--geo", geo,
                         "--png", png, "--rules", RULES, "--json", "--quiet")
    check(code == 0, f"section exits 0 ({err.strip()})")
    section = json.loads(out) if code == 0 else {}
    check(list(section) == ["layers", "conductors", "capacitance", "solver"],
          f"section keys {list(section)}")
    check(all({"layer", "height", "thickness"} <= set(l) for l in section.get("layers", [])),
          "section layers carry heights and thicknesses")
    conductors = section.get("conductors", [])
    check(len(conductors) >= 2 and all({"node", "x0", "x1"} <= set(c) for c in conductors),
          "section conductors carry their node and extent")
    matrix = section.get("capacitance") or []
    check(len(matrix) >= 2 and all(matrix[i][i] > 0 for i in range(len(matrix))),
          "a capacitance matrix with positive self terms")
    check({"grid", "iterations", "residual"} <= set(section.get("solver", {})), "solver keys")
    check(os.path.getsize(geo) > 0 and os.path.getsize(png) > 0, "section writes GEO and PNG")
    code, out, _ = run("section", RING, "--cut", "1,2,3", "--rules", RULES, "--json", "--quiet")
    check(code == 2 and out == "", "a malformed cut exits 2")

    csv = os.path.join(tmp, "sweep.csv")
    code, out, err = run("sweep", RING, "--param", "vdd", "--from", "3", "--to", "5", "--step",
                         "1", "--measure", "frequency", "--node", "out", "--csv", csv,
                         "--rules", RULES, "--json", "--quiet")
    check(code == 0, f"sweep exits 0 ({err.strip()})")
    sweep = json.loads(out) if code == 0 else {}
    check(list(sweep) == ["points", "message"], f"sweep keys {list(sweep)}")
    points = sweep.get("points", [])
    check(len(points) == 3 and all(len(p) == 2 for p in points), "three [parameter, value] pairs")
    check(open(csv).readline().strip() == "parameter,frequency_mhz", "sweep CSV header")
    code, _, _ = run("sweep", RING, "--param", "vdd", "--from", "3", "--to", "5", "--step", "1",
                     "--log", "--measure", "frequency", "--node", "out", "--rules", RULES, "--quiet")
    check(code == 2, "a logarithmic sweep that cannot advance is refused")

    ucp = os.path.join(tmp, "ring.ucp")
    code, out, err = run("ucp", RING, "-o", ucp, "--space", "5", "--rules", RULES, "--json",
                         "--quiet")
    check(code == 0, f"ucp exits 0 ({err.strip()})")
    data = json.loads(out) if code == 0 else {}
    check(list(data) == ["conductors", "texts", "file"], f"ucp keys {list(data)}")
    check(data.get("file") == ucp and open(ucp).readline().startswith("! UCP translator"),
          "ucp writes the file")

print(f"{checks - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
