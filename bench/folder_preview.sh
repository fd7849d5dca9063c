#!/usr/bin/env bash
# The folder summary: its walk against du and find on the same generated trees,
# and the time from start to the chooser window for a huge folder against an
# empty one. Figures go to bench/results/folder-*.
#   bench/folder_preview.sh [BUILD_DIR]   (default: a fresh release build)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${1:-}"
if [[ -z "$build" ]]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target bench_folder_stats bench_chooser_probe
    build=build/release
fi
bin="$build/bench"
out=bench/results
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Trees of folders holding 99 files each (sizes 0..4095 bytes, sparse), so
# that every 100 entries make one folder and its files.
python3 - "$work" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(1)
for name, entries in (("tree-10k", 10_000), ("tree-200k", 200_000)):
    for d in range(entries // 100):
        folder = os.path.join(root, name, f"d{d:05}")
        os.makedirs(folder)
        for f in range(99):
            path = os.path.join(folder, f"f{f:02}")
            with open(path, "wb") as fh:
                fh.truncate(random.randrange(4096))
flat = os.path.join(root, "flat-200k")
os.makedirs(flat)
for f in range(200_000):
    open(os.path.join(flat, f"entry-{f:06}"), "wb").close()
os.makedirs(os.path.join(root, "empty"))
PY

for tree in tree-10k tree-200k; do
    echo "== $tree: $("$bin/bench_folder_stats" "$work/$tree") (entries, bytes);" \
        "du: $(du -s --apparent-size --block-size=1 "$work/$tree" | cut -f1) bytes"
    hyperfine --warmup 3 --runs 20 --export-json "$out/folder-$tree.json" \
        "$bin/bench_folder_stats $work/$tree" \
        "du -s --apparent-size $work/$tree" \
        "find $work/$tree | wc -l"
done | tee "$out/folder-walk.txt"

# The window must not wait for the walk: start to first paint of the chooser.
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- \
    hyperfine --warmup 2 --runs 15 -N --export-json "$out/folder-startup.json" \
    "$bin/bench_chooser_probe paint $work/empty" \
    "$bin/bench_chooser_probe paint $work/flat-200k" | tee "$out/folder-startup.txt"

python3 - "$out" <<'PY'
import json, sys
out = sys.argv[1]
def means(name):
    return [r["mean"] for r in json.load(open(f"{out}/{name}.json"))["results"]]
for tree in ("tree-10k", "tree-200k"):
    ours, du, find = means(f"folder-{tree}")
    print(f"{tree}: walk {ours*1000:.1f} ms; du {du*1000:.1f} ms; find|wc {find*1000:.1f} ms; "
          f"walk/du {ours/du:.2f}; walk/find {ours/find:.2f}")
empty, huge = means("folder-startup")
print(f"start to window: empty {empty*1000:.0f} ms; 200,000 entries {huge*1000:.0f} ms; "
      f"ratio {huge/empty:.2f}")
PY
