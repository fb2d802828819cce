"""Adversarial inputs of the compilers: boolean equations and gate-level
Verilog modules, most of them valid, the rest broken in the ways a student's
file breaks (unknown gates, missing parts, odd names, loops, sizes)."""

PRIMITIVES = ["and", "nand", "or", "nor", "xor", "xnor", "not", "inv", "buf"]
ODD_NAMES = ["x" * 300, "\u00e9t\u00e9", "module", "input", "a b", "1abc", "_", "\\esc ", "{}",
             "a;b", "vdd", "vss", "Vdd"]


def name(rng, prefix, i):
    return rng.choice(ODD_NAMES) if rng.random() < 0.03 else f"{prefix}{i}"


def operand(rng, names, depth):
    if depth <= 0 or rng.random() < 0.4:
        return rng.choice(names)
    op = rng.choice([".", "+", "*"])
    inner = op.join(operand(rng, names, depth - 1) for _ in range(rng.randint(2, 3)))
    return ("/" if rng.random() < 0.3 else "") + "(" + inner + ")"


def equation(rng):
    """A boolean equation: output, "=", operands joined by . + * under / and
    parentheses; sometimes broken."""
    names = [name(rng, "i", k) for k in range(rng.randint(1, 8))]
    text = name(rng, "y", 0) + "=" + operand(rng, names, rng.randint(0, 4))
    roll = rng.random()
    if roll < 0.05:
        return text + "(" * rng.randint(1, 3)
    if roll < 0.08:
        return "y=" + "(" * 500 + "a" + ")" * 500
    if roll < 0.10:
        return "y=" + ".".join(f"v{k}" for k in range(60))
    if roll < 0.13:
        return rng.choice(["", "=", "y=", "y=a-b", "y=a==b", "=a", "y=//a", "y=\u4e2d"])
    return text


def gate_line(kind, instance, output, inputs):
    return f"{kind} {instance}({', '.join([output] + inputs)});"


def verilog(rng):
    """A module of primitive gates over its inputs and earlier gate outputs."""
    inputs = [name(rng, "a", k) for k in range(rng.randint(1, 8))]
    signals = list(inputs)
    body = []
    for g in range(rng.choice([1, 3, 8, 20, 60]) if rng.random() < 0.97 else 300):
        kind = rng.choice(PRIMITIVES) if rng.random() < 0.95 else rng.choice(["mux", "dff", ""])
        count = 1 if kind in ("not", "inv", "buf") else rng.choice([2, 2, 3, 4, 0, 1, 12])
        out = name(rng, "w", g)
        ins = [rng.choice(signals) for _ in range(count)]
        if rng.random() < 0.03:
            ins.append(out)  # a loop through the gate itself
        body.append(gate_line(kind, name(rng, "g", g), out, ins))
        signals.append(out)
    driven = signals[len(inputs):]
    outputs = sorted(set(rng.sample(driven, min(len(driven), 1 + rng.randint(0, 3)))))
    head = [f"module {name(rng, 'm', 0)}({', '.join(inputs + outputs)});",
            f"input {', '.join(inputs)};", f"output {', '.join(outputs)};"]
    lines = head + body + ["endmodule"]
    roll = rng.random()
    if roll < 0.05:
        lines = lines[:-1]                        # no endmodule
    elif roll < 0.08:
        lines = lines[1:]                         # no module line
    elif roll < 0.11:
        lines.insert(rng.randrange(len(lines)), "/* never closed")
    elif roll < 0.13:
        lines.insert(rng.randrange(len(lines)), "and " + "x" * 20000 + ";")
    elif roll < 0.15:
        lines = ["\x00\xff garbage"]
    elif roll < 0.18:
        lines += lines                            # the module twice
    newline = "\r\n" if rng.random() < 0.2 else "\n"
    return newline.join(lines).encode("utf-8", "surrogateescape") + newline.encode()
