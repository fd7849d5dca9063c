#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks what it
# declares (dpkg-deb --info) and what it holds (dpkg-deb --contents); then
# unpacks it into a private XDG tree, where GIO must not take its desktop entry
# as the default for PDF files until `gio mime` makes it one, and asks apt
# whether it would install here.
#   tests/check_package.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/marvoline-deb-XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
shopt -s nullglob
debs=("$work"/out/marvoline_*.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "FAIL: expected one marvoline_*.deb, got ${#debs[@]}" >&2; exit 1; }
deb="${debs[0]}"
echo "package: $(basename "$deb")"

# ---- what it declares ----
field() { dpkg-deb --field "$deb" "$1"; }
[[ "$(field Package)" == marvoline ]] || fail "Package is '$(field Package)'"
[[ "$(field Architecture)" == "$(dpkg --print-architecture)" ]] || fail "Architecture"
[[ -n "$(field Version)" ]] || fail "no Version"
[[ -n "$(field Maintainer)" ]] || fail "no Maintainer"
[[ -n "$(field Description)" ]] || fail "no Description"
depends="$(field Depends)"
echo "Depends: $depends"
has_dependency() { grep -Eq "(^|, )$(sed 's/[+.]/\\&/g' <<<"$1")( |,|$)" <<<"$depends"; }
# What it loads or reads at run time without linking it.
for want in libqt6svg6 shared-mime-info; do
    has_dependency "$want" || fail "Depends lacks $want"
done
# The folder listing's markers are colour emoji.
grep -q 'fonts-noto-color-emoji' <<<"$(field Recommends)" || fail "Recommends lacks fonts-noto-color-emoji"
# A -dev package or a build tool has no place among them.
grep -Eq -- '-dev( |,|$)|cmake|g\+\+' <<<"$depends" && fail "Depends names a build package"

# ---- what it holds ----
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in \
    /usr/bin/marvoline \
    /usr/share/applications/org.marvoline.Marvoline.desktop \
    /usr/share/icons/hicolor/scalable/apps/org.marvoline.Marvoline.svg \
    /usr/share/icons/hicolor/48x48/apps/org.marvoline.Marvoline.png \
    /usr/share/metainfo/org.marvoline.Marvoline.metainfo.xml \
    /usr/share/man/man1/marvoline.1 \
    /usr/share/dbus-1/services/org.freedesktop.impl.portal.desktop.marvoline.service \
    /usr/share/xdg-desktop-portal/portals/marvoline.portal \
    /etc/xdg/autostart/org.marvoline.Marvoline.Reminders.desktop; do
    grep -qx -- "$path" "$work/contents" || fail "package lacks $path"
done
# The PDF module, in the library folder's marvoline folder.
module="$(grep -m1 -E '^/usr/lib/([^/]+/)?marvoline/marvoline-pdf\.so$' "$work/contents" || true)"
[[ -n "$module" ]] || fail "package lacks the PDF module"
# Nothing outside /usr but the autostart entry, which is a configuration file;
# no caches that belong to the whole system, nothing of the build or the tests.
grep -Ev '^/((usr|etc/xdg/autostart)(/.*)?/?)?$|^/etc/(xdg/)?$' "$work/contents" &&
    fail "files outside /usr"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles >"$work/conffiles" 2>/dev/null || true
grep -qx /etc/xdg/autostart/org.marvoline.Marvoline.Reminders.desktop "$work/conffiles" ||
    fail "the autostart entry is not a conffile"
grep -E 'mimeinfo\.cache|icon-theme\.cache|/include/|tst_|_tests|bench_' "$work/contents" &&
    fail "package holds caches, headers, tests or benchmarks"

# ---- unpacked: every library the executable and the PDF module link comes from a dependency ----
root="$work/root"
dpkg-deb -x "$deb" "$root"
linked() { objdump -p "$1" | awk '$1 == "NEEDED" {print $2}'; }
needed="$(linked "$root/usr/bin/marvoline")"
[[ -n "$needed" ]] || fail "no NEEDED libraries read from the executable"
# Qt's PDF library and what it pulls in are loaded with the module, for PDF files only.
grep -q Qt6Pdf <<<"$needed" && fail "the executable links Qt's PDF library"
grep -q Qt6Pdf <<<"$(linked "$root$module")" || fail "the PDF module does not link Qt's PDF library"
needed="$(sort -u <<<"$needed"$'\n'"$(linked "$root$module")")"
cache="$(ldconfig -p)"
for library in $needed; do
    path="$(awk -v l="$library" '$1 == l {print $NF; exit}' <<<"$cache")"
    # dpkg may know the file by its link's path or by its real one (/lib, /usr/lib).
    owner=""
    for candidate in "$path" "$(realpath "$path")" "$(dirname "$path")/$(basename "$(realpath "$path")")"; do
        owner="$(dpkg -S "$candidate" 2>/dev/null | sed -n '1s/:.*//p' || true)"
        [[ -n "$owner" ]] && break
    done
    if [[ -z "$owner" ]]; then
        fail "no package owns $library ($path)"
    elif ! has_dependency "$owner"; then
        fail "links $library from $owner, which Depends lacks"
    fi
done
# What desktop-file-utils' dpkg trigger does when the package is installed.
update-desktop-database -q "$root/usr/share/applications"
sandbox="$work/xdg"
mkdir -p "$sandbox"/{home,data,data-home,config,config-dirs,state,cache}
ln -s /usr/share/mime "$sandbox/data/mime"
in_sandbox() {
    env -i PATH="$root/usr/bin:$PATH" HOME="$sandbox/home" LC_ALL=C.UTF-8 \
        XDG_DATA_DIRS="$sandbox/data:$root/usr/share" XDG_DATA_HOME="$sandbox/data-home" \
        XDG_CONFIG_HOME="$sandbox/config" XDG_CONFIG_DIRS="$sandbox/config-dirs" \
        XDG_STATE_HOME="$sandbox/state" XDG_CACHE_HOME="$sandbox/cache" \
        XDG_CURRENT_DESKTOP=marvoline-test GIO_USE_VFS=local "$@" 2>&1
}
# Installed, it is the default of nothing and named for no type (tst_install
# compares every type against a copy of the system's entries)...
listed="$(in_sandbox gio mime application/pdf)" || true
echo "$listed"
grep -q 'org\.marvoline\.Marvoline\.desktop' <<<"$listed" &&
    fail "the package's desktop entry takes PDF files on install"
grep -q '^MimeType' "$root/usr/share/applications/org.marvoline.Marvoline.desktop" &&
    fail "the desktop entry names types"
# ... until the user makes it a type's default.
in_sandbox gio mime application/pdf org.marvoline.Marvoline.desktop >/dev/null ||
    fail "gio mime cannot make the package's desktop entry a default"
listed="$(in_sandbox gio mime application/pdf)" || true
grep -q '^Default application for .*: org\.marvoline\.Marvoline\.desktop$' <<<"$listed" ||
    fail "gio mime application/pdf does not name the package's desktop entry as default: $listed"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/marvoline" --version >/dev/null 2>&1 </dev/null ||
    fail "the packaged executable does not run"

# ---- every dependency can be met on this system ----
if ! apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" 2>&1; then
    cat "$work/apt.log" >&2
    fail "apt-get cannot install the package here"
fi

if [[ $failures -gt 0 ]]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed"
