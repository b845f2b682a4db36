#!/usr/bin/env bash
# Runs the Linux vandrel-cli and the Windows one (under Wine) on one table of
# inputs and compares everything they leave, byte for byte: images, S-record
# and Intel HEX files, reports (text and JSON), refusal messages, exit statuses.
# This stands in for the reference tools (srec_cat, objcopy, python3), which
# the test programs cannot run under Wine: the Linux build is checked
# against them. Usage: cross-check.sh LINUX_CLI WINDOWS_CLI
set -euo pipefail

linux_cli=$1
windows_cli=$2
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
work=$(mktemp -d)
trap 'status=$?; if [ $status -eq 0 ]; then rm -rf "$work"; else echo "cross-check: files kept in $work" >&2; fi' EXIT

readonly time="2026-12-09 14:30:00"
# Wine reads the command line in the Linux locale's encoding: Chinese names need UTF-8.
export LC_ALL=C.UTF-8

fail() { echo "cross-check: $*" >&2; exit 1; }

# Random bytes, the same on every run: FILE SIZE SEED.
random_file() {
    /usr/bin/python3 -c 'import random, sys
open(sys.argv[1], "wb").write(random.Random(int(sys.argv[3])).randbytes(int(sys.argv[2])))' "$@"
}

# run_case NAME SETUP EXIT_STATUS ARGUMENTS...
# SETUP makes the same inputs in linux/NAME and windows/NAME; then each
# program runs there with the arguments, leaving its exit status, stdout and
# stderr beside its outputs. Variables set in front of run_case reach both.
run_case() {
    local name=$1 setup=$2 expected=$3
    shift 3
    local side
    for side in linux windows; do
        mkdir -p "$work/$side/$name"
        (cd "$work/$side/$name" && "$setup")
    done
    (cd "$work/linux/$name" && { "$linux_cli" "$@" >stdout 2>stderr; echo $? >status; } || true)
    (cd "$work/windows/$name" && { wine "$windows_cli" "$@" >stdout 2>stderr; echo $? >status; } || true)
    local status
    status=$(cat "$work/linux/$name/status")
    # vandrel-cli explains every failure. Now and then (twice in some thousand
    # starts here) a program started through the wine command ends at once with
    # status 1 and no output at all; when the Windows side does that where
    # the Linux side did not, run it once more.
    local l=$work/linux/$name w=$work/windows/$name
    if [ ! -s "$w/stdout" ] && [ ! -s "$w/stderr" ] && [ "$(cat "$w/status")" = 1 ] \
        && { [ "$status" != 1 ] || [ -s "$l/stdout" ] || [ -s "$l/stderr" ]; }; then
        echo "    $name: the Windows build ended at once with status 1 and no output; running it again"
        rm -rf "$work/windows/$name"
        mkdir -p "$work/windows/$name"
        (cd "$work/windows/$name" && "$setup")
        (cd "$work/windows/$name" && { wine "$windows_cli" "$@" >stdout 2>stderr; echo $? >status; } || true)
    fi
    [ "$status" = "$expected" ] || fail "$name: the Linux build exits $status, not $expected: $(cat "$work/linux/$name/stderr")"
    echo "    $name: exit $status"
}

# convert_row NAME SIZE SEED ADDRESS VERSION: converts, then inspects the
# Linux build's outputs with both programs, as text and as JSON.
convert_row() {
    local name=$1 size=$2 seed=$3 address=$4 version=$5
    eval "setup_$name() { random_file src.bin $size $seed; }"
    run_case "$name" "setup_$name" 0 convert --source src.bin --image out.bin --s19 out.s19 \
        --address "$address" --image-version "$version" --time "$time"
    eval "copy_$name() { cp '$work/linux/$name/out.bin' '$work/linux/$name/out.s19' .; }"
    run_case "$name-inspect" "copy_$name" 0 inspect out.bin --s19 out.s19 --address "$address"
    run_case "$name-json" "copy_$name" 0 inspect out.bin --s19 out.s19 --address "$address" --json
}

echo "cross-check: conversions"
convert_row empty 0 1 08000000 101
convert_row one-byte 1 2 0 0
convert_row sixteen 16 3 8000abc 65535
convert_row seventeen 17 4 0x08000000 100
convert_row odd-size 5000 5 FFFF0000 7
convert_row last-byte-at-ffffffff 100 6 FFFFFF78 101
convert_row near-64-kib 65500 13 08000000 101
convert_row above-7fffffff 100 14 80000000 101
convert_row inspect-chunk-edge 262141 15 0 101
convert_row two-inspect-chunks 524284 16 0 101
convert_row one-mib 1048576 17 08000000 101
convert_row one-mib-and-three 1048579 7 08000000 101
convert_row three-mib-and-seventeen 3145745 8 20000000 65535

source_file() { random_file src.bin 100 9; }
SOURCE_DATE_EPOCH=1765289400 run_case source-date-epoch source_file 0 convert --source src.bin \
    --image out.bin --s19 out.s19 --address 0 --image-version 1
big_source() { random_file src.bin 70000 12; }
run_case intel-hex-and-json big_source 0 convert --source src.bin --image out.bin --s19 out.s19 --hex out.hex \
    --address 0800FFF0 --image-version 3 --time "$time" --json
run_case big-endian big_source 0 convert --source src.bin --image out.bin --s19 out.s19 --byte-order big \
    --address 08000000 --image-version 100 --time "$time"

echo "cross-check: refusals"
convert_args=(convert --source src.bin --image out.bin --s19 out.s19)
run_case version-too-large source_file 2 "${convert_args[@]}" --address 0 --image-version 65536 --time "$time"
run_case past-ffffffff source_file 1 "${convert_args[@]}" --address FFFFFF79 --image-version 1 --time "$time"
run_case bad-time source_file 2 "${convert_args[@]}" --address 0 --image-version 1 --time "2026-02-30 10:00:00"
run_case missing-source source_file 1 convert --source none.bin --image out.bin --s19 out.s19 \
    --address 0 --image-version 1 --time "$time"
run_case image-is-source source_file 1 convert --source src.bin --image ./src.bin --s19 out.s19 \
    --address 0 --image-version 1 --time "$time"
run_case s19-is-source source_file 1 convert --source src.bin --image out.bin --s19 ./src.bin \
    --address 0 --image-version 1 --time "$time"
damaged() { random_file out.bin 300 11; }
run_case inspect-random-bytes damaged 1 inspect out.bin

echo "cross-check: sources from the linker"
# Made on the Linux side by binutils and srecord, the same bytes for both.
hex_source() { random_file raw.bin 5000 18; objcopy -I binary -O ihex --change-addresses=0x08000020 raw.bin src.hex; }
srec_source() { random_file raw.bin 5000 19; srec_cat raw.bin -binary -offset 0x08000020 -o src.s19 -motorola -obs=23; }
source_args=(--image out.bin --s19 out.s19 --hex out.hex --image-version 1 --time "$time")
run_case hex-source hex_source 0 convert --source src.hex "${source_args[@]}" --json
run_case srec-source-fill-00 srec_source 0 convert --source src.s19 "${source_args[@]}" --fill 00 --json
run_case misplaced-source hex_source 1 convert --source src.hex "${source_args[@]}" --address 08000100
run_case runaway-source srec_source 1 convert --source src.s19 "${source_args[@]}" --max-size 1K
copy_placed() { hex_source; cp "$work/linux/hex-source/out.bin" .; }
run_case inspect-placed-source copy_placed 0 inspect out.bin --source src.hex --json
if command -v arm-none-eabi-ld >/dev/null; then
    elf_source() {
        random_file raw.bin 4000 20
        echo 'SECTIONS { .data 0x08000020 : { *(.data) } }' >app.ld
        arm-none-eabi-objcopy -I binary -O elf32-littlearm -B arm \
            --rename-section .data=.data,alloc,load,contents raw.bin raw.o
        arm-none-eabi-ld -T app.ld raw.o -o src.elf
    }
    run_case elf-source elf_source 0 convert --source src.elf "${source_args[@]}" --json
    run_case relocatable-elf elf_source 1 convert --source raw.o --source-format elf "${source_args[@]}"
fi

echo "cross-check: the example profiles and Chinese names"
examples_copy() { cp -R "$examples"/. .; rm -f out/*.bin out/*.s19; }
run_case profiles examples_copy 0 profiles
for profile in 0 1 2; do
    run_case "profile-$profile" examples_copy 0 convert --profile "$profile" --time "$time"
done
run_case profile-by-name examples_copy 0 convert --profile 电机驱动器 --image-version 7 --time "$time"
run_case unknown-profile examples_copy 2 convert --profile 不存在 --time "$time"
chinese_names() { mkdir 输出; random_file 固件.bin 333 10; }
run_case chinese-paths chinese_names 0 convert --source 固件.bin --image 输出/新.bin --s19 输出/新.s19 \
    --address 08000000 --image-version 101 --time "$time"

if ! diff -r "$work/linux" "$work/windows"; then
    fail "the Windows build differs from the Linux build (above)"
fi
echo "cross-check: passed, $(find "$work/linux" -type f | wc -l) files identical"
