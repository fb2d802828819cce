# Runs inside KLayout (klayout -b -rd files=LIST -rd out=OUT.txt [-rd cifnames=MAP] -r THIS):
# reads every GDSII file named in LIST (one path a line) and writes one line
# per shape, in database units, through the whole hierarchy of each top cell:
#   FILE path
#   DBU microns
#   S layer datatype left bottom right top points is_box
#   T layer datatype x y string
#   ERROR message
# With cifnames ("46=CPG,49=CMF,..."), each file is also written as CIF next
# to it (path + ".cif"), every layer named by the map, in half database units.

import pya

names = {}
try:
    for pair in cifnames.split(","):  # noqa: F821 (set by -rd)
        number, _, name = pair.partition("=")
        names[int(number)] = name
except NameError:
    pass

lines = []
for path in open(files).read().split("\n"):  # noqa: F821 (set by -rd)
    if not path:
        continue
    lines.append("FILE " + path)
    layout = pya.Layout()
    try:
        layout.read(path)
    except Exception as error:  # a file KLayout refuses is reported, not fatal
        lines.append("ERROR " + str(error).replace("\n", " "))
        continue
    lines.append("DBU %r" % layout.dbu)
    for index in layout.layer_indexes():
        info = layout.get_info(index)
        for top in layout.top_cells():
            shapes = top.begin_shapes_rec(index)
            while not shapes.at_end():
                shape, trans = shapes.shape(), shapes.trans()
                if shape.is_text():
                    text = shape.text.transformed(trans)
                    lines.append("T %d %d %d %d %s" % (info.layer, info.datatype, text.x, text.y,
                                                       text.string))
                elif shape.is_box() or shape.is_polygon() or shape.is_path():
                    polygon = shape.polygon.transformed(trans)
                    box = polygon.bbox()
                    lines.append("S %d %d %d %d %d %d %d %d" % (
                        info.layer, info.datatype, box.left, box.bottom, box.right, box.top,
                        polygon.num_points(), 1 if polygon.is_box() else 0))
                shapes.next()
    if names:
        for index in layout.layer_indexes():
            layer = layout.get_info(index).layer
            layout.set_info(index, pya.LayerInfo(names.get(layer, "L%d" % layer)))
        # CIF boxes are given by their centres, which are half units for odd
        # sizes: KLayout would round them, so the layout is first drawn in half
        # database units.
        layout.transform(pya.ICplxTrans(2.0))
        layout.dbu = layout.dbu / 2
        options = pya.SaveLayoutOptions()
        options.format = "CIF"
        layout.write(path + ".cif", options)

with open(out, "w") as f:  # noqa: F821 (set by -rd)
    f.write("\n".join(lines) + "\n")
