# Runs inside KLayout (klayout -b -rd files=LIST -rd out=OUT.json -r THIS):
# reads every CIF file named in LIST (one path a line) and writes what KLayout
# found, in microns: the cell names, each layer's shapes as bounding box and
# point count, and the texts.

import json

import pya

result = {}
for path in open(files).read().split("\n"):  # noqa: F821 (set by -rd)
    if not path:
        continue
    layout = pya.Layout()
    try:
        layout.read(path)
    except Exception as error:  # a file KLayout refuses is reported, not fatal
        result[path] = {"error": str(error)}
        continue
    dbu = layout.dbu
    cells = [cell.name for cell in layout.each_cell()]
    layers, labels = {}, []
    for index in layout.layer_indexes():
        name = layout.get_info(index).name
        for cell in layout.each_cell():
            for shape in cell.shapes(index).each():
                if shape.is_text():
                    t = shape.text.trans.disp
                    labels.append([shape.text_string, t.x * dbu, t.y * dbu, name])
                    continue
                polygon = shape.polygon
                box = polygon.bbox()
                layers.setdefault(name, []).append(
                    [box.left * dbu, box.bottom * dbu, box.right * dbu, box.top * dbu,
                     polygon.num_points(), polygon.is_box()])
    result[path] = {"cells": cells, "layers": layers, "labels": labels}

with open(out, "w") as f:  # noqa: F821 (set by -rd)
    json.dump(result, f)
