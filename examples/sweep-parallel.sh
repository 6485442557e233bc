#!/usr/bin/env bash
# A parameter sweep with GNU parallel: every case file of a folder at three audience map precisions,
# one velmora process per run, as many runs at once as there are cores. Each run writes the map and
# the arrivals at the receptor; a failed run says why in one line and the sweep goes on.
#   examples/sweep-parallel.sh CASES_DIR OUT_DIR      (VELMORA=path/to/velmora to pick a build)
# The exit status is the number of failed runs; OUT_DIR/joblog.tsv lists every run with its status.
set -euo pipefail
cases=${1:?usage: sweep-parallel.sh CASES_DIR OUT_DIR}
out=${2:?usage: sweep-parallel.sh CASES_DIR OUT_DIR}
velmora=${VELMORA:-velmora}
mkdir -p "$out"
parallel --joblog "$out/joblog.tsv" --tag \
  "$velmora" batch {1} --intervals {2} --csv "$out/{1/.}-n{2}.csv" --polar "$out/{1/.}-n{2}-polar.csv" \
  ::: "$cases"/*.ac ::: 20 50 100
