#!/bin/bash
# The same sweep as a Slurm job array: one array task per case file, each running the three map
# precisions in turn. Submit with one task per case:
#   n=$(ls samples/*.ac | wc -l)
#   sbatch --array=0-$((n - 1)) examples/sweep-slurm.sh samples out
# VELMORA=path/to/velmora picks a build; the tasks need no display.
#SBATCH --job-name=velmora-sweep
#SBATCH --cpus-per-task=1
#SBATCH --mem=1G
#SBATCH --time=00:15:00
#SBATCH --output=velmora-sweep-%A_%a.log
set -euo pipefail
cases_dir=${1:?usage: sbatch --array=0-N sweep-slurm.sh CASES_DIR OUT_DIR}
out=${2:?usage: sbatch --array=0-N sweep-slurm.sh CASES_DIR OUT_DIR}
velmora=${VELMORA:-velmora}
shopt -s nullglob
cases=("$cases_dir"/*.ac)
task=${SLURM_ARRAY_TASK_ID:?run through sbatch --array}
if [ "$task" -ge "${#cases[@]}" ]; then
  echo "task $task: only ${#cases[@]} case files in $cases_dir" >&2
  exit 1
fi
case_file=${cases[$task]}
name=$(basename "$case_file" .ac)
mkdir -p "$out"
for n in 20 50 100; do
  "$velmora" batch "$case_file" --intervals "$n" --csv "$out/$name-n$n.csv" --polar "$out/$name-n$n-polar.csv"
done
