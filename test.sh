#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   ./test.sh                 the CI build (warnings are errors)
#   ./test.sh ci-sanitize     the same under AddressSanitizer and UBSan
#   ./test.sh dev             the developer build
# The tests run under a private X server and a private session bus; tests that
# need their own X server or bus start one themselves.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
preset="${1:-ci}"
scripts/install-deps.sh test
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
# Most tests spend their time waiting (timers run out, D-Bus answers, windows
# appear; the longest waits 68 s in all), so four run per core.
exec xvfb-run -a -s "-screen 0 1280x800x24" \
    dbus-run-session -- \
    ctest --preset "$preset" --no-tests=error -j "$(($(nproc) * 4))"
