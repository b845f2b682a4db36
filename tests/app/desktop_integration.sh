#!/usr/bin/env bash
# The window package's desktop integration, as installed: the desktop entry
# declares the project settings type (never inode/directory), and with the
# MIME package installed a file named VandrelSet.ini is of that type while
# another INI file is not.
# Usage: desktop_integration.sh BUILD_DIR
set -euo pipefail

build=$1
for tool in desktop-file-validate update-mime-database gio; do
    if ! command -v "$tool" >/dev/null; then
        echo "desktop_integration: $tool is missing; skipped" >&2
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "desktop_integration: $*" >&2; exit 1; }

cmake --install "$build" --component window --prefix "$work/usr" >/dev/null
desktop=$work/usr/share/applications/vandrel.desktop
mime=$work/usr/share/mime/packages/vandrel.xml
[ -f "$desktop" ] || fail "no desktop entry installed"
[ -f "$mime" ] || fail "no MIME package installed"
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
grep -qx 'MimeType=application/x-vandrel-project;' "$desktop" || fail "the desktop entry declares no project type"
grep -q 'inode/directory' "$desktop" && fail "the desktop entry claims every folder"

update-mime-database "$work/usr/share/mime" 2>/dev/null
mkdir "$work/project"
printf '[Sys]\nDevs=0\n' > "$work/project/VandrelSet.ini"
printf '[Sys]\nDevs=0\n' > "$work/project/other.ini"
type_of() {
    XDG_DATA_HOME="$work/usr/share" XDG_DATA_DIRS="$work/usr/share:/usr/share" \
        gio info -a standard::content-type "$1" | sed -n 's/.*standard::content-type: //p'
}
[ "$(type_of "$work/project/VandrelSet.ini")" = application/x-vandrel-project ] \
    || fail "VandrelSet.ini is of type $(type_of "$work/project/VandrelSet.ini")"
[ "$(type_of "$work/project/other.ini")" != application/x-vandrel-project ] \
    || fail "any INI file is taken for a project"
echo "desktop_integration: passed"
