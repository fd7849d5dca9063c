#!/usr/bin/env bash
# Start to launch of a rule that opens at once, against the chooser's start to
# first paint, in one private X server and session bus; results in bench/results/.
#   bench/rules.sh [BUILD_DIR]     default: build/release (bench/run.sh builds it)
# Both run the real program from the same build on the same PDF. The rule's
# application is a desktop entry whose Exec is true(1), so the launch costs as
# little as a launch can; the chooser side has no rules file at all.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${1:-build/release}"
out=bench/results
mkdir -p "$out"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

mkdir -p "$scratch/data/applications" "$scratch/rules-config/marvoline" "$scratch/chooser-config"
cat > "$scratch/data/applications/org.example.True.desktop" <<'ENTRY'
[Desktop Entry]
Type=Application
Name=True
Exec=true %F
MimeType=application/pdf;
ENTRY
cat > "$scratch/rules-config/marvoline/rules.json" <<'RULES'
{"version": 1, "rules": [{"id": "bench", "pattern": "*.pdf", "outcome": "open",
                          "application": "org.example.True.desktop"}]}
RULES
file="$scratch/sample.pdf"
printf '%%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[]/Count 0>>endobj\ntrailer<</Root 1 0 R>>\n%%%%EOF\n' > "$file"

export XDG_DATA_HOME="$scratch/data"
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- \
    hyperfine --warmup 3 --runs "${RUNS:-30}" -N --export-json "$out/rules.json" \
    -n "rule opens at once" "env XDG_CONFIG_HOME=$scratch/rules-config $build/src/marvoline $file" \
    -n "chooser first paint" \
    "env XDG_CONFIG_HOME=$scratch/chooser-config $build/bench/bench_chooser_probe paint $file" |
    tee "$out/rules.txt"
