#!/usr/bin/env bash
# Installs what is missing, builds, and starts the chooser on the given files:
#   ./run.sh FILE...
# or installs the program (executable, desktop entry, icon, metainfo, manual
# page) for everyday use, by default below /usr/local, or removes it again:
#   ./run.sh --install [PREFIX]
#   ./run.sh --uninstall
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/install-deps.sh build

as_owner_of() { # runs a command as root when the folder is not ours to write
    local dir="$1"
    shift
    while [[ ! -e "$dir" ]]; do dir="$(dirname "$dir")"; done
    if [[ -w "$dir" ]]; then "$@"; else sudo "$@"; fi
}

case "${1:-}" in
--install)
    prefix="$(realpath -m "${2:-/usr/local}")"
    cmake --preset release -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build --preset release --target marvoline marvoline_icons
    as_owner_of "$prefix" cmake --install build/release
    echo "Installed below $prefix. No type has a new default: Marvoline is listed among all"
    echo "applications, and opens a type by itself once you tick its check box, or for PDF files:"
    echo "  gio mime application/pdf org.marvoline.Marvoline.desktop"
    ;;
--uninstall)
    manifest=build/release/install_manifest.txt
    [[ -f "$manifest" ]] || { echo "Nothing installed from this folder ($manifest is missing)." >&2; exit 1; }
    entry="$(grep -m1 '/applications/org\.marvoline\.Marvoline\.desktop$' "$manifest" || true)"
    icon="$(grep -m1 '/icons/hicolor/scalable/apps/org\.marvoline\.Marvoline\.svg$' "$manifest" || true)"
    as_owner_of "$(dirname "$(head -n 1 "$manifest")")" xargs -d '\n' rm -fv <"$manifest"
    rm -f "$manifest"
    # The desktop forgets the removed entry at once.
    if [[ -n "$entry" ]] && command -v update-desktop-database >/dev/null; then
        as_owner_of "$(dirname "$entry")" update-desktop-database -q "$(dirname "$entry")" || true
    fi
    # The icon folder's cache is brought up to date, or the folder goes.
    if [[ -n "$icon" ]]; then
        hicolor="$(dirname "$(dirname "$(dirname "$icon")")")"
        as_owner_of "$hicolor" scripts/refresh-icon-cache.sh "$hicolor" || true
    fi
    ;;
*)
    cmake --preset release >/dev/null
    cmake --build --preset release --target marvoline
    exec build/release/src/marvoline "$@"
    ;;
esac
