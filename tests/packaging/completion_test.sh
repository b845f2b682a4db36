#!/usr/bin/env bash
# The bash completion of vandrel-cli, driven as bash drives it: commands,
# each command's options, file arguments and profile indices.
# Usage: completion_test.sh PROGRAM COMPLETION_SCRIPT EXAMPLES_DIR
set -uo pipefail

program=$1
script=$2
examples=$3
# shellcheck source=/dev/null
source "$script"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$examples"/. "$work"/
mkdir -p "$work/fw"
touch "$work/fw/app.bin" "$work/fw/app.s19" "$work/fw/app.hex" "$work/fw/notes.txt" "$work/out/r.json"
cd "$work"

failures=0
# complete "expected words" word...: completes the last word of the line.
complete_line() {
    local expected=$1
    shift
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vandrel_cli
    local got=
    [ ${#COMPREPLY[@]} -gt 0 ] && got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [ "$got" != "$expected" ]; then
        echo "completion_test: 'vandrel-cli $*' gave '$got', expected '$expected'" >&2
        failures=$((failures + 1))
    fi
}

complete_line "--help --version convert inspect keygen profiles release verify " ""
complete_line "convert " conv
complete_line "--s19-path --settings --source-path " profiles --s
complete_line "--s19 --settings --source --source-format " convert --image-version 101 --s
# Each command's own options, not another's.
complete_line "--json " inspect x.bin --j
complete_line "" inspect x.bin --image-v
complete_line "--image-version " convert --image-v
# A source may be the linker's ELF, Intel HEX or S-records as well.
complete_line "fw/app.bin fw/app.hex fw/app.s19 " convert --source fw/
complete_line "fw/app.s19 " convert --s19 fw/
complete_line "fw/app.hex " convert --hex fw/
complete_line "big " convert --byte-order b
complete_line "elf " convert --source-format e
complete_line "VandrelSet.ini " convert --settings V
complete_line "firmware fw out " inspect ""
complete_line "0 1 2 " convert --settings VandrelSet.ini --profile ""
complete_line "" convert --address 0
complete_line "--manifest " release --man
complete_line "--public-key " verify out/r.json --pub
complete_line "--secret " keygen --se
complete_line "fw/app.s19 " release --hex --profile 0 --sign fw/app.s
complete_line "out/r.json " verify out/r

if [ "$failures" -ne 0 ]; then
    echo "completion_test: $failures failures" >&2
    exit 1
fi
echo "completion_test: passed"
