#!/usr/bin/env bash
# After icons were removed from an icon theme's folder (./run.sh --uninstall):
#   scripts/refresh-icon-cache.sh FOLDER
# A folder whose cache is older than its subfolders makes every Qt program look
# in each of the theme's folders there for every icon it draws. With no icon
# left, the cache and the empty folders go; else the cache is made anew, with
# gtk-update-icon-cache where it is installed.
set -euo pipefail
folder="$1"
[[ -d "$folder" ]] || exit 0
if [[ -z "$(find "$folder" -type f ! -name icon-theme.cache -print -quit)" ]]; then
    rm -f "$folder/icon-theme.cache"
    find "$folder" -depth -type d -empty -delete
elif command -v gtk-update-icon-cache >/dev/null; then
    gtk-update-icon-cache -q -t -f "$folder"
fi
