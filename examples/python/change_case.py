#!/usr/bin/env python3
"""A case file read, changed and written back: the most reflective wall made absorbent, the result
compared at the receptor, and the new case saved beside the old one (it opens in the program:
velmora --open OUT.ac, or velmora batch OUT.ac).

    PYTHONPATH=build/python python3 examples/python/change_case.py [CASE.ac] [OUT.ac]
"""
import os
import sys

import numpy as np

import velmora

here = os.path.dirname(os.path.abspath(__file__))
case_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "samples", "hall.ac")
out = sys.argv[2] if len(sys.argv) > 2 else "hall-treated.ac"


def at_receptor(case):
    return velmora.arrivals(velmora.room_of(case), (case["xso"], case["yso"]), (case["xre"], case["yre"]),
                            Lw=case["Lw"])


case = velmora.read_case(case_path)
before = at_receptor(case)
# The wall whose reflection arrives loudest at the receptor.
reflections = before.table[before.table["kind"] == "reflection"]
loudest = int(reflections["wall"][np.argmax(reflections["level"])])
case["alpha"][loudest - 1] = max(case["alpha"][loudest - 1], 60.0)
velmora.write_case(out, case)

after = at_receptor(velmora.read_case(out))
print(f"wall {loudest} made absorbent (60 %), written to {out}")
print(f"before: {before.summary}")
print(f"after:  {after.summary}")
