#!/bin/sh
# Runs a command as a client of its own headless Wayland compositor:
#   with-weston.sh COMMAND [ARG...]
# weston gets a private runtime folder and socket; the command sees
# WAYLAND_DISPLAY and QT_QPA_PLATFORM=wayland, and no X display.
set -u
runtime="$(mktemp -d "${TMPDIR:-/tmp}/marvoline-wayland-XXXXXX")" || exit 1
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
socket=wayland-marvoline
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --no-config \
    >"$runtime/weston.log" 2>&1 &
weston=$!
cleanup() {
    kill "$weston" 2>/dev/null
    wait "$weston" 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

# The socket appears once weston listens.
tries=0
while [ ! -S "$runtime/$socket" ]; do
    if ! kill -0 "$weston" 2>/dev/null || [ $tries -ge 100 ]; then
        echo "with-weston.sh: weston did not start:" >&2
        cat "$runtime/weston.log" >&2
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.1
done

export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
unset DISPLAY
"$@"
status=$?
exit $status
