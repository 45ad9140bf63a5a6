#!/usr/bin/env python3
"""Writes an SQLite soils database out as a survey download (tabular/ text files with the
table and column lists that describe them), for timing quillon-import on a large survey.

Usage: bench/write_download.py SOILS.sqlite FOLDER
The sort table is left out: an import makes its own.
"""
import os
import re
import sqlite3
import struct
import sys

SKIP = {"SYSTEM - Mapunit Sort Specifications"}


def logical(declared):
    t = (declared or "").upper()
    if t in ("INTEGER", "SMALLINT", "BIGINT"):
        return "Integer", ""
    if t == "SINGLE":
        return "Single", ""
    if t in ("DOUBLE", "REAL", "FLOAT"):
        return "Float", ""
    if t == "BOOLEAN":
        return "Boolean", ""
    if t == "DATETIME":
        return "Date/Time", ""
    if t in ("LONGTEXT", "MEMO"):
        return "Vtext", ""
    size = re.match(r"VARCHAR\((\d+)\)", t)
    return "String", size.group(1) if size else ""


def field(value, kind):
    if value is None:
        return ""
    if kind == "Boolean":
        return "Yes" if value else "No"
    if kind == "Date/Time":
        m = re.match(r"(\d{4})-(\d\d)-(\d\d)(?: (\d\d):(\d\d):(\d\d))?", str(value))
        return "%s/%s/%s %s:%s:%s" % (m[2], m[3], m[1], m[4] or "00", m[5] or "00", m[6] or "00")
    if kind == "Single" and isinstance(value, float):
        # The decimal a survey would publish: the shortest that is the same single.
        single = struct.unpack("f", struct.pack("f", value))[0]
        for digits in range(1, 10):
            text = "%.*g" % (digits, value)
            if struct.unpack("f", struct.pack("f", float(text)))[0] == single:
                return text
    if kind in ("Integer", "Float", "Single"):
        return repr(value) if isinstance(value, float) else str(value)
    return '"' + str(value).replace('"', '""') + '"'


def write(path, rows):
    with open(path, "w", encoding="utf-8", newline="") as out:
        for row in rows:
            out.write("|".join(row) + "\r\n")


def main(source, folder):
    db = sqlite3.connect(source)
    tabular = os.path.join(folder, "tabular")
    os.makedirs(tabular, exist_ok=True)
    tables = [r[0] for r in db.execute("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid")
              if r[0] not in SKIP]
    layout = {t: [(c[1], *logical(c[2])) for c in db.execute("SELECT * FROM pragma_table_info(?)", (t,))]
              for t in tables}
    published = {"Single": "Float"}
    meta = {"mdstattabs": [("tabphyname", "String", "30"), ("iefilename", "String", "30")],
            "mdstattabcols": [("tabphyname", "String", "30"), ("colsequence", "Integer", ""),
                              ("colphyname", "String", "30"), ("logicaldatatype", "String", "254"),
                              ("fieldsize", "Integer", "")]}
    files = {"mdstattabs": "mstab", "mdstattabcols": "mstabcol", "mdstatrshipdet": "msrsdet"}
    layout.update(meta)
    names = list(meta) + tables
    write(os.path.join(tabular, "mstab.txt"), [[field(t, "String"), field(files.get(t, t), "String")] for t in names])
    write(os.path.join(tabular, "mstabcol.txt"),
          [[field(t, "String"), str(i + 1), field(c, "String"), field(published.get(k, k), "String"), s]
           for t in names for i, (c, k, s) in enumerate(layout[t])])
    for t in tables:
        kinds = [k for _, k, _ in layout[t]]
        rows = db.execute('SELECT * FROM "%s"' % t.replace('"', '""'))
        write(os.path.join(tabular, files.get(t, t) + ".txt"),
              ([field(v, k) for v, k in zip(row, kinds)] for row in rows))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
