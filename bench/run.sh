#!/usr/bin/env bash
# Builds the release preset and runs every benchmark; figures go to bench/results/.
#   bench/run.sh [FILE]     FILE: the document to start the chooser on (default: a PDF made here)
# Then, side by side in one interleaved run, the chooser against the Qt + GIO floor and the
# desktops' own Open With dialogs (GTK 3's; KDE's where KF5's KIO is installed), with the peers'
# scripts in MARVOLINE_PEERS (default ../shared/peers; skipped when absent); PEER_ROUNDS and
# SCALING_ROUNDS set their rounds (default 101 and 61: with 41 and 25, a ratio moved by up to 0.17
# between runs of one build).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/install-deps.sh test
cmake --preset release >/dev/null
cmake --build --preset release --target bench_minimal_window bench_chooser_probe bench_candidates marvoline
bin=build/release/bench
out=bench/results
mkdir -p "$out"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
file="${1:-}"
if [[ -z "$file" ]]; then
    file="$scratch/sample.pdf"
    printf '%%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[]/Count 0>>endobj\ntrailer<</Root 1 0 R>>\n%%%%EOF\n' > "$file"
fi
# Memory also for a file the PDF preview does not take.
text="$scratch/sample.txt"
printf 'A line of plain text.\n' > "$text"

# A private X server and session bus, so no running chooser takes the files.
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- bash -c '
set -e
bin="$1"; file="$2"; out="$3"; text="$4"
hyperfine --warmup 3 --runs 30 -N --export-json "$out/startup.json" \
    "$bin/bench_minimal_window" \
    "$bin/bench_chooser_probe paint $file" \
    "$bin/bench_chooser_probe tick $file"
# The ratios, with the three commands taking turns (hyperfine runs one after the other).
python3 bench/interleaved.py "$bin" "$file" "$out/startup-interleaved.json" | tee "$out/startup-interleaved.txt"
for mode in paint tick; do
    /usr/bin/time -v "$bin/bench_chooser_probe" $mode "$file" 2>&1 >/dev/null |
        grep -E "Maximum resident|Elapsed" | sed "s/^/$mode: /"
done | tee "$out/memory.txt"
/usr/bin/time -v "$bin/bench_chooser_probe" paint "$text" 2>&1 >/dev/null | grep -E "Maximum resident" |
    sed "s/^/paint, plain text: /" | tee -a "$out/memory.txt"
/usr/bin/time -v "$bin/bench_minimal_window" 2>&1 >/dev/null | grep -E "Maximum resident" |
    sed "s/^/minimal: /" | tee -a "$out/memory.txt"
# First paint on files that are hostile to preview, beside a normal PDF.
normal=/work/shared/peers/report.pdf
[[ -f "$normal" ]] || normal="$file"
python3 bench/previews.py "$bin" "$normal" "$(dirname "$text")" "$out/previews.json" | tee "$out/previews.txt"
# Until the PDF'"'"'s first page is on screen (drawn for the pane'"'"'s size, after the window'"'"'s first paint
# when it takes longer), beside the first paint: elapsed time and peak memory.
for mode in paint page; do
    /usr/bin/time -v "$bin/bench_chooser_probe" $mode "$normal" 2>&1 >/dev/null |
        grep -E "Maximum resident|Elapsed" | sed "s/^/$mode, PDF page: /"
done | tee -a "$out/memory.txt"
' _ "$bin" "$file" "$out" "$text"

"$bin/bench_candidates" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    | tee "$out/candidates-generated.txt"
"$bin/bench_candidates" --own-registry --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    | tee "$out/candidates-own.txt"

peers="${MARVOLINE_PEERS:-../shared/peers}"
if [[ -x "$peers/peers.sh" && -x "$peers/scaling.sh" ]]; then
    # The six-page PDF of the peers (or FILE), then a plain-text file; then 1, 16 and 64 candidates.
    "$peers/peers.sh" build/release "${PEER_ROUNDS:-101}" ${1:+"$1"} | tee "$out/peers.txt"
    "$peers/peers.sh" build/release "${PEER_ROUNDS:-101}" "$text" | tee "$out/peers-text.txt"
    "$peers/scaling.sh" build/release "${SCALING_ROUNDS:-61}" | tee "$out/peers-scaling.txt"
else
    echo "No peers in $peers (set MARVOLINE_PEERS): the side-by-side figures are not taken." >&2
fi
