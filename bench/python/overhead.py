#!/usr/bin/env python3
"""The call overhead of the Python module against the C++ chain: velmora.compute_map on a sample case
against velmora_chain_bench's BM_SampleChain (the same grid and engine::computecase, no Python), at
the given map precision. Rounds alternate between the two so that a busy machine weighs on both;
each side's figure is the median of its rounds' medians.

    PYTHONPATH=build/python python3 bench/python/overhead.py build/bench/velmora_chain_bench [INTERVALS] [ROUNDS]

Goal: under 10 % at 200 intervals.
"""
import json
import os
import statistics
import subprocess
import sys
import time

import velmora

bench = sys.argv[1]
intervals = int(sys.argv[2]) if len(sys.argv) > 2 else 200
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
samples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")


def cpp_median(name):
    out = subprocess.run([bench, f"--benchmark_filter=^BM_SampleChain_{name}/intervals:{intervals}/",
                          "--benchmark_repetitions=5", "--benchmark_format=json", "--benchmark_min_time=0.5"],
                         capture_output=True, text=True, check=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
    scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[runs[0]["time_unit"]]
    return statistics.median(b["real_time"] for b in runs) * scale


def python_median(case, seconds=2.5):
    room = velmora.room_of(case)
    source = (case["xso"], case["yso"])
    audience = list(zip(case["xaud"], case["yaud"]))
    velmora.compute_map(room, source, audience, intervals=intervals)
    times = []
    end = time.perf_counter() + seconds
    while time.perf_counter() < end or len(times) < 5:
        start = time.perf_counter()
        velmora.compute_map(room, source, audience, intervals=intervals)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


for name, file in (("hall", "hall.ac"), ("lroom", "l-room.ac")):
    case = velmora.read_case(os.path.join(samples, file))
    cpp, py = [], []
    for _ in range(rounds):
        cpp.append(cpp_median(name))
        py.append(python_median(case))
    c, p = statistics.median(cpp), statistics.median(py)
    print(f"{file} at {intervals} intervals: C++ chain {c * 1e3:.2f} ms, velmora.compute_map {p * 1e3:.2f} ms, "
          f"overhead {(p - c) * 1e3:+.2f} ms ({(p - c) / c * 100:+.1f} %)")
