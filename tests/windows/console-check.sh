#!/usr/bin/env bash
# Console text of the Windows vandrel-cli under Wine, in code pages 1252
# (Western) and 936 (Simplified Chinese):
#   - through pipes, stdout and stderr are UTF-8 with LF line ends, the same
#     bytes as the Linux build's;
#   - on a console (a pseudo-terminal that Wine's console drives) the Chinese
#     profile names show, which the ANSI code page 1252 cannot hold;
#   - a settings file saved in GBK reads right under code page 936.
# Usage: console-check.sh LINUX_CLI WINDOWS_CLI EXAMPLES_DIR
set -euo pipefail

linux_cli=$1
windows_cli=$2
examples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One settings file in UTF-8, the same in GBK, each as settings.ini in a folder of its own.
mkdir -p "$work/utf8" "$work/gbk"
cp "$examples/VandrelSet.ini" "$work/utf8/settings.ini"
iconv -f UTF-8 -t GBK "$work/utf8/settings.ini" >"$work/gbk/settings.ini"
cd "$work/utf8"

fail() { echo "console-check: $*" >&2; exit 1; }
cmp -s settings.ini ../gbk/settings.ini && fail "the GBK copy equals the UTF-8 file"

# What the Linux build prints: the expected bytes.
"$linux_cli" profiles --settings settings.ini >expected.out
"$linux_cli" convert --settings settings.ini --profile 不存在 >/dev/null 2>expected.err || true
grep -q '主控板' expected.out || fail "the Linux build does not list 主控板"
grep -q '不存在' expected.err || fail "the Linux build does not name the unknown profile"

# Wine takes the Windows locale, and with it the ANSI code page, from LC_ALL;
# the locale must exist on Linux too, or Wine reads the command line as ASCII.
# Private copies, so the machine's locales stay as they are. The GBK file
# shows which code page is in force.
for locale in en_US.UTF-8:1252 zh_CN.UTF-8:936; do
    lc_all=${locale%%:*}
    ansi=${locale##*:}
    mkdir -p "$work/locales"
    localedef -i "${lc_all%%.*}" -f UTF-8 "$work/locales/$lc_all" || fail "cannot make the locale $lc_all"
    in_locale() { LOCPATH=$work/locales LC_ALL=$lc_all "$@"; }

    in_locale wine "$windows_cli" profiles --settings settings.ini >pipe.out
    cmp pipe.out expected.out || fail "code page $ansi: stdout through a pipe differs from the Linux build's"
    in_locale wine "$windows_cli" convert --settings settings.ini --profile 不存在 >/dev/null 2>pipe.err || true
    cmp pipe.err expected.err || fail "code page $ansi: stderr through a pipe differs from the Linux build's"

    # A console: Wine shows on the terminal what the program wrote to it.
    in_locale script -qec "wine '$windows_cli' profiles --settings settings.ini" /dev/null >console.out </dev/null
    for name in 主控板 电机驱动器 显示面板; do
        grep -q "$name" console.out || fail "code page $ansi: the console does not show $name"
    done

    (cd ../gbk && in_locale wine "$windows_cli" profiles --settings settings.ini) >gbk.out
    if [ "$ansi" = 936 ]; then
        cmp gbk.out expected.out || fail "code page 936: the GBK settings file reads differently from the UTF-8 one"
    else
        grep -q '主控板' gbk.out && fail "LC_ALL=$lc_all reads GBK as Chinese: not code page $ansi"
    fi
    echo "    code page $ansi: pipes, console and settings right"
done
echo "console-check: passed"
