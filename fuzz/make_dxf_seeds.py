#!/usr/bin/python3
"""Writes the seed plans of the DXF fuzz target with ezdxf, a writer independent of our reader.

Run from anywhere: /usr/bin/python3 make_dxf_seeds.py [output folder] (default: corpus/dxf beside
this script). The seeds stay tiny: each shows the fuzzer one kind of entity the import reads.
"""
import os
import sys

import ezdxf
from ezdxf.addons import r12writer

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "dxf")
MM, M = 4, 6  # $INSUNITS codes


def path(name):
    return os.path.join(OUT, name)


# Bare entity sections, no header: the smallest files a writer makes.
with r12writer(path("lines-square.dxf")) as w:
    for a, b in [((0, 0), (4, 0)), ((4, 0), (4, 3)), ((4, 3), (0, 3)), ((0, 3), (0, 0))]:
        w.add_line(a, b, layer="WALLS")

with r12writer(path("polyline-vertex-bulge.dxf")) as w:
    w.add_polyline_2d([(0, 0, 0), (400, 0, 1), (400, 300, 0), (0, 300, 0)], format="xyb", closed=True)

with r12writer(path("arc-and-circle.dxf")) as w:
    w.add_line((0, 0), (6, 0))
    w.add_line((6, 0), (6, 2))
    w.add_arc((4, 2), 2, 0, 90)
    w.add_line((4, 4), (0, 4))
    w.add_line((0, 4), (0, 0))
    w.add_circle((10, 10), 3, layer="PILLAR")

# A light polyline with a bulge, in a drawing whose header names millimetres.
doc = ezdxf.new("R2000")
doc.header["$INSUNITS"] = MM
doc.modelspace().add_lwpolyline([(0, 0, 0, 0, 0), (6000, 0, 0, 0, 0.5), (6000, 4000, 0, 0, 0), (0, 4000, 0, 0, 0)],
                                format="xyseb", close=True)
doc.saveas(path("lwpolyline-mm.dxf"))

# Blocks inserted into each other and into the model space, in metres.
doc = ezdxf.new("R12")
doc.header["$INSUNITS"] = M
pillar = doc.blocks.new("PILLAR")
pillar.add_circle((0, 0), 0.2)
pair = doc.blocks.new("PAIR")
pair.add_blockref("PILLAR", (0, 0))
pair.add_blockref("PILLAR", (1, 0))
msp = doc.modelspace()
msp.add_polyline2d([(0, 0), (5, 0), (5, 4), (0, 4)], close=True)
msp.add_blockref("PAIR", (2, 2))
doc.saveas(path("block-inserts-m.dxf"))
