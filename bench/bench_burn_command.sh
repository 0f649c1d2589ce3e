#!/bin/sh
# The burn command as a user runs it: `vobrelfm burn` of 300 report files and one large
# file (600 MiB in all) to the emulated recorder at full speed, against genisoimage -J of
# the same files plus sync, both reading the sources from a warm page cache; and
# `vobrelfm discinfo` on the emulated recorder. Prints the times and the ratio.
#   bench_burn_command.sh [--program PATH] [--mib N] [--runs N]
set -eu
program=./build/vobrelfm
mib=600
runs=3
while [ $# -gt 0 ]; do
    case "$1" in
    --program) program=$2; shift 2 ;;
    --mib) mib=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --help) sed -n '2,6p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done
command -v genisoimage >/dev/null || { echo "genisoimage is missing (apt-get install genisoimage)" >&2; exit 1; }
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
work=$(mktemp -d "${TMPDIR:-/tmp}/bench_burn_command.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/home"
i=1
while [ $i -le 300 ]; do  # report files: 24-byte records, some KB each
    awk -v n=$i 'BEGIN { for (r = 0; r < 200; r++) printf "Z%05d  %08d  %8.2f\r\n", n, r, n * r / 7 }' \
        >"$work/src/REPORT_$i.txt"
    i=$((i + 1))
done
small=$(du -sk "$work/src" | cut -f1)
head -c $((mib * 1024 * 1024 - small * 1024)) /dev/urandom >"$work/src/large.bin"
printf '[Burn]\r\nVirtualDrive=disc.img\r\nVirtualDriveSpeed=0\r\n' >"$work/home/SYSTEM.CFG"
now() { date +%s.%N; }
warm() { cat "$work"/src/* >/dev/null; }

best_burn=999999
best_iso=999999
best_info=999999
run=1
while [ $run -le "$runs" ]; do
    rm -f "$work/home/disc.img" "$work/home/disc.img.state" "$work/iso.img"
    warm
    t0=$(now)
    "$program" --home "$work/home" burn --no-eject "$work"/src/* >"$work/burn.log" 2>&1 ||
        { cat "$work/burn.log" >&2; exit 1; }
    t1=$(now)
    warm
    t2=$(now)
    genisoimage -quiet -J -o "$work/iso.img" "$work/src" && sync
    t3=$(now)
    t4=$(now)
    "$program" --home "$work/home" discinfo >/dev/null
    t5=$(now)
    best_burn=$(echo "$best_burn $t0 $t1" | awk '{ d = $3 - $2; print (d < $1) ? d : $1 }')
    best_iso=$(echo "$best_iso $t2 $t3" | awk '{ d = $3 - $2; print (d < $1) ? d : $1 }')
    best_info=$(echo "$best_info $t4 $t5" | awk '{ d = $3 - $2; print (d < $1) ? d : $1 }')
    run=$((run + 1))
done
echo "$best_burn $best_iso $best_info $mib" | awk '{
    printf "burn command, %d MiB to the emulated recorder: %.3f s\n", $4, $1
    printf "genisoimage -J + sync of the same files:      %.3f s\n", $2
    printf "ratio burn / genisoimage:                     %.2f (goal <= 1.00)\n", $1 / $2
    printf "discinfo on the emulated recorder:            %.3f s (goal < 0.100)\n", $3 }'
