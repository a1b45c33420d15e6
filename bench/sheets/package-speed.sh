#!/bin/sh
# The cell texts of one workbook of 100,000 cells saved by LibreOffice as
# .xls, .xlsx and .ods, read as whole processes: `tegaro-sheet cat FILE`
# against Gnumeric's `ssconvert -S FILE out_%n.csv`, in turns, median wall
# time and peak memory (maximum resident set) of each. Needs LibreOffice,
# Gnumeric and GNU time. Build the tool in Release first:
#   cmake --preset bench && cmake --build build/bench --target tegaro-sheet
# usage: bench/sheets/package-speed.sh [TOOL] [RUNS]
set -e
tool=${1:-build/bench/bin/tegaro-sheet}
runs=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 10,000 rows of 10 cells: a text in every third, numbers with two decimals
awk 'BEGIN { srand(7); for (r = 0; r < 10000; ++r) { line = "";
       for (c = 0; c < 10; ++c) { v = (c % 3 == 0) ? "家屋" (r * 10 + c) : sprintf("%.2f", rand() * 10000);
         line = line (c ? "," : "") v }
       print line } }' > "$work/big.csv"
for format in xls xlsx ods; do
    soffice -env:UserInstallation=file://$work/profile --headless --infilter=CSV:44,34,76 \
        --convert-to $format --outdir "$work" "$work/big.csv" > /dev/null 2>&1
    test -s "$work/big.$format"
done

# seconds and KiB of one run
measure() { /usr/bin/time -f "%e %M" -o "$work/t" "$@" > /dev/null 2>&1; cat "$work/t"; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
printf '%-6s %10s %10s %7s %16s\n' file ours gnumeric ratio "peak MiB o/g"
for format in xls xlsx ods; do
    : > "$work/ours"; : > "$work/theirs"
    for i in $(seq "$runs"); do
        measure "$tool" cat "$work/big.$format" >> "$work/ours"
        measure ssconvert -S "$work/big.$format" "$work/out_%n.csv" >> "$work/theirs"
    done
    o=$(cut -d' ' -f1 "$work/ours" | median); g=$(cut -d' ' -f1 "$work/theirs" | median)
    om=$(cut -d' ' -f2 "$work/ours" | median); gm=$(cut -d' ' -f2 "$work/theirs" | median)
    printf '%-6s %9ss %9ss %7s %16s\n' ".$format" "$o" "$g" "$(echo "$o $g" | awk '{ printf "%.2f", $1 / $2 }')" \
        "$(echo "$om $gm" | awk '{ printf "%d / %d", $1 / 1024, $2 / 1024 }')"
done
echo "cells: $("$tool" cat "$work/big.ods" | wc -l)"
