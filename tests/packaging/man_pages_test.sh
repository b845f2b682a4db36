#!/usr/bin/env bash
# The hand-written man pages: groff reads each without a warning, lexgrog finds
# its NAME line, each has the sections a page of its kind needs, and every
# command and option that vandrel-cli's --help lists is in its page.
# Usage: man_pages_test.sh PROGRAM MAN_DIR
set -uo pipefail

program=$1
pages=$2
failures=0
fail() { echo "man_pages_test: $*" >&2; failures=$((failures + 1)); }

for tool in man lexgrog; do
    if ! command -v "$tool" >/dev/null; then
        echo "man_pages_test: SKIP: $tool not installed (scripts/install-deps.sh installs man-db)"
        exit 77
    fi
done

for page in "$pages"/*.[1-9]; do
    name=$(basename "$page")
    # The C locale as well: a build machine or lintian may have no other.
    for locale in C C.UTF-8; do
        warnings=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$name, $locale: groff warns: $warnings"
    done
    lexgrog "$page" >/dev/null || fail "$name: lexgrog finds no NAME line"
    required=(NAME SYNOPSIS DESCRIPTION FILES EXAMPLES "SEE ALSO")
    [[ $name == *.1 ]] && required+=(OPTIONS "EXIT STATUS" ENVIRONMENT)
    for section in "${required[@]}"; do
        grep -Eq "^\.SH \"?$section\"?$" "$page" || fail "$name: no $section section"
    done
    grep -qiF ".TH ${name%.*} ${name##*.} " "$page" || fail "$name: its title is not its name and section"
done

# The options of one --help text, as the option table lists them.
options_of() {
    sed -n 's/^  *\(-[A-Za-z]\), \(--[a-z0-9-]*\).*/\1\n\2/p; s/^  *\(--[a-z0-9-]*\).*/\1/p' | sort -u
}
check_options() {
    local page=$1
    shift
    [ -f "$pages/$page" ] || { fail "no page $page"; return; }
    local help option
    help=$("$program" "$@" --help) || { fail "$program $* --help failed"; return; }
    [ -n "$(options_of <<<"$help")" ] || fail "$program $* --help lists no option"
    while read -r option; do
        grep -Fq -- "${option//-/\\-}" "$pages/$page" || fail "$page lacks $option (from '$* --help')"
    done < <(options_of <<<"$help")
}

# Each command that --help lists has its page.
commands=$("$program" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\)  .*/\1/p')
[ -n "$commands" ] || fail "no commands found in $program --help"
for command in $commands; do
    check_options "vandrel-cli-$command.1" "$command"
    grep -q "BR vandrel-cli-$command (1)" "$pages/vandrel-cli.1" || fail "vandrel-cli.1 does not name vandrel-cli-$command(1)"
done
# The program's own options: those of the overview, before the first command's usage.
"$program" --help | sed '/^Usage: vandrel-cli convert/,$d' | options_of | while read -r option; do
    grep -Fq -- "${option//-/\\-}" "$pages/vandrel-cli.1" || echo "$option"
done | grep . && fail "vandrel-cli.1 lacks the options above"

if [ "$failures" -ne 0 ]; then
    echo "man_pages_test: $failures failures" >&2
    exit 1
fi
echo "man_pages_test: $(ls "$pages" | wc -l) pages and every option of $program --help checked"
