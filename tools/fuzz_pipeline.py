#!/usr/bin/env python3
"""The pipeline fuzzer: seeded adversarial layouts and rule files through every
batch command, with what went wrong sorted into classes.

  fuzz_pipeline.py run TOOL [--seconds N] [--seed S] [--findings DIR] [--timeout S]
      Generates cases until N seconds have passed (one command each, the
      commands in turn), prints the runs per command and the findings per
      class, and saves one case per new finding in DIR. Exit 1 on a finding
      of a class not named by --known (classes still open, reported all the
      same).
  fuzz_pipeline.py replay TOOL CORPUS [--timeout S]
      Runs every stored case of CORPUS (tests/corpus/pipeline) again; exit 1
      when any still finds something.

TOOL is a built tarnisk-cli, best the sanitizer build. A stored case is a
folder with case.json (the command and its arguments, what was found), the
layout, the rule file and any other input of the command (a Verilog source)."""

import argparse
import collections
import hashlib
import json
import os
import random
import re
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pipeline_fuzz import checks, commands, layouts  # noqa: E402


def new_case(rng, command):
    layout = layouts.generate_layout(rng)
    data = layout.data()
    args = command.make(rng, commands.layout_names(data))
    args += ["--rules", "{rules}"] + (["--json"] if rng.random() < 0.8 else [])
    args += ["--quiet"] if rng.random() < 0.5 else []
    files = {"layout.msk": data, "rules.rul": layouts.generate_rules(rng)}
    files.update(command.files(rng) if command.files else {})
    return {"command": command.name, "args": args, "files": files,
            "expect": {"over_capacity": layout.over_capacity()}}


def save_case(case, findings, folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in case["files"].items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    record = {"command": case["command"], "args": case["args"], "expect": case["expect"],
              "found": [{"class": c, "detail": d} for c, d in findings]}
    with open(os.path.join(folder, "case.json"), "w", encoding="utf-8") as f:
        json.dump(record, f, indent=1, ensure_ascii=False)
        f.write("\n")


def load_case(folder):
    with open(os.path.join(folder, "case.json"), encoding="utf-8") as f:
        record = json.load(f)
    files = {}
    for name in sorted(os.listdir(folder)):
        if name != "case.json":
            with open(os.path.join(folder, name), "rb") as f:
                files[name] = f.read()
    return {"command": record["command"], "args": record["args"], "files": files,
            "expect": record.get("expect", {})}


def signature(command, kind, detail):
    """Findings that differ only in numbers are one finding."""
    return f"{command}/{kind}/{re.sub(r'[0-9]+', 'N', detail)[:80]}"


def run_one(tool, case, timeout, data):
    case["data"] = data
    with tempfile.TemporaryDirectory(prefix="tarnisk-fuzz-") as work:
        return checks.run_case(tool, commands.by_name(case["command"]), case, work, timeout)


def fuzz(args):
    rng = random.Random(args.seed)
    runs = collections.Counter()
    found = collections.Counter()
    per_command = collections.defaultdict(collections.Counter)
    seen = set()
    deadline = time.monotonic() + args.seconds
    n = 0
    while time.monotonic() < deadline:
        command = commands.COMMANDS[n % len(commands.COMMANDS)]
        n += 1
        case = new_case(random.Random(rng.getrandbits(64)), command)
        run, findings = run_one(args.tool, case, args.timeout, args.data)
        runs[command.name] += 1
        for kind, detail in findings:
            found[kind] += 1
            per_command[command.name][kind] += 1
            key = signature(command.name, kind, detail)
            if key in seen:
                continue
            seen.add(key)
            print(f"{command.name}: {kind}: {detail}", flush=True)
            if args.findings:
                digest = hashlib.sha1(key.encode()).hexdigest()[:10]
                save_case(case, findings, os.path.join(args.findings,
                                                       f"{command.name}-{kind}-{digest}"))
    print(f"\n{n} cases in {args.seconds} s (seed {args.seed})")
    for c in commands.COMMANDS:
        classes = ", ".join(f"{k} {v}" for k, v in sorted(per_command[c.name].items()))
        print(f"  {c.name:10} {runs[c.name]:5} runs  {classes or 'nothing found'}")
    for kind in checks.CLASSES:
        print(f"  {kind:24} {found[kind]}")
    return 1 if set(found) - set(args.known) else 0


def replay(args):
    failures = 0
    folders = sorted(os.path.join(args.corpus, d) for d in os.listdir(args.corpus)
                     if os.path.isfile(os.path.join(args.corpus, d, "case.json")))
    for folder in folders:
        run, findings = run_one(args.tool, load_case(folder), args.timeout, args.data)
        for kind, detail in findings:
            failures += 1
            print(f"{os.path.basename(folder)}: {kind}: {detail}")
    print(f"{len(folders)} cases replayed, {failures} findings")
    return 1 if failures or not folders else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="mode", required=True)
    run = sub.add_parser("run")
    run.add_argument("tool")
    run.add_argument("--seconds", type=float, default=60)
    run.add_argument("--seed", type=int, default=1)
    run.add_argument("--findings", help="folder for one case per new finding")
    run.add_argument("--known", action="append", default=[], choices=checks.CLASSES,
                     help="a class still open: reported, but no reason to exit 1")
    again = sub.add_parser("replay")
    again.add_argument("tool")
    again.add_argument("corpus")
    for p in (run, again):
        p.add_argument("--timeout", type=float, default=60, help="seconds per command")
        p.add_argument("--data", default=os.path.join(layouts.source_dir(), "data"))
    args = parser.parse_args()
    args.tool = os.path.abspath(args.tool)
    return fuzz(args) if args.mode == "run" else replay(args)


if __name__ == "__main__":
    sys.exit(main())
