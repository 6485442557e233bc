#!/usr/bin/python3
"""Writes hall-plan.dxf, the sample DXF floor plan, with ezdxf (python3-ezdxf).

    python3 samples/make_hall_plan.py [output folder]   (default: this script's folder)

A hall in metres on the layer WALLS: a stage end with splayed walls at x = 0..4, straight side walls
to x = 20 and a rear wall curved outwards as an arc of radius 8.06 m centred at (16, 0); on the layer
SEATS, the outline of the seating block, which the import leaves out when WALLS is chosen.
"""
import math
import os
import sys

import ezdxf

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))

doc = ezdxf.new("R2010")
doc.header["$INSUNITS"] = 6  # metres
doc.layers.add("WALLS")
doc.layers.add("SEATS")
msp = doc.modelspace()
walls = {"layer": "WALLS"}
for a, b in [((0, -5), (4, -7)), ((4, -7), (20, -7)), ((20, 7), (4, 7)), ((4, 7), (0, 5)), ((0, 5), (0, -5))]:
    msp.add_line(a, b, dxfattribs=walls)
half = math.degrees(math.atan2(7, 4))
msp.add_arc((16, 0), math.hypot(4, 7), -half, half, dxfattribs=walls)
msp.add_lwpolyline([(7, -5), (18, -5), (18, 5), (7, 5)], close=True, dxfattribs={"layer": "SEATS"})
doc.saveas(os.path.join(OUT, "hall-plan.dxf"))
