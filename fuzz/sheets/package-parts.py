#!/usr/bin/env python3
"""Turns .xlsx/.ods packages into inputs of fuzz_xlsx_parts and fuzz_ods_parts:
each text part as its name, NUL, its text, NUL. Pictures and other binary
parts are left out.

    fuzz/sheets/package-parts.py OUTDIR FILE...
"""
import os
import sys
import zipfile


def parts(path):
    out = b""
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            data = z.read(info)
            if info.filename.endswith("/") or b"\0" in data:
                continue
            if not (info.filename.endswith((".xml", ".rels")) or info.filename == "mimetype"):
                continue
            out += info.filename.encode() + b"\0" + data + b"\0"
    return out


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for path in sys.argv[2:]:
        name = os.path.basename(path).replace(".", "-")
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(parts(path))


if __name__ == "__main__":
    main()
