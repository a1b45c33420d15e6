#!/usr/bin/python3
"""Writes the workbooks of the corpus test into OUTDIR with openpyxl (Debian's
python3-openpyxl), and a flat OpenDocument file for LibreOffice to save.

    make_corpus.py OUTDIR

openpyxl.xlsx    number formats, dates and times, texts with & < > " ',
                 merged cells, booleans, errors, hidden rows, columns and a
                 hidden sheet, formulas without stored results, absolute
                 part names (as openpyxl writes them)
inline.xlsx      the same with every text written in its cell, the sheets'
                 ids in another order than the sheets, an empty part, and
                 L1:L10 as one shared formula, as Excel saves them
rich.fods        rich text, several paragraphs, runs of spaces, covered
                 cells, repeated rows and cells, for LibreOffice to save
"""
import datetime
import os
import re
import sys
import zipfile

import openpyxl
from openpyxl.styles import Font

out = sys.argv[1]
os.makedirs(out, exist_ok=True)

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "明細"
texts = ["家屋 & 土地", "<評点>", 'say "hi"', "it's", "a&b<c>d\"e'f", "全角　空白", "①㈱～"]
for i, t in enumerate(texts, start=1):
    ws.cell(row=i, column=1, value=t)
formats = ["General", "0", "0.00", "#,##0", "#,##0.00", "0%", "0.0%", "0.00E+00", "@", "#,##0;[Red]-#,##0"]
numbers = [0, 1, -1, 0.5, 1234.5678, -98765.4321, 1e-7, 123456789012, 0.1 + 0.2, 3.14159265358979]
for r, n in enumerate(numbers, start=1):
    for c, f in enumerate(formats, start=2):
        cell = ws.cell(row=r, column=c, value=n)
        cell.number_format = f
dates = [datetime.date(2019, 5, 1), datetime.date(1999, 12, 31), datetime.datetime(2020, 1, 2, 13, 45, 30),
         datetime.date(1900, 3, 1)]
date_formats = ["yyyy/m/d", "yyyy-mm-dd", "m/d/yyyy h:mm", "h:mm:ss", "yyyy\"年\"m\"月\"d\"日\"", "d-mmm-yy"]
for r, d in enumerate(dates, start=12):
    for c, f in enumerate(date_formats, start=1):
        cell = ws.cell(row=r, column=c, value=d)
        cell.number_format = f
ws["H1"] = True
ws["H2"] = False
ws["H3"] = "=1/0"
ws["H4"] = "=NA()"
ws["H5"] = "=B1+B2*2"
ws["H6"] = "=SUM(B1:B10)"
ws["H7"] = '=A1&"様"'
ws["H8"] = "=H1=H2"
ws["H9"] = '=IF(B4>1,"大","小")'
ws["H10"] = "=ROUND(B5*1.1,0)"
for r in range(1, 11):
    ws.cell(row=r, column=12, value="=B%d*2+C%d" % (r, r))  # one shared formula in inline.xlsx
ws.merge_cells("I1:J2")
ws["I1"] = "結合"
ws.row_dimensions[20].hidden = True
ws["A20"] = "隠れた行"
ws.column_dimensions["K"].hidden = True
ws["K1"] = "隠れた列"
ws["A1"].font = Font(bold=True, color="FF0000")

s2 = wb.create_sheet("集計")
s2["A1"] = "=明細!B5*2"
s2["A2"] = 42
s2["B2"] = "=A2/4"
s2["C2"] = "=集計!A2+明細!B2"
hidden = wb.create_sheet("隠し")
hidden.sheet_state = "hidden"
hidden["A1"] = "見えないシート"
wb.save(os.path.join(out, "openpyxl.xlsx"))


# The same workbook as streaming writers lay it out: texts in their cells,
# sheet ids in another order, and an empty part.
def inline(src, dst):
    with zipfile.ZipFile(src) as z:
        parts = {n: z.read(n) for n in z.namelist()}
    strings = re.findall(rb"<si>(.*?)</si>", parts.get("xl/sharedStrings.xml", b""), re.S)

    def cell(m):
        attrs, index = m.group(1), int(m.group(2))
        attrs = attrs.replace(b't="s"', b't="inlineStr"')
        return b"<c" + attrs + b"><is>" + strings[index] + b"</is></c>"

    def shared(m):
        row = int(m.group(2))
        f = b'<f t="shared" ref="L1:L10" si="0">B1*2+C1</f>' if row == 1 else b'<f t="shared" si="0"/>'
        return b"<c" + m.group(1) + b">" + f + b"<v></v></c>"

    for name in list(parts):
        if name.startswith("xl/worksheets/sheet"):
            parts[name] = re.sub(rb"<c([^>]*t=\"s\"[^>]*)><v>(\d+)</v></c>", cell, parts[name])
    first = "xl/worksheets/sheet1.xml"
    parts[first], n = re.subn(rb'<c( r="L(\d+)"[^>]*)><f>B\d+\*2\+C\d+</f><v\s*/?>(?:</v>)?</c>', shared, parts[first])
    assert n == 10, n
    ids = iter([b"7", b"2", b"5"])
    parts["xl/workbook.xml"] = re.sub(rb'sheetId="\d+"', lambda m: b'sheetId="' + next(ids) + b'"',
                                      parts["xl/workbook.xml"])
    parts["customXml/item1.xml"] = b""
    with zipfile.ZipFile(dst, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


inline(os.path.join(out, "openpyxl.xlsx"), os.path.join(out, "inline.xlsx"))

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"')


def s(t):
    return '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' % t


def f(v):
    return '<table:table-cell office:value-type="float" office:value="%s"/>' % v


rows = [
    s('家屋 &amp; 土地') + s('&lt;評点&gt;') + s('say &quot;hi&quot;') + s('it&apos;s'),
    '<table:table-cell office:value-type="string"><text:p>太字は<text:span text:style-name="T1">ここ</text:span>'
    'まで</text:p></table:table-cell>'
    '<table:table-cell office:value-type="string"><text:p>一行目</text:p><text:p>二行目</text:p></table:table-cell>'
    '<table:table-cell office:value-type="string"><text:p>a<text:s text:c="3"/>b<text:s/>c</text:p></table:table-cell>',
    '<table:table-cell office:value-type="string" table:number-columns-spanned="2"><text:p>結合</text:p>'
    '</table:table-cell><table:covered-table-cell/>' + s('結合の右') + f(7),
    '<table:table-cell table:number-columns-repeated="2" office:value-type="float" office:value="5"/>'
    + s('繰り返しの右'),
]
body = "".join("<table:table-row>%s</table:table-row>" % r for r in rows)
body += ('<table:table-row table:number-rows-repeated="3">' + f(9) + s('三行') + '</table:table-row>')
body += '<table:table-row>' + '<table:table-cell table:formula="of:=SUM([.A5:.A7])" office:value-type="float" ' \
        'office:value="27"/>' + '</table:table-row>'
fods = ('<?xml version="1.0" encoding="UTF-8"?><office:document %s office:version="1.2" '
        'office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:automatic-styles>'
        '<style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/>'
        '</style:style></office:automatic-styles><office:body><office:spreadsheet>'
        '<table:table table:name="文字">%s</table:table></office:spreadsheet></office:body></office:document>'
        % (NS, body))
with open(os.path.join(out, "rich.fods"), "w", encoding="utf-8") as fh:
    fh.write(fods)
