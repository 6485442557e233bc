#!/usr/bin/env python3
"""Lists the include cycles between units of the source tree.

A unit is a header and its source (platform/graphics.h and platform/graphics.cpp), with its private
header when it has one (platform/render_internal.h belongs to platform/render); a cycle is a set
of units each reaching the others through #include "..." lines. Prints one line per cycle (the
units of one strongly connected component, sorted) and exits 1 when there is any.

  scripts/unit-cycles.py [FOLDER...]     (default: the whole tree)
"""
import os
import re
import sys

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
folders = sys.argv[1:] or ["engine", "platform", "document", "shell", "editor", "polar", "animation",
                           "plan", "dbtools", "app"]
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def unit_of(path):
    stem = os.path.splitext(path)[0]
    return stem[: -len("_internal")] if stem.endswith("_internal") else stem


edges = {}
for folder in folders:
    for root, _, files in os.walk(os.path.join(top, folder)):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            unit = unit_of(os.path.relpath(path, top))
            targets = edges.setdefault(unit, set())
            with open(path, encoding="utf-8") as f:
                for header in include.findall(f.read()):
                    other = unit_of(header)
                    if other != unit and os.path.exists(os.path.join(top, header)):
                        targets.add(other)

# Tarjan's strongly connected components, iteratively.
index, low, on_stack, stack, components = {}, {}, set(), [], []
counter = 0
for start in sorted(edges):
    if start in index:
        continue
    work = [(start, iter(sorted(edges.get(start, ()))))]
    index[start] = low[start] = counter
    counter += 1
    stack.append(start)
    on_stack.add(start)
    while work:
        node, children = work[-1]
        advanced = False
        for child in children:
            if child not in index:
                index[child] = low[child] = counter
                counter += 1
                stack.append(child)
                on_stack.add(child)
                work.append((child, iter(sorted(edges.get(child, ())))))
                advanced = True
                break
            if child in on_stack:
                low[node] = min(low[node], index[child])
        if advanced:
            continue
        work.pop()
        if work:
            low[work[-1][0]] = min(low[work[-1][0]], low[node])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                components.append(sorted(component))

for component in sorted(components):
    print(" <-> ".join(component))
sys.exit(1 if components else 0)
