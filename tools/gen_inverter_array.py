#!/usr/bin/env python3
"""Write a large, rule-clean MSK layout made of an array of CMOS inverters.

Usage:
    gen_inverter_array.py [--inverters N | --boxes N] [--columns C]
                          [--no-chain] [--texts] OUTPUT.msk

The cell is the inverter of data/examples/inverter.msk (24 x 44 lambda,
Vss rail at the bottom, Vdd rail at the top, pMOS in an nwell, one substrate
and one well tie per rail).  Rows alternate between normal and mirrored
orientation so that neighbouring rows share their Vdd or Vss rail and their
nwell; rails, nwells and ties are drawn once for each shared rail.  By default
the inverters of a row form a chain (each output drives the next input).

The layout is clean for the lambda rules of data/es207.rul and
data/cmos33-5m.rul.  The box count never exceeds 80000 (the capacity of the
layout's box table) and the text count never exceeds 1000.
"""

import argparse
import datetime
import math
import sys

MAX_BOXES = 80000
MAX_TEXTS = 1000

CELL_W = 24          # horizontal cell pitch (lambda)
ROW_H = 44           # vertical row pitch (lambda)
MIRROR_Y = 94        # a mirrored row maps y to MIRROR_Y - y (shares the Vdd rail at 44..50)

# Transistors, gate, input and straps of one inverter, in cell coordinates
# (x1, y1, x2, y2, layer code).  Rails, nwell and ties are drawn per row.
CELL = [
    (7, 10, 19, 16, 'DN'), (8, 12, 10, 14, 'CO'), (16, 12, 18, 14, 'CO'),
    (7, 28, 19, 40, 'DP'),
    (8, 30, 10, 32, 'CO'), (8, 35, 10, 37, 'CO'), (16, 30, 18, 32, 'CO'), (16, 35, 18, 37, 'CO'),
    (12, 8, 14, 42, 'PO'), (0, 19, 14, 23, 'PO'), (1, 20, 3, 22, 'CO'), (0, 19, 4, 23, 'ME'),
    (7, 0, 11, 15, 'ME'), (7, 29, 11, 50, 'ME'), (15, 11, 19, 38, 'ME'),
]
BRIDGE = (19, 19, 24, 23, 'ME')      # output of one cell to the input pad of the next
VSS_RAIL = (0, 6)                    # y range of the Vss rail in cell coordinates
VDD_RAIL = (44, 50)
NWELL = (22, 54)                     # y range of the nwell of one unmirrored row
NWELL_MARGIN = 3                     # nwell reach beyond the first and last cell
SUB_TIE = [(1, 1, 5, 5, 'DP'), (2, 2, 4, 4, 'CO')]        # under the Vss rail
WELL_TIE = [(1, 45, 5, 49, 'DN'), (2, 46, 4, 48, 'CO')]   # under the Vdd rail

IN_TEXT = (6, 20)        # on the input poly, outside metal and nwell
OUT_TEXT = (17, 18)      # on the output metal, outside the nwell
RAIL_TEXT_X = 20         # between two ties on a rail
CLOCK_LINE = '$c 1000 0 ' + ''.join('%6.2f ' % t for t in (2.0, 2.1, 4.1, 4.2))


def row_base(r):
    """Offset and orientation of row r: even rows upright, odd rows mirrored."""
    return (r // 2) * 2 * ROW_H, r % 2 == 1


def place(box, dx, base, mirrored):
    x1, y1, x2, y2, layer = box
    if mirrored:
        y1, y2 = MIRROR_Y - y2, MIRROR_Y - y1
    return (x1 + dx, y1 + base, x2 + dx, y2 + base, layer)


def place_point(x, y, dx, base, mirrored):
    return x + dx, (MIRROR_Y - y if mirrored else y) + base


def rail_count(rows):
    return rows + 1


def nwell_count(rows):
    return (rows + 1) // 2


def box_count(n, columns, chain):
    """Number of boxes written for n inverters laid out in the given columns."""
    if n <= 0:
        return 0
    columns = min(columns, n)
    rows = math.ceil(n / columns)
    count = n * len(CELL)
    if chain:
        full, rest = divmod(n, columns)
        count += full * (columns - 1) + max(rest - 1, 0)
    rails = rail_count(rows)
    count += rails + nwell_count(rows)
    count += rails * columns * 2          # one tie (diffusion and contact) per column and rail
    return count


def default_columns(n):
    # roughly square extent: cells are 24 wide and 44 high
    return max(1, round(math.sqrt(n * ROW_H / CELL_W)))


def largest_fitting(limit, columns_arg, chain):
    """Largest inverter count whose box count stays within limit."""
    lo, hi = 0, limit
    while lo < hi:
        mid = (lo + hi + 1) // 2
        cols = columns_arg or default_columns(mid)
        if box_count(mid, cols, chain) <= limit:
            lo = mid
        else:
            hi = mid - 1
    return lo


def build(n, columns, chain, with_texts):
    columns = min(columns, n)
    rows = math.ceil(n / columns)
    width = columns * CELL_W
    boxes = []
    texts = []

    # rails and ties: rail k (k = 0 .. rows) lies at the bottom of row k
    # (or at the top of the last row); even k are Vss rails, odd k Vdd rails
    for k in range(rows + 1):
        if k < rows:
            base, mirrored = row_base(k)
            rail = VSS_RAIL if not mirrored else VDD_RAIL
            ties = SUB_TIE if not mirrored else WELL_TIE
        else:
            base, mirrored = row_base(k - 1)
            rail = VDD_RAIL if not mirrored else VSS_RAIL
            ties = WELL_TIE if not mirrored else SUB_TIE
        boxes.append(place((0, rail[0], width, rail[1], 'ME'), 0, base, mirrored))
        for c in range(columns):
            for t in ties:
                boxes.append(place(t, c * CELL_W, base, mirrored))
        if with_texts:
            is_vdd = ties is WELL_TIE
            x, y = place_point(RAIL_TEXT_X, (rail[0] + 2), 0, base, mirrored)
            texts.append((x, y, 'Vdd' if is_vdd else 'Vss', '$1 1000 0 ' if is_vdd else '$0 1000 0 '))

    # one nwell per Vdd rail, shared by the rows on both sides
    for r in range(0, rows, 2):
        base, _ = row_base(r)
        top = NWELL[1] if r + 1 >= rows else MIRROR_Y - NWELL[0]
        boxes.append((-NWELL_MARGIN, base + NWELL[0], width + NWELL_MARGIN, base + top, 'NW'))

    # the inverters
    in_texts, out_texts = [], []
    for i in range(n):
        r, c = divmod(i, columns)
        base, mirrored = row_base(r)
        dx = c * CELL_W
        for b in CELL:
            boxes.append(place(b, dx, base, mirrored))
        last_in_row = c == columns - 1 or i == n - 1
        if chain and not last_in_row:
            boxes.append(place(BRIDGE, dx, base, mirrored))
        if with_texts and c == 0:
            x, y = place_point(IN_TEXT[0], IN_TEXT[1], dx, base, mirrored)
            in_texts.append((x, y, 'in%d' % r, CLOCK_LINE))
        # the visible output is the end of the row's chain, or the first cell when unchained
        if with_texts and ((chain and last_in_row) or (not chain and c == 0)):
            x, y = place_point(OUT_TEXT[0], OUT_TEXT[1], dx, base, mirrored)
            out_texts.append((x, y, 'out%d' % r, '$v 1000 0 '))

    texts = (texts + in_texts + out_texts)[:MAX_TEXTS]
    return boxes, texts


def extent(boxes, texts):
    x1 = min(b[0] for b in boxes)
    y1 = min(b[1] for b in boxes)
    x2 = max(b[2] for b in boxes)
    y2 = max(b[3] for b in boxes)
    for x, y, _, _ in texts:
        x1, y1 = min(x1, x), min(y1, y)
        x2, y2 = max(x2, x + 40), max(y2, y + 10)
    return x1, y1, x2, y2


def write_msk(path, boxes, texts):
    now = datetime.datetime.now()
    lines = ['VERSION %s %s' % (now.strftime('%d/%m/%Y'), now.strftime('%H:%M:%S')),
             'FIG #' + path,
             'BB(%d,%d,%d,%d)' % extent(boxes, texts)]
    for x1, y1, x2, y2, layer in boxes:
        lines.append('REC(%d,%d,%d,%d,%s)' % (x1, y1, x2 - x1, y2 - y1, layer))
    for x, y, text, prop in texts:
        lines.append('TITLE %d %d  #%s' % (x, y, text))
        lines.append(prop)
    lines.append('FFIG ' + path)
    with open(path, 'wb') as f:
        f.write(('\r\n'.join(lines) + '\r\n').encode('ascii'))


def main(argv=None):
    p = argparse.ArgumentParser(
        description='Write a rule-clean MSK layout holding an array of CMOS inverters.')
    size = p.add_mutually_exclusive_group()
    size.add_argument('--inverters', type=int, metavar='N',
                      help='number of inverters (reduced when it would exceed %d boxes)' % MAX_BOXES)
    size.add_argument('--boxes', type=int, metavar='N',
                      help='target box count: as many inverters as fit in N boxes '
                           '(at most %d)' % MAX_BOXES)
    p.add_argument('--columns', type=int, metavar='C',
                   help='inverters per row (default: a roughly square array)')
    p.add_argument('--no-chain', action='store_true',
                   help='leave the inverters unconnected instead of chaining each row')
    p.add_argument('--texts', action='store_true',
                   help='label every rail Vdd/Vss, put a clock on the first input and a '
                        'visible text on the last output of each row (at most %d texts)' % MAX_TEXTS)
    p.add_argument('output', help='MSK file to write')
    a = p.parse_args(argv)

    chain = not a.no_chain
    if a.columns is not None and a.columns < 1:
        p.error('--columns must be at least 1')
    if a.boxes is not None:
        if a.boxes < 1:
            p.error('--boxes must be at least 1')
        n = largest_fitting(min(a.boxes, MAX_BOXES), a.columns, chain)
        if n == 0:
            p.error('%d boxes are not enough for one inverter' % a.boxes)
    else:
        n = a.inverters if a.inverters is not None else 100
        if n < 1:
            p.error('--inverters must be at least 1')
        columns = a.columns or default_columns(n)
        if box_count(n, columns, chain) > MAX_BOXES:
            fit = largest_fitting(MAX_BOXES, a.columns, chain)
            print('gen_inverter_array: %d inverters exceed %d boxes; writing %d'
                  % (n, MAX_BOXES, fit), file=sys.stderr)
            n = fit
    columns = a.columns or default_columns(n)

    boxes, texts = build(n, columns, chain, a.texts)
    assert len(boxes) == box_count(n, columns, chain) <= MAX_BOXES
    write_msk(a.output, boxes, texts)
    rows = math.ceil(n / min(columns, n))
    print('%s: %d inverters in %d rows x %d columns, %d boxes, %d texts, BB(%d,%d,%d,%d)'
          % ((a.output, n, rows, min(columns, n), len(boxes), len(texts)) + extent(boxes, texts)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
