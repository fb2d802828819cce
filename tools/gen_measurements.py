#!/usr/bin/env python3
"""Writes the measurement files of data/measurements from ngspice runs.

Each file is a device of es207.rul measured as ngspice's level 3 model sees
it, with an offset to find by hand in the MOS viewer: the threshold is 0.08 V
higher in magnitude and KP 10 % lower than the rule file's Level 3 card.
Block 1 is the Id-Vd table (Vg = 0..5 V by 1 V, Vd = 0..5 V by 0.2 V),
block 2 the Id-Vg table (Vb = 0, -0.5 .. -2 V, Vg = 0..2 V by 0.1 V,
Vds = 0.1 V); voltages are given as the viewer sweeps them.

Usage: tools/gen_measurements.py OUTDIR
"""
import os
import subprocess
import sys
import tempfile

CARDS = {
    "n": "vto=0.78 kp=7.2e-5 gamma=0.45 phi=0.7 kappa=0.02 theta=0.1 vmax=150000 ld=0.1u",
    "p": "vto=-0.88 kp=2.52e-5 gamma=0.5 phi=0.7 kappa=0.03 theta=0.15 vmax=100000 ld=0.1u",
}
VDD = 5.0


def sweep(kind, w, l, drain, gate, bulk, swept, start, stop, step):
    source = VDD if kind == "p" else 0.0
    deck = f"""* measurement
.options temp=27 tnom=27
.model t {'pmos' if kind == 'p' else 'nmos'} level=3 {CARDS[kind]}
vd d 0 {drain}
vg g 0 {gate}
vb b 0 {bulk}
vs s 0 {source}
m1 d g s b t w={w}u l={l}u
.control
dc {swept} {start} {stop} {step}
wrdata out.txt i(vd)
.endc
.end
"""
    with tempfile.TemporaryDirectory() as tmp:
        with open(os.path.join(tmp, "deck.cir"), "w") as f:
            f.write(deck)
        subprocess.run(["ngspice", "-b", "deck.cir"], cwd=tmp, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(os.path.join(tmp, "out.txt")) as f:
            return [abs(float(line.split()[1])) for line in f if line.strip()]


def write(path, kind, w, l):
    sign = -1 if kind == "p" else 1
    base = VDD if kind == "p" else 0.0
    gates = [0, 1, 2, 3, 4, 5]
    vds = [0.2 * i for i in range(26)]
    idvd = [sweep(kind, w, l, 0, vg, base, "vd", base, base + sign * 5, sign * 0.2) for vg in gates]
    bulks = [0, -0.5, -1, -1.5, -2] if kind == "n" else [5, 5.5, 6, 6.5, 7]
    vgs = [0.1 * i for i in range(21)]
    idvg = [sweep(kind, w, l, base + sign * 0.1, 0, vb, "vg", base, base + sign * 2, sign * 0.1)
            for vb in bulks]
    lines = ["Tarnisk measurement file",
             f"{kind.upper()}MOS W={w}um L={l}um, ngspice level 3, VTO +0.08 V, KP -10 %",
             f"{kind.upper()}MOS {w} {l}",
             f"IdVd {len(gates)} 0.0 5.0 1.0", f"{len(vds)} 0"]
    for r, vd in enumerate(vds):
        lines.append(" ".join([f"{vd:.2f}"] + [f"{c[r]:.6e}" for c in idvd]))
    lines += [f"IdVg {len(bulks)} {bulks[0]} {bulks[-1]} {0.5 if kind == 'p' else -0.5}",
              f"{len(vgs)} 0"]
    for r, vg in enumerate(vgs):
        lines.append(" ".join([f"{vg:.2f}"] + [f"{c[r]:.6e}" for c in idvg]))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "data/measurements"
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, "nmos10x2.MES"), "n", 5, 1)
    write(os.path.join(out, "pmos20x2.MES"), "p", 10, 1)


if __name__ == "__main__":
    main()
