#!/usr/bin/env python3
"""Start-up ratios measured fairly on a busy machine.

hyperfine times all runs of one command before the next, so a change in the
machine's load between the blocks shows up as a difference between the
commands. Here the empty window, the first paint and the first tick run in turn,
ROUNDS rounds of RUNS runs each; every round gives its medians and ratios, and
the figures printed last are the medians over the rounds.

    interleaved.py BIN_DIR FILE OUT_JSON [RUNS] [ROUNDS]
"""
import json
import statistics
import subprocess
import sys
import time


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return (time.perf_counter() - start) * 1000


def describe(figures):
    return ", ".join(f"{k} {v:.3f}" if k.endswith("ratio") else f"{k} {v:.1f} ms"
                     for k, v in figures.items())


def main():
    bin_dir, file, out = sys.argv[1:4]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 40
    rounds = int(sys.argv[5]) if len(sys.argv) > 5 else 5
    commands = {
        "minimal": [f"{bin_dir}/bench_minimal_window"],
        "paint": [f"{bin_dir}/bench_chooser_probe", "paint", file],
        "tick": [f"{bin_dir}/bench_chooser_probe", "tick", file],
    }
    for command in commands.values():  # warm the caches
        timed(command)
    results = []
    for _ in range(rounds):
        times = {name: [] for name in commands}
        for _ in range(runs):
            for name, command in commands.items():
                times[name].append(timed(command))
        medians = {name: statistics.median(values) for name, values in times.items()}
        medians["paint_ratio"] = medians["paint"] / medians["minimal"]
        # The countdown's first tick comes 0.1 s after the files are shown.
        medians["tick_ratio"] = (medians["tick"] - 100) / medians["minimal"]
        results.append(medians)
        print("round: " + describe(medians), flush=True)
    overall = {k: statistics.median(r[k] for r in results) for k in results[0]}
    print("median of rounds: " + describe(overall))
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"runs": runs, "rounds": results, "median": overall}, f, indent=1)


if __name__ == "__main__":
    main()
