#!/usr/bin/env python3
"""A sweep of source positions across the stage of a case, in threads: for each position, the mean
and the spread of the total level over the audience. The engine runs without the GIL, so the
threads compute at once (and each map uses every core).

    PYTHONPATH=build/python python3 examples/python/sweep_sources.py [CASE.ac] [POSITIONS]
"""
import os
import sys
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import velmora

here = os.path.dirname(os.path.abspath(__file__))
case_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "samples", "hall.ac")
count = int(sys.argv[2]) if len(sys.argv) > 2 else 9

case = velmora.read_case(case_path)
room = velmora.room_of(case)
audience = list(zip(case["xaud"], case["yaud"]))
# Positions on a line through the case's source, across the room.
xs = np.full(count, case["xso"])
ys = case["yso"] + np.linspace(-0.3, 0.3, count) * (np.max(case["ywall"]) - np.min(case["ywall"]))


def mean_level(source):
    m = velmora.compute_map(room, source, audience, intervals=100)
    inside = np.ones(m["RT"].size, bool)
    inside[m["ina"] - 1] = False
    level = velmora.levels(m["PT"] + m["Pso"], case["Lw"]).ravel(order="F")[inside]
    return np.nanmean(level), np.nanmax(level) - np.nanmin(level)


start = time.perf_counter()
with ThreadPoolExecutor() as pool:
    results = list(pool.map(mean_level, zip(xs, ys)))
seconds = time.perf_counter() - start
print(f"{case['name']}: {count} source positions in {seconds:.2f} s")
print("   x      y   mean level  spread")
for (x, y), (mean, spread) in zip(zip(xs, ys), results):
    print(f"{x:6.2f} {y:6.2f}  {mean:8.2f} dB  {spread:5.2f} dB")
best = int(np.argmin([spread for _, spread in results]))
print(f"most even: source at ({xs[best]:.2f}, {ys[best]:.2f})")
