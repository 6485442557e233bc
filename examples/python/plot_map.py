#!/usr/bin/env python3
"""The audience map of a case plotted with matplotlib: the total level over the audience area, the
walls, the source and the receptor.

    PYTHONPATH=build/python python3 examples/python/plot_map.py [CASE.ac] [OUT.png]
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")  # a file, no window
import matplotlib.pyplot as plt
import numpy as np

import velmora

here = os.path.dirname(os.path.abspath(__file__))
case_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "samples", "hall.ac")
out = sys.argv[2] if len(sys.argv) > 2 else "hall-map.png"

case = velmora.read_case(case_path)
m = velmora.compute_case(case)
# Total level for the case's source; points outside the room stay blank.
total = velmora.levels(m["PT"] + m["Pso"], case["Lw"])
outside = np.zeros(total.size, bool)
outside[m["ina"] - 1] = True
total[outside.reshape(total.shape, order="F")] = np.nan

fig, ax = plt.subplots(figsize=(8, 6))
mesh = ax.pcolormesh(m["xs"], m["ys"], total, shading="gouraud", cmap="viridis")
fig.colorbar(mesh, ax=ax, label=f"total level (dB) for a source of {case['Lw']:g} dB")
ax.fill(case["xwall"], case["ywall"], fill=False, color="black", linewidth=2)
ax.plot(m["xso"], m["yso"], "r*", markersize=14, label="source")
ax.plot(case["xre"], case["yre"], "wo", markeredgecolor="black", label="receptor")
a = velmora.arrivals(velmora.room_of(case), (case["xso"], case["yso"]), (case["xre"], case["yre"]), Lw=case["Lw"])
ax.set_title(f"{case['name']}: receptor {a.summary}", fontsize=9)
ax.set_aspect("equal")
ax.set_xlabel("x (m)")
ax.set_ylabel("y (m)")
ax.legend(loc="upper right")
fig.savefig(out, dpi=100)
print(f"{out}: {m['RT'].shape[0]}x{m['RT'].shape[1]} points, level {np.nanmin(total):.1f} to {np.nanmax(total):.1f} dB")
