#!/usr/bin/env python3
"""Side-by-side run of our simulator and ngspice on the same extracted circuit.

Usage:
    compare_ngspice.py TARNISK_CLI SOURCE_DIR [--step PS] [--length NS] [--chain]

For the example inverter and ring oscillator at model levels 1, 3 and 9, the
circuit is extracted once into a SPICE deck (tarnisk-cli extract --spice) and
simulated by both sides from the same start (every free node at 0 V: ngspice
runs the transient with UIC) at the same fixed step (default 1 ps) for the same
length (default 10 ns). Printed for each level: the inverter's delays to a
rising and to a falling output (input and output crossing VDD/2, the last of
the run on each side), the ring's frequency (from the last two rising
crossings of its output) and both run times.
With --chain, also the 20 ns transient at 5 ps of 1,000 generated inverters,
to compare run times.

The deck carries the simulator's node capacitances (gate oxide included) and
model cards that give ngspice no gate capacitance of its own, so at Level 1
both sides integrate the same circuit with the same equations. What remains
at Level 3 and Level 9 is explained in README.md beside this script.
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import time

VDD = 5.0
HALF = VDD / 2
LEVELS = (1, 3, 9)


def timed(command, **kw):
    start = time.perf_counter()
    result = subprocess.run(command, capture_output=True, text=True, errors='replace', **kw)
    return result, time.perf_counter() - start


def option(name, default):
    return sys.argv[sys.argv.index(name) + 1] if name in sys.argv else default


def node_numbers(deck_text):
    """Deck node number of each named node, from the deck's comment lines."""
    return {m.group(1): m.group(2)
            for m in re.finditer(r'^\* "(.*)" corresponds to n\D{1,2}(\d+)', deck_text, re.M)}


def write_deck(cli, rules, layout, level, path, probes, step_ps, length_ns):
    """Extracts the layout into a deck that prints the probed nodes at every
    step; returns the deck number of each probe."""
    out, _ = timed([cli, 'extract', layout, '--rules', rules, '--quiet', '--model', str(level),
                    '--length', str(length_ns), '--spice', path])
    if out.returncode != 0:
        sys.exit('extraction failed: ' + out.stdout + out.stderr)
    with open(path, encoding='latin-1') as f:
        text = f.read()
    nodes = node_numbers(text)
    numbers = [nodes[p] for p in probes]
    tran = '.TRAN %gPS %gNS 0 %gPS UIC' % (step_ps, length_ns, step_ps)
    body = re.sub(r'^\.TRAN .*$', tran, text, flags=re.M)
    body = re.sub(r'^\.PRINT .*$', '.PRINT TRAN ' + ' '.join('V(%s)' % n for n in numbers),
                  body, flags=re.M)
    body = body.replace('.OPTIONS RSHUNT=1E12', '.OPTIONS RSHUNT=1E12 NOPAGE WIDTH=200')
    with open(path, 'w', encoding='latin-1') as f:
        f.write(body)
    return numbers


def ngspice(path, count):
    """The printed waveforms: a list of (time, [values]) rows, and the run time."""
    out, seconds = timed(['ngspice', '-b', path])
    rows = []
    for line in out.stdout.splitlines():
        fields = line.split()
        if len(fields) == count + 2 and fields[0].isdigit():
            try:
                rows.append((float(fields[1]), [float(v) for v in fields[2:]]))
            except ValueError:
                pass
    if not rows:
        sys.exit('ngspice printed no waveform: ' + out.stdout[-2000:] + out.stderr[-2000:])
    return rows, seconds


def crossings(rows, column, rising):
    """Interpolated times at which a column crosses VDD/2 in one direction."""
    found = []
    for (t0, a), (t1, b) in zip(rows, rows[1:]):
        v0, v1 = a[column], b[column]
        if (rising and v0 <= HALF < v1) or (not rising and v0 > HALF >= v1):
            found.append(t0 + (t1 - t0) * (HALF - v0) / (v1 - v0))
    return found


def last_delay(rows, input_rising, output_rising):
    """The last delay from an input crossing to the next output crossing."""
    starts = crossings(rows, 0, input_rising)
    ends = crossings(rows, 1, output_rising)
    delays = [min((e for e in ends if e > s), default=s) - s for s in starts]
    delays = [d for d in delays if d > 0]
    return delays[-1] if delays else 0


def ours(cli, rules, layout, level, step_ps, length_ns, *extra):
    out, seconds = timed([cli, 'simulate', layout, '--rules', rules, '--quiet', '--json',
                          '--model', str(level), '--step', str(step_ps),
                          '--length', str(length_ns)] + list(extra))
    if out.returncode != 0:
        sys.exit('simulation failed: ' + out.stdout + out.stderr)
    return json.loads(out.stdout), seconds


def ratio(a, b):
    return '%.3f' % (a / b) if a and b else '-'


def inverter(cli, rules, src, level, tmp, step_ps, length_ns):
    layout = os.path.join(src, 'data/examples/inverter.msk')
    deck = os.path.join(tmp, 'inv%d.cir' % level)
    write_deck(cli, rules, layout, level, deck, ['in', 'out'], step_ps, length_ns)
    rows, spice_s = ngspice(deck, 2)
    rise = last_delay(rows, False, True)
    fall = last_delay(rows, True, False)
    mine, mine_s = ours(cli, rules, layout, level, step_ps, length_ns, '--start', 'in',
                        '--stop', 'out')
    print('inverter L%d  rise ours %6.1f ps  ngspice %6.1f ps  ratio %s' % (
        level, mine['delay_rise_s'] * 1e12, rise * 1e12, ratio(mine['delay_rise_s'], rise)))
    print('             fall ours %6.1f ps  ngspice %6.1f ps  ratio %s' % (
        mine['delay_fall_s'] * 1e12, fall * 1e12, ratio(mine['delay_fall_s'], fall)))
    print('             run time ours %.3f s  ngspice %.3f s' % (mine_s, spice_s))


def ring(cli, rules, src, level, tmp, step_ps, length_ns):
    layout = os.path.join(src, 'data/examples/ring5.msk')
    deck = os.path.join(tmp, 'ring%d.cir' % level)
    write_deck(cli, rules, layout, level, deck, ['out'], step_ps, length_ns)
    rows, spice_s = ngspice(deck, 1)
    rises = crossings(rows, 0, True)
    spice_f = 1 / (rises[-1] - rises[-2]) if len(rises) >= 2 else 0
    mine, mine_s = ours(cli, rules, layout, level, step_ps, length_ns, '--watch', 'out', '--freq')
    print('ring5    L%d  frequency ours %7.1f MHz  ngspice %7.1f MHz  ratio %s' % (
        level, mine['frequency_hz'] * 1e-6, spice_f * 1e-6, ratio(mine['frequency_hz'], spice_f)))
    print('             run time ours %.3f s  ngspice %.3f s' % (mine_s, spice_s))


def chain(cli, rules, src, tmp):
    layout = os.path.join(tmp, 'chain.msk')
    subprocess.run([sys.executable, os.path.join(src, 'tools/gen_inverter_array.py'), '--texts',
                    '--columns', '250', '--inverters', '1000', layout], check=True,
                   capture_output=True)
    deck = os.path.join(tmp, 'chain.cir')
    write_deck(cli, rules, layout, 3, deck, ['out0'], 5, 20)
    _, spice_s = ngspice(deck, 1)
    _, mine_s = ours(cli, rules, layout, 3, 5, 20)
    print('chain of 1000 inverters, 20 ns at 5 ps, Level 3 (times include extraction on our side)')
    print('             run time ours %.3f s  ngspice %.3f s  ngspice/ours %s' % (
        mine_s, spice_s, ratio(spice_s, mine_s)))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    cli, src = sys.argv[1], sys.argv[2]
    step_ps = float(option('--step', '1'))
    length_ns = float(option('--length', '10'))
    rules = os.path.join(src, 'data/es207.rul')
    print('step %g ps, %g ns' % (step_ps, length_ns))
    with tempfile.TemporaryDirectory() as tmp:
        for level in LEVELS:
            inverter(cli, rules, src, level, tmp, step_ps, length_ns)
            ring(cli, rules, src, level, tmp, step_ps, length_ns)
        if '--chain' in sys.argv:
            chain(cli, rules, src, tmp)


if __name__ == '__main__':
    main()
