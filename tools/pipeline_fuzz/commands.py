"""The batch commands the fuzzer runs: one entry per command.

An entry names the command and makes its arguments from a random source and
the case's layout. Arguments may hold the placeholders {layout} (the case's
layout file), {rules} (its rule file), {out} (an empty directory for what the
command writes) and {data} (the source tree's data folder); a stored case
keeps them so that it replays anywhere. `outputs` lists the files a run may
write, by placeholder path, for the checks of their contents; `checks` names
the extra checks of checks.py that the command's results go through.

To fuzz a new command, append an entry to COMMANDS: its name, a function
that returns its arguments, and the files it writes."""

from dataclasses import dataclass, field
import re

from . import sources


@dataclass
class Command:
    name: str
    make: object                     # (rng, names) -> list of arguments after the name
    checks: list = field(default_factory=list)
    files: object = None             # (rng) -> {file name: bytes} written beside the layout


def choose(rng, *options):
    return rng.choice(options)


def maybe(rng, probability, *args):
    return list(args) if rng.random() < probability else []


def point(rng):
    return f"{rng.choice([0, 5, 20, -3, 45000, -1000000000, 999999999])}," \
           f"{rng.choice([0, 5, 20, 46, -45000, 1000000000])}"


def node_name(rng, names):
    return rng.choice(names + ["out", "in", "vdd", "nosuch"]) if names else "out"


def number(rng, ordinary, *extremes):
    return str(rng.choice([ordinary] * 4 + list(extremes)))


def info(rng, names):
    return ["{layout}"]


def convert(rng, names):
    return ["{layout}", "{out}/converted." + choose(rng, "msk", "gds", "cif")]


def tech(rng, names):
    return ["{rules}"]


def render(rng, names):
    args = ["{layout}", "-o", "{out}/view.png"]
    args += maybe(rng, 0.3, "--size", choose(rng, "64x48", "1024x768", "1x1", "3000x20"))
    args += maybe(rng, 0.3, "--window", choose(rng, "0,0,100,100", "-1000000000,-1000000000,"
                  "1000000000,1000000000", "5,5,5,5", "100,100,0,0", "999999990,0,1000000000,10"))
    return args + maybe(rng, 0.3, "--mono")


def arrange(rng, names):
    return ["{layout}", "{out}/arranged.msk"]


def drc(rng, names):
    return ["{layout}"] + maybe(rng, 0.5, "--all") + maybe(rng, 0.4, "--png", "{out}/drc.png")


def cif(rng, names):
    return ["{layout}", "-o", "{out}/layout.cif"] + maybe(
        rng, 0.5, "--scale", choose(rng, "1", "1000", "100000", "2147483647", "0", "-5",
                                    "99999999999", "1e300"))


def extract(rng, names):
    args = ["{layout}", "--spice", "{out}/deck.cir", "--model", choose(rng, "1", "3", "9")]
    args += maybe(rng, 0.3, "--length", number(rng, "20", "0.001", "1000000", "0"))
    args += maybe(rng, 0.3, "--lateral") + maybe(rng, 0.3, "--vertical")
    args += maybe(rng, 0.3, "--clean", choose(rng, "purge-merge", "merge", "purge", "fast"))
    return args + maybe(rng, 0.2, "--ignore-short", number(rng, "10", "0", "1000000"))


# Runs of more steps than this are work a user asked for, not a fault (2e6
# steps of 200 Level 9 devices take a minute in a Release build, ten under
# the sanitizers): they are left out, but runs past the simulator's limit of
# 2e9 steps, which must be refused, stay in.
LONGEST_RUN = 2e5
REFUSED_RUN = 2e9


def simulate(rng, names):
    args = ["{layout}", "--model", choose(rng, "1", "3", "9")]
    args += maybe(rng, 0.3, "--mode", choose(rng, "time", "currents", "dc"))
    length = maybe(rng, 0.4, "--length", number(rng, "5", "0.001", "1000", "30000"))
    step = maybe(rng, 0.4, "--step", number(rng, "5", "0.01", "1000", "0.5"))
    # The bundled rule files step by 5 ps.
    steps = float((length or [0, "20"])[1]) * 1000 / float((step or [0, "5"])[1])
    if LONGEST_RUN < steps <= REFUSED_RUN:
        length, step = ["--length", "5"], []
    args += length + step
    args += maybe(rng, 0.3, "--points", number(rng, "100", "1", "100000"))
    for option in ("--start", "--stop", "--watch"):
        args += maybe(rng, 0.3, option, node_name(rng, names))
    args += maybe(rng, 0.3, "--freq") + maybe(rng, 0.3, "--minmax")
    return args + maybe(rng, 0.5, "--csv", "{out}/waves.csv") + maybe(rng, 0.3, "--png",
                                                                       "{out}/waves.png")


def mos(rng, names):
    args = ["--type", choose(rng, "n", "p"), "--level", choose(rng, "1", "3", "9")]
    args += ["--curve", choose(rng, "idvd", "idvg", "logid", "gds")]
    args += maybe(rng, 0.4, "--w", number(rng, "10", "1", "1000000"))
    args += maybe(rng, 0.4, "--l", number(rng, "2", "1", "1000000"))
    args += maybe(rng, 0.2, "--measure", "{data}/measurements/" + choose(rng, "nmos10x2.MES",
                                                                         "pmos20x2.MES"))
    return args + maybe(rng, 0.5, "--csv", "{out}/curves.csv") + maybe(rng, 0.3, "--png",
                                                                       "{out}/curves.png")


def node(rng, names):
    return ["{layout}", "--at", point(rng)]


def crosstalk(rng, names):
    return ["{layout}"] + maybe(rng, 0.4, "--png", "{out}/crosstalk.png")


def stats(rng, names):
    return ["{layout}"]


def section(rng, names):
    args = ["{layout}", "--cut", point(rng) + "," + point(rng)]
    args += maybe(rng, 0.5, "--solve") + maybe(rng, 0.3, "--png", "{out}/section.png")
    return args + maybe(rng, 0.3, "--geo", "{out}/section.geo")


def sweep(rng, names):
    param = choose(rng, "spacing", "voltage", "temperature", "vdd", "capacitance")
    start, stop, step = choose(rng, ("0", "5", "1"), ("1", "1000", "10"), ("-40", "125", "55"),
                               ("1e-15", "1e-13", "10"), ("0", "0", "1"))
    args = ["{layout}", "--param", param, "--from", start, "--to", stop, "--step", step]
    args += ["--measure", choose(rng, "delay", "frequency", "power", "crosstalk", "switching")]
    args += ["--node", node_name(rng, names)] + maybe(rng, 0.3, "--log")
    if param == "spacing":
        args += ["--line", point(rng) + "," + point(rng)]
    return args + maybe(rng, 0.4, "--csv", "{out}/sweep.csv") + maybe(rng, 0.3, "--png",
                                                                      "{out}/sweep.png")


def ucp(rng, names):
    return ["{layout}", "-o", "{out}/layout.ucp"] + maybe(
        rng, 0.3, "--space", number(rng, "10", "0", "1000000")) + maybe(
        rng, 0.3, "--ground", number(rng, "0", "-1000000", "1000000"))


GENERATE_KINDS = {
    "contact": ["kind=" + k for k in ("poly", "diffn", "diffp", "via", "via2")],
    "contacts": ["rows=1", "rows=50", "columns=200", "polarization=none"],
    "ring": ["rows=3", "columns=1"],
    "pad": ["size=100", "size=0.1", "size=100000"],
    "padring": ["padsx=0", "padsx=40", "padsy=100", "ringwidth=1000"],
    "bus": ["layer=metal2", "width=1", "spacing=0", "repeat=500", "length=1000000000"],
    "inductor": ["turns=1", "turns=200", "width=100", "layers=metal,metal3"],
    "mos": ["width=1000", "length=0.1", "gates=100", "type=pmos"],
    "path": ["layer=metal", "width=50", "contacts=3", "ends=on"],
    "logo": ["size=0.5", "size=10000", "layer=metal2"],
}


def generate(rng, names):
    kind = rng.choice(sorted(GENERATE_KINDS))
    args = ["{layout}", "{out}/generated.msk", kind]
    for assignment in rng.sample(GENERATE_KINDS[kind], rng.randint(0, 2)):
        args += ["--set", assignment]
    if kind == "path":
        args += ["--points", ";".join(point(rng) for _ in range(rng.randint(1, 4)))]
    elif kind != "padring":
        args += ["--at", point(rng)]
    if kind == "padring" and rng.random() < 0.5:
        args += ["--set", "padfile={data}/pads/demo.pad"]
    if kind == "logo":
        args += ["--text", rng.choice(["TARNISK", "", "é\u4e2d", "x" * 300])]
    return args


def route(rng, names):
    layers = ["metal", "metal2", "poly", "metal5"]
    return ["{layout}", "{out}/routed.msk", "--from", point(rng) + "," + rng.choice(layers),
            "--to", point(rng) + "," + rng.choice(layers)] + maybe(rng, 0.3, "--jog",
                                                                   choose(rng, "0", "1", "2"))


LABELS = ["all", "cell", "module", "none", "nosuch"]


def compile_equation(rng, names):
    return (["{out}/compiled.msk", sources.equation(rng)] + maybe(rng, 0.4, "--in", "{layout}")
            + maybe(rng, 0.4, "--labels", rng.choice(LABELS)))


def verilog(rng, names):
    args = ["{source}", "{out}/compiled.msk"] + maybe(rng, 0.3, "--in", "{layout}")
    args += maybe(rng, 0.3, "--labels", rng.choice(LABELS))
    args += maybe(rng, 0.3, "--routing", choose(rng, "top", "bottom", "sideways"))
    for option in ("--wn", "--ln", "--wp", "--lp"):
        args += maybe(rng, 0.1, option, number(rng, "4", "0", "-2", "100000", "1e9", "x"))
    return args


def truth(rng, names):
    args = ["{layout}"] + maybe(rng, 0.3, "--analog")
    for option in ("--inputs", "--outputs"):
        if rng.random() < 0.3:
            args += [option, ",".join(node_name(rng, names) for _ in range(rng.randint(1, 12)))]
    return args


COMMANDS = [
    Command("info", info),
    Command("convert", convert, checks=["idempotent"]),
    Command("tech", tech),
    Command("render", render),
    Command("arrange", arrange),
    Command("drc", drc),
    Command("cif", cif),
    Command("extract", extract, checks=["deck"]),
    Command("simulate", simulate),
    Command("mos", mos),
    Command("node", node),
    Command("crosstalk", crosstalk),
    Command("stats", stats),
    Command("section", section),
    Command("sweep", sweep),
    Command("ucp", ucp),
    Command("generate", generate),
    Command("route", route),
    Command("compile", compile_equation),
    Command("verilog", verilog, files=lambda rng: {"source.v": sources.verilog(rng)}),
    Command("truth", truth),
]


def by_name(name):
    for c in COMMANDS:
        if c.name == name:
            return c
    raise KeyError(name)


def layout_names(layout_bytes):
    """The texts of a layout: the node names its commands can refer to."""
    names = re.findall(rb"TITLE [^#\r\n]*#([^\r\n]*)", layout_bytes)
    return sorted({n.decode("utf-8", "replace") for n in names if n})[:50]
