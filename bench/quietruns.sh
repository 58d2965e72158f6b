#!/bin/sh
# Five quiet runs of the clips, one after another, for the CPU figures and their targets in five
# runs out of five. Run it when nothing else runs on the computer; each run starts with the load
# average, which says whether it was quiet. Usage: bench/quietruns.sh [BUILD [CLIP FOLDER]]
build=${1:-build}
folder=${2:-$build/bench-clips}
mkdir -p "$folder" || exit 2
for run in 1 2 3 4 5; do
    echo "run $run: $(uptime)"
    "$build/dialtrace-bench" --clips --no-load --clip-folder "$folder" |
        grep -E "CPU while playing|frames shown|press to meter|recording ticks|memory"
done
