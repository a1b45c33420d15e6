#!/bin/sh
# Workbooks of 100,000 cells saved by LibreOffice as .xls, .xlsx and .ods,
# read as whole processes: `tegaro-sheet cat FILE` against Gnumeric's
# `ssconvert -S FILE out_%n.csv`, in turns, median wall time and peak memory
# (maximum resident set) of each, and our CPU time (user + system), since
# the machine is shared. "plain" has numbers in the General format,
# "formatted" the same numbers as #,##0.00. Then a 1,000,000-cell .xlsx
# (62,500 rows of 16 cells, as many rows as a sheet holds here; written
# directly, as scripts write them) read once by each.
# Needs LibreOffice, Gnumeric, python3 and GNU time. Build the tool in
# Release first:
#   cmake --preset bench && cmake --build build/bench --target tegaro-sheet
# usage: bench/sheets/package-speed.sh [TOOL] [RUNS]
set -e
tool=${1:-build/bench/bin/tegaro-sheet}
runs=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 10,000 rows of 10 cells: a text in every third, numbers with two decimals
python3 - "$work" <<'EOF'
import random, sys
work = sys.argv[1]
random.seed(7)
rows = [[("家屋%d" % (r * 10 + c)) if c % 3 == 0 else "%.2f" % (random.random() * 10000) for c in range(10)]
        for r in range(10000)]
with open(work + "/plain.csv", "w", encoding="utf-8") as f:
    for row in rows:
        f.write(",".join(row) + "\n")
ns = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"')
with open(work + "/formatted.fods", "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?><office:document %s office:version="1.2" '
            'office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:automatic-styles>'
            '<number:number-style style:name="N1"><number:number number:decimal-places="2" '
            'number:min-integer-digits="1" number:grouping="true"/></number:number-style>'
            '<style:style style:name="ce1" style:family="table-cell" style:data-style-name="N1"/>'
            '</office:automatic-styles><office:body><office:spreadsheet><table:table table:name="S">' % ns)
    for row in rows:
        f.write("<table:table-row>")
        for c, v in enumerate(row):
            if c % 3 == 0:
                f.write('<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' % v)
            else:
                f.write('<table:table-cell table:style-name="ce1" office:value-type="float" office:value="%s"/>' % v)
        f.write("</table:table-row>")
    f.write("</table:table></office:spreadsheet></office:body></office:document>")
EOF
for format in xls xlsx ods; do
    soffice -env:UserInstallation=file://$work/profile --headless --infilter=CSV:44,34,76 \
        --convert-to $format --outdir "$work" "$work/plain.csv" > /dev/null 2>&1
    soffice -env:UserInstallation=file://$work/profile --headless \
        --convert-to $format --outdir "$work" "$work/formatted.fods" > /dev/null 2>&1
    test -s "$work/plain.$format" && test -s "$work/formatted.$format"
done

# seconds and KiB of one run
measure() { /usr/bin/time -f "%e %M %U %S" -o "$work/t" "$@" > /dev/null 2>&1; cat "$work/t"; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
row() { # name, then the lines "seconds KiB" of ours and theirs in two files
    o=$(cut -d' ' -f1 "$work/ours" | median); g=$(cut -d' ' -f1 "$work/theirs" | median)
    om=$(cut -d' ' -f2 "$work/ours" | median); gm=$(cut -d' ' -f2 "$work/theirs" | median)
    oc=$(awk '{ print $3 + $4 }' "$work/ours" | median); gc=$(awk '{ print $3 + $4 }' "$work/theirs" | median)
    printf '%-16s %9ss %9ss %7s %16s %14s\n' "$1" "$o" "$g" "$(echo "$o $g" | awk '{ printf "%.2f", $1 / $2 }')" \
        "$(echo "$om $gm" | awk '{ printf "%d / %d", $1 / 1024, $2 / 1024 }')" "$oc / $gc"
}
printf '%-16s %10s %10s %7s %16s %14s\n' file ours gnumeric ratio "peak MiB o/g" "CPU s o/g"
for kind in plain formatted; do
    for format in xls xlsx ods; do
        : > "$work/ours"; : > "$work/theirs"
        for i in $(seq "$runs"); do
            measure "$tool" cat "$work/$kind.$format" >> "$work/ours"
            measure ssconvert -S "$work/$kind.$format" "$work/out_%n.csv" >> "$work/theirs"
        done
        row "$kind.$format"
    done
done
echo "cells: $("$tool" cat "$work/plain.ods" | wc -l) plain, $("$tool" cat "$work/formatted.xls" | wc -l) formatted"

# 62,500 rows of 16 cells, shared strings for the texts
python3 - "$work/million.xlsx" <<'EOF'
import random, sys, zipfile
random.seed(7)
main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
pkg = "http://schemas.openxmlformats.org/package/2006/relationships"
def col(c): return chr(ord("A") + c)
rows, strings = [], []
for r in range(1, 62501):
    cells = []
    for c in range(16):
        if c % 3 == 0:
            strings.append("<si><t>家屋%d</t></si>" % (r * 16 + c))
            cells.append('<c r="%s%d" t="s"><v>%d</v></c>' % (col(c), r, len(strings) - 1))
        else:
            cells.append('<c r="%s%d"><v>%.2f</v></c>' % (col(c), r, random.random() * 10000))
    rows.append('<row r="%d">%s</row>' % (r, "".join(cells)))
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", '<?xml version="1.0" encoding="UTF-8"?><Types xmlns='
               '"http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" '
               'ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
               'ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/'
               'vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/'
               'sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
               '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-'
               'officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
    z.writestr("_rels/.rels", '<Relationships xmlns="%s"><Relationship Id="rId1" Type="%s/officeDocument" '
               'Target="xl/workbook.xml"/></Relationships>' % (pkg, rel))
    z.writestr("xl/workbook.xml", '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="S" sheetId="1" '
               'r:id="rId1"/></sheets></workbook>' % (main, rel))
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="%s"><Relationship Id="rId1" Type="%s/worksheet" '
               'Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="%s/sharedStrings" '
               'Target="sharedStrings.xml"/></Relationships>' % (pkg, rel, rel))
    z.writestr("xl/worksheets/sheet1.xml", '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>'
               % (main, "".join(rows)))
    z.writestr("xl/sharedStrings.xml", '<sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>'
               % (main, len(strings), len(strings), "".join(strings)))
EOF
measure "$tool" cat "$work/million.xlsx" > "$work/ours"
measure ssconvert -S "$work/million.xlsx" "$work/out_%n.csv" > "$work/theirs"
row "million.xlsx"
echo "cells: $("$tool" cat "$work/million.xlsx" | wc -l)"
