#!/usr/bin/env bash
# Builds the two Debian packages from BUILD_DIR with CPack, checks their
# fields and contents, unpacks them into a scratch root and runs what they
# installed: vandrel-cli --help, vandrel --version, and a conversion of the
# installed example, checked with srec_cat.
# Usage: check_packages.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "check_packages: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/packages" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    echo "check_packages: cpack failed" >&2
    exit 1
}
cli_deb=$(ls "$work"/packages/vandrel-cli_*.deb)
window_deb=$(ls "$work"/packages/vandrel_*.deb)
version=$(dpkg-deb -f "$cli_deb" Version)

# Fields.
field() { dpkg-deb -f "$1" "$2"; }
for deb in "$cli_deb" "$window_deb"; do
    for name in Package Version Section Maintainer Description Architecture; do
        [ -n "$(field "$deb" "$name")" ] || fail "$(basename "$deb"): no $name field"
    done
    [ "$(field "$deb" Version)" = "$version" ] || fail "$(basename "$deb"): version differs from vandrel-cli's"
done
[ "$(field "$cli_deb" Package)" = vandrel-cli ] || fail "the command-line package is not named vandrel-cli"
[ "$(field "$window_deb" Package)" = vandrel ] || fail "the window package is not named vandrel"

cli_depends=$(field "$cli_deb" Depends)
echo "vandrel-cli depends on: $cli_depends"
grep -Eq 'libqt[56]core' <<<"$cli_depends" || fail "vandrel-cli does not depend on QtCore"
grep -Eq 'libssl3' <<<"$cli_depends" || fail "vandrel-cli does not depend on libssl3 (libcrypto)"
grep -Eqi 'gui|widgets|font|vandrel' <<<"$cli_depends" && fail "vandrel-cli depends on more than QtCore: $cli_depends"

window_depends=$(field "$window_deb" Depends)
echo "vandrel depends on: $window_depends"
grep -Fq "vandrel-cli (= $version)" <<<"$window_depends" || fail "vandrel does not depend on vandrel-cli $version"
grep -Eq 'libqt[56]widgets' <<<"$window_depends" || fail "vandrel does not depend on QtWidgets"
grep -Eq 'fonts-(noto-cjk|wqy)' <<<"$window_depends" || fail "vandrel does not depend on a CJK font"

# Contents: each package holds its own files and not the other's.
contents() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|'; }
contents "$cli_deb" >"$work/cli.list"
contents "$window_deb" >"$work/window.list"
expect() {
    local list=$1 path=$2
    grep -qx "$path" "$work/$list.list" || fail "$list package lacks $path"
}
for path in /usr/bin/vandrel-cli /usr/share/doc/vandrel-cli/copyright \
    /usr/share/bash-completion/completions/vandrel-cli /usr/share/man/man1/vandrel-cli.1.gz \
    /usr/share/man/man1/vandrel-cli-convert.1.gz /usr/share/man/man1/vandrel-cli-profiles.1.gz \
    /usr/share/man/man1/vandrel-cli-inspect.1.gz /usr/share/man/man1/vandrel-cli-release.1.gz \
    /usr/share/man/man1/vandrel-cli-verify.1.gz /usr/share/man/man1/vandrel-cli-keygen.1.gz \
    /usr/share/man/man5/VandrelSet.ini.5.gz \
    /usr/share/doc/vandrel-cli/changelog.gz \
    /usr/share/doc/vandrel-cli/examples/VandrelSet.ini /usr/share/doc/vandrel-cli/examples/out/README; do
    expect cli "$path"
done
for path in /usr/bin/vandrel /usr/share/doc/vandrel/copyright /usr/share/applications/vandrel.desktop \
    /usr/share/icons/hicolor/scalable/apps/vandrel.svg /usr/share/icons/hicolor/48x48/apps/vandrel.png \
    /usr/share/man/man1/vandrel.1.gz /usr/share/doc/vandrel/examples/VandrelSet.ini \
    /usr/share/doc/vandrel/examples/firmware/main_board.bin /usr/share/doc/vandrel/examples/out/README \
    /usr/share/doc/vandrel/changelog.gz; do
    expect window "$path"
done
grep -q '^/usr/bin/vandrel$' "$work/cli.list" && fail "vandrel-cli holds the window program"
grep -q '^/usr/bin/vandrel-cli$' "$work/window.list" && fail "vandrel holds the command-line program"
sort "$work/cli.list" "$work/window.list" | grep -v '/$' | uniq -d | grep . && fail "files in both packages"

# Unpacked into a scratch root, the installed programs run.
root="$work/root"
dpkg -x "$cli_deb" "$root"
dpkg -x "$window_deb" "$root"
grep -q "Permission is hereby granted" "$root/usr/share/doc/vandrel-cli/copyright" || fail "no MIT licence in copyright"
cmp -s "$root/usr/share/doc/vandrel-cli/copyright" "$root/usr/share/doc/vandrel/copyright" \
    || fail "the two copyright files differ"
desktop-file-validate "$root/usr/share/applications/vandrel.desktop" || fail "desktop entry not valid"
for package in vandrel-cli vandrel; do
    top=$(gzip -dc "$root/usr/share/doc/$package/changelog.gz" | head -n 1)
    [ "$top" = "vandrel ($version) unstable; urgency=medium" ] || fail "$package changelog starts \"$top\", not version $version"
done
empty=$(find "$root" -mindepth 1 -type d -empty)
[ -z "$empty" ] || fail "empty folders: ${empty//$root/}"
for program in vandrel-cli vandrel; do
    readelf -S "$root/usr/bin/$program" | grep -Eq '\.comment|\.symtab' && fail "$program is not stripped"
done

# Every error or warning lintian has, and the remarks it makes with --info
# and --pedantic, fail the check.
if command -v lintian >/dev/null; then
    lintian --info --pedantic \
        "$cli_deb" "$window_deb" >"$work/lintian.log" 2>&1 || true
    grep -E '^[EWIP]: ' "$work/lintian.log" && fail "lintian has remarks on the packages"
else
    echo "check_packages: SKIP lintian: not installed (apt-get install lintian)"
fi
for page in vandrel-cli vandrel-cli-convert vandrel-cli-profiles vandrel-cli-inspect vandrel-cli-release \
    vandrel-cli-verify vandrel-cli-keygen vandrel; do
    gzip -dc "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} " \
        || fail "man page $page has no title of its own"
done
gzip -dc "$root/usr/share/man/man1/vandrel-cli-convert.1.gz" | grep -q 'image\\-version' \
    || fail "man page vandrel-cli-convert lacks --image-version"
MANPATH="$root/usr/share/man" man -P cat 5 VandrelSet.ini 2>/dev/null | grep -q 'THREE TRAPS' \
    || fail "man 5 VandrelSet.ini does not show the settings file's page"

"$root/usr/bin/vandrel-cli" --help >"$work/help.txt" || fail "installed vandrel-cli --help failed"
grep -q '^Usage: vandrel-cli' "$work/help.txt" || fail "installed vandrel-cli --help printed no usage"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/vandrel" --version)" = "vandrel $version" ] \
    || fail "installed vandrel --version failed without a display"

project="$work/project"
cp -R "$root/usr/share/doc/vandrel/examples" "$project"
chmod -R u+w "$project"
(
    cd "$project"
    SOURCE_DATE_EPOCH=1765289400 "$root/usr/bin/vandrel-cli" convert --profile 0
    "$root/usr/bin/vandrel-cli" inspect out/main_board_app.bin --s19 out/main_board_app.s19 --address 08000000 >/dev/null
    # The S-records carry the image, and the image the source, byte for byte.
    srec_cat out/main_board_app.s19 -motorola -offset -0x08000000 -o "$work/back.bin" -binary
    cmp "$work/back.bin" out/main_board_app.bin
    size=$(stat -c %s firmware/main_board.bin)
    cmp <(tail -c +33 out/main_board_app.bin | head -c "$size") firmware/main_board.bin
) || fail "the installed example did not convert"

if [ "$failures" -ne 0 ]; then
    echo "check_packages: $failures failures" >&2
    exit 1
fi
echo "check_packages: $(basename "$cli_deb") and $(basename "$window_deb") passed"
