"""Runs one case and sorts what went wrong into classes.

A case is one command line on one layout and rule file. Its run is checked
for: a crash, a sanitizer report, a timeout, standard output that is not one
JSON object (with --json), a non-finite number in that JSON (written as null
where no null belongs) or in a written file, exit 0 although a table filled
or a run halted, a deck that ngspice rejects, a conversion that is not
idempotent, and an output file that is truncated, unreadable or left as a
temporary file."""

import csv
import json
import math
import os
import re
import shutil
import subprocess
import time

CLASSES = ["crash", "sanitizer", "timeout", "invalid_json", "nonfinite", "exit0_incomplete",
           "deck_rejected", "deck_not_converging", "convert_not_idempotent", "bad_output"]

# JSON keys whose value may be null by contract (nothing to report).
NULLABLE = {"first", "switching_threshold", "start_node", "stop_node", "node", "capacitance",
            "extent_added", "measure", "error", "to_um"}
SANITIZER = re.compile(rb"ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|"
                       rb"SUMMARY: UndefinedBehaviorSanitizer")
# What a run that left something out or stopped says about it.
INCOMPLETE = re.compile(r"table full|\bhalt\b|left out|not read|stopped", re.I)
NONFINITE_TEXT = re.compile(r"(?<![A-Za-z0-9_])[-+]?(nan|inf)(inity|f*)?(?![A-Za-z0-9_(])", re.I)
PNG_HEAD, PNG_TAIL = b"\x89PNG\r\n\x1a\n", b"IEND\xaeB`\x82"


# Leaks of the libraries below us that LeakSanitizer is told to ignore.
LSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                 "lsan.supp")


def environment():
    env = dict(os.environ)
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1")
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    env.setdefault("LSAN_OPTIONS", "suppressions=" + LSAN_SUPPRESSIONS)
    env["QT_QPA_PLATFORM"] = "offscreen"
    return env


class Invocation:
    def __init__(self, args, cwd, timeout):
        start = time.monotonic()
        self.args = args
        self.timed_out = False
        try:
            p = subprocess.run(args, cwd=cwd, capture_output=True, timeout=timeout,
                               env=environment())
            self.rc, self.out, self.err = p.returncode, p.stdout, p.stderr
        except subprocess.TimeoutExpired as e:
            self.timed_out = True
            self.rc, self.out, self.err = None, e.stdout or b"", e.stderr or b""
        self.seconds = time.monotonic() - start


def substitute(args, paths):
    """The arguments with the placeholders filled in; other braces (a node
    named "{}") stay as they are."""
    def filled(arg):
        for key, value in paths.items():
            arg = arg.replace("{" + key + "}", value)
        return arg
    return [filled(a) for a in args]


def nulls(value, key=None):
    """The keys of nulls that no contract allows."""
    if value is None:
        return [] if key in NULLABLE else [key]
    if isinstance(value, dict):
        return [k for item_key, item in value.items() for k in nulls(item, item_key)]
    if isinstance(value, list):
        return [k for item in value for k in nulls(item, key)]
    return []


def reject_constant(name):
    raise ValueError("non-finite " + name)


def check_json(run, findings):
    text = run.out.decode("utf-8", "replace").strip()
    if run.rc == 2 and not text:
        return None
    try:
        value = json.loads(text, parse_constant=reject_constant)
    except ValueError as e:
        kind = "nonfinite" if "non-finite" in str(e) else "invalid_json"
        findings.append((kind, f"{e}: {text[:200]!r}"))
        return None
    if not isinstance(value, dict):
        findings.append(("invalid_json", f"not an object: {text[:200]!r}"))
        return None
    bad = nulls(value)
    if bad:
        findings.append(("nonfinite", "null at " + ", ".join(sorted(set(map(str, bad))))))
    return value


def check_process(run, findings):
    if run.timed_out:
        findings.append(("timeout", f"after {run.seconds:.0f} s"))
        return False
    match = SANITIZER.search(run.err)
    if match:
        start = max(0, match.start() - 200)
        findings.append(("sanitizer", run.err[start:match.start() + 300].decode("utf-8",
                                                                               "replace")))
        return False
    if run.rc not in (0, 1, 2):
        findings.append(("crash", f"exit status {run.rc}: {run.err[-300:]!r}"))
        return False
    return True


def check_incomplete(case, command, run, value, findings):
    if run.rc != 0:
        return
    if "{layout}" in case["args"] and case["expect"].get("over_capacity"):
        findings.append(("exit0_incomplete", "tables past capacity: " +
                         ", ".join(case["expect"]["over_capacity"])))
        return
    said = run.out.decode("utf-8", "replace") + run.err.decode("utf-8", "replace")
    if value is not None and command.name != "convert":
        said += " ".join(map(str, value.get("warnings", [])))
    match = INCOMPLETE.search(said)
    if match:
        line = said[max(0, said.rfind("\n", 0, match.start()) + 1):][:200]
        findings.append(("exit0_incomplete", line))


def check_png(path, findings):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(PNG_HEAD) or not data.endswith(PNG_TAIL):
        findings.append(("bad_output", f"{os.path.basename(path)}: not a whole PNG"))


def check_csv(path, findings):
    with open(path, encoding="utf-8", errors="replace", newline="") as f:
        rows = list(csv.reader(f))
    if not rows:
        findings.append(("bad_output", f"{os.path.basename(path)}: empty"))
        return
    columns = len(rows[0])
    for row in rows[1:]:
        if len(row) != columns:
            findings.append(("bad_output", f"{os.path.basename(path)}: {len(row)} fields under "
                             f"a header of {columns}"))
            return
        for cell in row:
            try:
                if not math.isfinite(float(cell)):
                    raise ValueError
            except ValueError:
                findings.append(("nonfinite", f"{os.path.basename(path)}: {cell!r}"))
                return


def check_text_numbers(path, findings):
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            if line.startswith(("*", "TITLE", "RST", "FIG", "FFIG", "94 ", "(")):
                continue   # comments and texts may say anything
            if line.startswith("Ncou = INF"):
                continue   # the GEO file's keyword for the far boundary
            if NONFINITE_TEXT.search(line):
                findings.append(("nonfinite", f"{os.path.basename(path)}:{number}: "
                                 f"{line.strip()[:120]}"))
                return


def check_layout_file(tool, path, paths, timeout, findings):
    """A layout we wrote must read back."""
    run = Invocation([tool, "info", path, "--rules", paths["rules"], "--quiet"], paths["out"],
                     timeout)
    if check_process(run, findings) and run.rc == 2:
        findings.append(("bad_output", f"{os.path.basename(path)} does not read back: "
                         f"{run.err.decode('utf-8', 'replace').strip()[:200]}"))


def check_outputs(tool, paths, timeout, findings):
    for name in sorted(os.listdir(paths["out"])):
        path = os.path.join(paths["out"], name)
        if name.startswith("."):
            findings.append(("bad_output", f"temporary file {name} left behind"))
            continue
        if os.path.getsize(path) == 0:
            findings.append(("bad_output", f"{name}: empty"))
            continue
        ext = os.path.splitext(name)[1].lower()
        if ext == ".png":
            check_png(path, findings)
        elif ext == ".csv":
            check_csv(path, findings)
        elif ext in (".msk", ".gds", ".cif"):
            check_layout_file(tool, path, paths, timeout, findings)
        if ext in (".cir", ".geo", ".ucp", ".msk", ".cif"):
            check_text_numbers(path, findings)


# ------------------------------------------------------------ extra checks

NGSPICE_ERROR = re.compile(r"^(.*error.*|.*Unknown.*node.*|.*Timestep too small.*|"
                           r".*doAnalyses.*|.*singular matrix.*)$", re.I | re.M)
# A deck that ngspice refuses, or whose operating point fails, says so within
# seconds; a transient still running after this is left to run no longer
# (sources of megavolts take ngspice minutes of tiny steps).
NGSPICE_SECONDS = 20
# ngspice read the deck but its transient did not converge.
NGSPICE_CONVERGENCE = re.compile(r"timestep too small", re.I)


def check_deck(tool, paths, timeout, findings):
    deck = os.path.join(paths["out"], "deck.cir")
    if not os.path.exists(deck) or not shutil.which("ngspice"):
        return
    try:
        p = subprocess.run(["ngspice", "-b", deck], cwd=paths["out"], capture_output=True,
                           timeout=min(timeout, NGSPICE_SECONDS))
    except subprocess.TimeoutExpired:
        return   # a long transient is no fault of the deck
    said = (p.stdout + p.stderr).decode("utf-8", "replace")
    match = NGSPICE_ERROR.search(said)
    if p.returncode != 0 or match:
        kind = "deck_not_converging" if NGSPICE_CONVERGENCE.search(said) else "deck_rejected"
        findings.append((kind, (match.group(0) if match else
                                f"ngspice exit {p.returncode}").strip()[:200]))


def layout_body(path):
    """The records of a written layout, without its date and file name, in
    sorted order (a conversion may order the boxes differently); a text
    keeps its property line."""
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    records = []
    for line in lines:
        if line.startswith((b"VERSION", b"FIG", b"FFIG")):
            continue
        if line.startswith(b"$") and records:
            records[-1] += b"\n" + line
        else:
            records.append(line)
    return sorted(records)


def check_idempotent(tool, paths, timeout, findings):
    """A converted layout converts to itself: msk to msk again, and a layout
    taken through GDSII or CIF and back survives a second round trip."""
    out = paths["out"]
    first = [n for n in os.listdir(out) if n.startswith("converted.")]
    if not first:
        return
    source = os.path.join(out, first[0])
    ext = os.path.splitext(source)[1]
    steps = [(source, "back1.msk")] if ext == ".msk" else [
        (source, "back1.msk"), ("back1.msk", "again" + ext), ("again" + ext, "back2.msk")]
    for src, dst in steps:
        run = Invocation([tool, "convert", os.path.join(out, src), os.path.join(out, dst),
                          "--rules", paths["rules"], "--quiet"], out, timeout)
        if not check_process(run, findings) or run.rc == 2:
            if run.rc == 2:
                findings.append(("convert_not_idempotent", f"{src} does not convert: "
                                 f"{run.err.decode('utf-8', 'replace').strip()[:200]}"))
            return
    a = layout_body(source if ext == ".msk" else os.path.join(out, "back1.msk"))
    b = layout_body(os.path.join(out, "back1.msk" if ext == ".msk" else "back2.msk"))
    if a != b:
        diff = next((f"{x!r} became {y!r}" for x, y in zip(a, b) if x != y),
                    f"{len(a)} lines became {len(b)}")
        findings.append(("convert_not_idempotent", diff[:200]))


EXTRA_CHECKS = {"deck": check_deck, "idempotent": check_idempotent}


def run_case(tool, command, case, workdir, timeout):
    """Runs the case in `workdir`; returns its run and the findings, each a
    (class, detail) pair."""
    paths = {"layout": os.path.join(workdir, "layout.msk"),
             "rules": os.path.join(workdir, "rules.rul"),
             "source": os.path.join(workdir, "source.v"),
             "out": os.path.join(workdir, "out"), "data": case["data"]}
    os.makedirs(paths["out"], exist_ok=True)
    for name, data in case["files"].items():
        with open(os.path.join(workdir, name), "wb") as f:
            f.write(data)
    run = Invocation([tool, command.name] + substitute(case["args"], paths), paths["out"],
                     timeout)
    findings = []
    if not check_process(run, findings):
        return run, findings
    value = check_json(run, findings) if "--json" in case["args"] else None
    check_incomplete(case, command, run, value, findings)
    check_outputs(tool, paths, timeout, findings)
    for name in command.checks:
        EXTRA_CHECKS[name](tool, paths, timeout, findings)
    return run, findings
