"""Seeded generation of syntactically valid but adversarial MSK layouts and
rule files, with what the layout reader will make of them (how many records
each table receives, so that a run past a table's capacity is known)."""

import os
import random

LAYER_CODES = ["NW", "DP", "DN", "CO", "PO", "ME", "VI", "M2", "V2", "M3", "V3", "M4", "V4",
               "M5", "PA", "NT", "GP", "GN", "PW", "AA"]
LAYER_NAMES = ["nwell", "diffp", "diffn", "contact", "poly", "metal", "via", "metal2", "via2",
               "metal3", "via3", "metal4", "via4", "metal5", "passiv", "nitride", "gatep",
               "gaten", "pwell", "aarea"]
CAPACITY = {"boxes": 80000, "texts": 1000, "marks": 100}
LIMIT = 1_000_000_000          # coordinates beyond it are refused by the reader
PROPERTY_LETTERS = "10v-PpCcDdUux"
TIMED_LETTERS = "CDPUcdpu"

# Names that stress every consumer of a text: blanks, quotes, separators of
# SPICE and CSV, non-ASCII, control characters and lengths past the limit.
ODD_NAMES = ["a b", " lead", "trail ", '"q"', "'s'", "x;y", "x,y", "#hash", "$dollar", "é",
             "\u00b5m", "\u4e2d\u6587", "\U0001f600", "tab\there", "0", "-1", "vdd", "VSS",
             "gnd", "n1", ".end", "*comment", "+cont", "x" * 129, "\u00e9" * 100, "()", "=",
             "v(out)", "N5", "a\x01b", "\x7f", "\\", "{}", "%s%n", "bad\udcffbyte"]
RESISTANCE_VALUES = ["1000", "0", "-5", "1e300", "-1e300", "1e-300", "nan", "inf", "1k", "abc",
                     "", "2147483648", "0.0001", "1e9", "5.", ".5", "1e", "99999999999999999999"]


def here():
    return os.path.dirname(os.path.abspath(__file__))


def source_dir():
    return os.path.dirname(os.path.dirname(here()))


def read_example_boxes(name):
    """The boxes and texts of an example layout, to build real circuits from."""
    path = os.path.join(source_dir(), "data", "examples", name)
    boxes, texts = [], []
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    for i, line in enumerate(lines):
        if line.startswith("REC("):
            x, y, w, h, code = line[4:].rstrip(")").split(",")
            boxes.append((int(x), int(y), int(w), int(h), code))
        elif line.startswith("TITLE "):
            head, _, text = line.partition("#")
            x, y = head.split()[1:3]
            texts.append((int(x), int(y), text, lines[i + 1] if i + 1 < len(lines) else ""))
    return boxes, texts


class Layout:
    """An MSK layout under construction, and what the reader will keep of it."""

    def __init__(self):
        self.lines = []
        self.counts = {"boxes": 0, "texts": 0, "marks": 0}
        self.box_read = False
        self.text_positions = set()

    def box(self, x, y, w, h, code):
        self.lines.append(f"REC({x},{y},{w},{h},{code})")
        if code not in LAYER_CODES and code != "CN":
            return
        self.box_read = True
        if w > 0 and h > 0 and all(abs(v) <= LIMIT for v in (x, y, x + w, y + h)):
            self.counts["boxes"] += 1

    def text(self, x, y, name, prop=None):
        self.lines.append(f"TITLE {x} {y}  #{name}")
        self.lines.append(prop if prop is not None else "$- 1000 0 ")
        fits = abs(x) <= LIMIT and abs(y) <= LIMIT
        if self.box_read and name and fits and (x, y) not in self.text_positions:
            self.counts["texts"] += 1
            self.text_positions.add((x, y))

    def mark(self, x, y, value):
        self.lines.append(f"RST {x} {y} #{value}")
        if value and abs(x) <= LIMIT and abs(y) <= LIMIT:
            self.counts["marks"] += 1

    def over_capacity(self):
        """The tables the file overfills."""
        return sorted(k for k, n in self.counts.items() if n > CAPACITY[k])

    def data(self):
        body = ["VERSION 01/01/2024 00:00:00", "FIG #fuzz.msk", "BB(0,0,100,100)"]
        body += self.lines + ["FFIG fuzz.msk"]
        return ("\r\n".join(body) + "\r\n").encode("utf-8", "surrogateescape")


def property_line(rng, letter=None):
    letter = letter or rng.choice(PROPERTY_LETTERS)
    levels = rng.choice([(1000, 0), (0, 1000), (500, 500), (2000, -1000), (2147483647, -2147483648),
                         (rng.randint(-5000, 5000), rng.randint(-5000, 5000))])
    line = f"${letter} {levels[0]} {levels[1]} "
    if letter in TIMED_LETTERS:
        times = rng.choice([[2.0, 2.1, 4.1, 4.2], [0, 0, 0, 0], [5, 1, 3, 2], [-1, -2, 3, 4],
                            [1e6, 1e6, 1e6, 1e6], [0.001, 0.001, 0.001, 0.002],
                            [rng.uniform(-10, 50) for _ in range(4)]])
        line += "".join(f"{t:6.2f} " for t in times)
    return line


def text_name(rng):
    if rng.random() < 0.5:
        return rng.choice(ODD_NAMES)
    return rng.choice(["in", "out", "a", "b", "clk", "q"]) + str(rng.randint(0, 99))


def coordinate_scale(rng):
    """A region of the coordinate space and the size of boxes there."""
    return rng.choice([
        (0, 200, 1, 40),                      # ordinary
        (0, 5, 1, 2),                          # tiny and crowded
        (-LIMIT, LIMIT - 10, 1, 10),           # far apart tiny boxes
        (40000, 90000, 1, 500),                # wholly beyond +32,000
        (-90000, -40000, 1, 500),              # wholly beyond -32,000
        (-LIMIT, -LIMIT + 100, 1, 100),        # at the lower limit
        (LIMIT - 200, LIMIT - 100, 1, 100),    # at the upper limit
        (-1000, 1000, 500, 2 * LIMIT),         # huge boxes
    ])


def add_random_boxes(rng, layout, count):
    lo, hi, smin, smax = coordinate_scale(rng)
    for _ in range(count):
        odd = rng.random() < 0.05
        code = rng.choice(LAYER_CODES + ["CN", "ZZ"] if odd else LAYER_CODES)
        x, y = rng.randint(lo, hi), rng.randint(lo, hi)
        w, h = rng.randint(smin, smax), rng.randint(smin, smax)
        roll = rng.random()
        if roll < 0.05:
            w = rng.choice([0, -1, -5])           # degenerate
        elif roll < 0.08:
            x, y = rng.choice([-LIMIT - 1, LIMIT, LIMIT + 5]), y   # just past the range
        layout.box(x, y, w, h, code)
        if rng.random() < 0.1:
            layout.box(x, y, w, h, code)           # coincident twin


def add_overlapping_cluster(rng, layout):
    """Boxes of one layer all overlapping one another (the arranger's worst case)."""
    code = rng.choice(["ME", "PO", "M2", "DN", "NW"])
    n = rng.randint(10, 60)
    cx, cy = rng.choice([(0, 0), (LIMIT - 2000, LIMIT - 2000), (50000, 50000)])
    for _ in range(n):
        x, y = cx + rng.randint(-50, 50), cy + rng.randint(-50, 50)
        layout.box(x, y, rng.randint(60, 200), rng.randint(60, 200), code)


def add_cells(rng, layout, texts=True):
    """Copies of the example circuits, which give transistors and nodes to extract."""
    name = rng.choice(["inverter.msk", "nand2.msk", "ring5.msk"])
    boxes, cell_texts = read_example_boxes(name)
    copies = rng.choice([1, 1, 1, 2, 5, 20])
    base = rng.choice([(0, 0), (0, 0), (40000, 40000), (-LIMIT + 10, -LIMIT + 10),
                       (LIMIT - 10000, LIMIT - 10000), (-90000, 35000)])
    for c in range(copies):
        dx, dy = base[0] + c * 200, base[1]
        for x, y, w, h, code in boxes:
            layout.box(x + dx, y + dy, w, h, code)
        if texts:
            for x, y, text, prop in cell_texts:
                if rng.random() < 0.2:
                    prop = property_line(rng)
                if rng.random() < 0.1:
                    text = text_name(rng)
                layout.text(x + dx, y + dy, text, prop)


def add_texts(rng, layout, count):
    lo, hi, _, _ = coordinate_scale(rng)
    for _ in range(count):
        layout.text(rng.randint(lo, hi), rng.randint(lo, hi), text_name(rng), property_line(rng))


def add_marks(rng, layout, count):
    lo, hi, _, _ = coordinate_scale(rng)
    for _ in range(count):
        layout.mark(rng.randint(lo, hi), rng.randint(lo, hi), rng.choice(RESISTANCE_VALUES))


def add_long_node(rng, layout):
    """Metal strips across the whole coordinate range, touching: one node
    whose length passes 2^31 lambda."""
    for i in range(rng.randint(2, 4)):
        layout.box(-LIMIT, i * 10, 2 * LIMIT, 10, "ME")


def add_span(rng, layout):
    """Two specks at opposite ends of the coordinate range."""
    layout.box(-LIMIT, -LIMIT, 2, 2, rng.choice(LAYER_CODES))
    layout.box(LIMIT - 2, LIMIT - 2, 2, 2, rng.choice(LAYER_CODES))


def fill_table(rng, layout):
    """A table at or just past its capacity."""
    table = rng.choice(["boxes", "texts", "marks", "devices", "nodes"])
    extra = rng.choice([0, 1, 5])
    if table == "boxes":
        need = CAPACITY["boxes"] + extra - layout.counts["boxes"]
        for i in range(max(0, need)):
            layout.box((i % 400) * 4, (i // 400) * 4, 2, 2, "ME")
        if rng.random() < 0.5:   # texts after the full box table must still be read
            add_texts(rng, layout, 5)
    elif table == "texts":
        layout.box(0, 0, 10, 10, "ME")
        for i in range(CAPACITY["texts"] + extra):
            layout.text(i * 50, 5, f"t{i}", property_line(rng, "-"))
        layout.box(0, 20, 10, 10, "M2")     # a box after the full text table
    elif table == "marks":
        for i in range(CAPACITY["marks"] + extra):
            layout.mark(i * 50, 5, "100")
        layout.box(0, 20, 10, 10, "M2")
    elif table == "devices":
        # A diffusion under a comb of separate poly strips: one transistor each.
        n = 2000 + extra
        code = rng.choice(["DN", "DP"])
        layout.box(0, 0, 6 * n + 6, 20, code)
        if code == "DP":
            layout.box(-10, -10, 6 * n + 26, 40, "NW")
        for i in range(n):
            layout.box(4 + 6 * i, -4, 2, 28, "PO")
    else:
        for i in range(5000 + extra):
            layout.box((i % 200) * 10, (i // 200) * 10, 4, 4, "ME")


INGREDIENTS = [
    (add_random_boxes, 8), (add_overlapping_cluster, 2), (add_cells, 8), (add_texts, 3),
    (add_marks, 2), (add_long_node, 1), (add_span, 1), (fill_table, 1),
]


def generate_layout(rng):
    layout = Layout()
    weights = [w for _, w in INGREDIENTS]
    for _ in range(rng.randint(1, 4)):
        ingredient = rng.choices([f for f, _ in INGREDIENTS], weights)[0]
        if ingredient in (add_random_boxes,):
            ingredient(rng, layout, rng.randint(1, 120))
        elif ingredient in (add_texts, add_marks):
            ingredient(rng, layout, rng.randint(1, 30))
        else:
            ingredient(rng, layout)
    return layout


# ---------------------------------------------------------------- rule files

EXTREME_VALUES = ["0", "-1", "1e300", "-1e300", "1e-300", "1e9", "-1e9", "2147483648", "1e30",
                  "0.000001", "5e-324", "1.7976931348623157e308", "3", "100000"]
RULE_KEYS = ["LAMB", "META", "VDD", "TEMP", "DELT", "R101", "R201", "R301", "R303", "R401",
             "R405", "R501", "CPOO", "CPOB", "CMEB", "CMEL", "CMEX", "CM2X", "CDNP", "CLDN",
             "REPO", "REME", "THME", "HEME", "THM2", "HEM2", "L3VT", "L3KP", "L3GA", "L3PH",
             "L3KA", "L3TH", "L3VM", "L3LD", "L3TO", "VTOR", "BETSQ", "LAP", "WOT", "THE1",
             "THE3", "KOR", "PHIB", "RP01", "RP03"]


def bundled_rules(name):
    with open(os.path.join(source_dir(), "data", name), "rb") as f:
        return f.read()


def mutate_rules(rng, text):
    lines = text.decode("latin-1").splitlines()
    for _ in range(rng.randint(1, 6)):
        roll = rng.random()
        if roll < 0.6:
            key = rng.choice(RULE_KEYS)
            lines.insert(rng.randint(1, len(lines)), f"{key} = {rng.choice(EXTREME_VALUES)}")
        elif roll < 0.8:
            layer = rng.choice(LAYER_NAMES)
            overetch = rng.choice(["0", "1e9", "-1e9", "1e300", "0.5", "-0.5"])
            gds = rng.choice(["0", "49", "255", "300", "-1"])
            lines.append(f"CIF {layer} C{rng.randint(0, 99)} {gds} {overetch}")
        else:
            value_lines = [i for i, l in enumerate(lines) if "=" in l and i > 0]
            if value_lines:
                del lines[rng.choice(value_lines)]   # a missing value
    return ("\n".join(lines) + "\n").encode("latin-1")


def generate_rules(rng):
    text = bundled_rules(rng.choice(["es207.rul", "cmos33-5m.rul"]))
    return mutate_rules(rng, text) if rng.random() < 0.3 else text
