#!/bin/sh
# The cell texts of a workbook of 100,000 cells as a whole process:
# `tegaro-sheet cat` against Gnumeric's ssconvert to CSV, run in turns on the
# same file, median wall time of each. Needs LibreOffice (to make the file)
# and Gnumeric. Build the tool in Release first:
#   cmake --preset bench && cmake --build build/bench --target tegaro-sheet
# usage: bench/sheets/cat-speed.sh [TOOL] [RUNS]
set -e
tool=${1:-build/bench/bin/tegaro-sheet}
runs=${2:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 10,000 rows of 10 cells: a text in every third, numbers with two decimals
awk 'BEGIN { srand(7); for (r = 0; r < 10000; ++r) { line = "";
       for (c = 0; c < 10; ++c) { v = (c % 3 == 0) ? "家屋" (r * 10 + c) : sprintf("%.2f", rand() * 10000);
         line = line (c ? "," : "") v }
       print line } }' > "$work/big.csv"
soffice -env:UserInstallation=file://$work/profile --headless --infilter=CSV:44,34,76 \
    --convert-to xls --outdir "$work" "$work/big.csv" > /dev/null 2>&1
test -s "$work/big.xls"

now() { date +%s%N; }
for i in $(seq "$runs"); do
    t=$(now); "$tool" cat "$work/big.xls" > /dev/null; echo $(( $(now) - t )) >> "$work/ours"
    t=$(now); ssconvert -T Gnumeric_stf:stf_csv "$work/big.xls" "$work/out.csv" > /dev/null 2>&1
    echo $(( $(now) - t )) >> "$work/theirs"
done
median() { sort -n "$1" | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] / 1e9 }'; }
ours=$(median "$work/ours"); theirs=$(median "$work/theirs")
echo "cells: $("$tool" cat "$work/big.xls" | wc -l)"
echo "tegaro-sheet cat: $ours s   ssconvert: $theirs s   share: $(echo "$ours $theirs" | awk '{ printf "%.0f%%", 100 * $1 / $2 }')"
