#!/usr/bin/env python3
"""Checks the rating columns viewer_every_attribute.sh stored through the process button.

Usage: check_every_attribute.py QUILLON_RATE RULES SOILS LAYER.dbf RESULTS LEGENDS RUNS.tsv
A line of RUNS.tsv holds the driver's "panel: ..." line of a run, its column and the map's
"shown: ..." line of its theme (empty when the viewer said no map unit has a rating). quillon-rate is given the options the panel showed: its
ratings must be the column of MU_Data map unit by map unit, Null included. The theme must
carry the attribute's title, be drawn from the column, put every polygon of the layer in a
class of its legend, and show exactly the polygons of unrated map units as "no data".
"""
import concurrent.futures
import json
import re
import sqlite3
import struct
import subprocess
import sys
from pathlib import Path

rate, rules_path, soils, layer_dbf, results_path, legends, runs_path = sys.argv[1:8]
failures = []


def fail(message):
    failures.append(message)


def dbf_mukeys(path):
    """The mukey of every record of a dBase file, in order (blank as None)."""
    data = Path(path).read_bytes()
    count, header_length, record_length = struct.unpack("<IHH", data[4:12])
    fields, offset, at = [], 1, 32
    while data[at] != 0x0D:
        name = data[at:at + 11].split(b"\0")[0].decode("ascii").lower()
        fields.append((name, offset, data[at + 16]))
        offset += data[at + 16]
        at += 32
    start, length = next((o, n) for name, o, n in fields if name == "mukey")
    keys = []
    for r in range(count):
        record = data[header_length + r * record_length:header_length + (r + 1) * record_length]
        if record[:1] == b"*":
            continue
        key = record[start:start + length].decode("utf-8", "replace").strip()
        keys.append(key or None)
    return keys


def month_seq(soils_db, name):
    row = soils_db.execute("SELECT monthseq FROM comonth WHERE trim(month) = ? LIMIT 1", (name,)).fetchone()
    if row is None:
        raise ValueError(f"no month '{name}' in the soils database")
    return str(row[0])


def rate_args(panel, column, soils_db):
    """quillon-rate's options for what the panel showed (empty fields: hidden controls)."""
    key, method, top, bottom, begin, end, ignore, nulls, choice, tie = panel[len("panel: "):].split("|")
    args = [rate, "--soils", soils, "--rules", rules_path, "--attribute", key, "--column", column,
            "--mapunits", layer_dbf, "--format", "json"]
    if method:
        args += ["--method", method]
    if top or bottom:
        args += ["--top", top, "--bottom", bottom]
    if begin or end:
        args += ["--begin-month", month_seq(soils_db, begin), "--end-month", month_seq(soils_db, end)]
    if ignore:
        args += ["--ignore-below", ignore]
    if nulls == "1":
        args.append("--nulls-zero")
    if choice:
        args += ["--list", choice]
    if tie:
        args += ["--rate", "-1" if tie == "lower" else "1"]
    return key, method, choice, args


def as_single(number):
    return struct.unpack("<f", struct.pack("<f", number))[0]


def same(stored, rated, single):
    if stored is None or rated is None:
        return stored is None and rated is None
    if isinstance(stored, (int, float)) and isinstance(rated, (int, float)):
        # A column of type Single holds the float's shortest decimal (0.22), which for some
        # floats has more digits than the seven that quillon-rate prints.
        return float(stored) == float(rated) or (single and as_single(stored) == as_single(rated))
    return type(stored) is type(rated) and stored == rated


def check_column(key, column, ratings, results_db, single):
    """mukey -> stored value of the column, after comparing it with quillon-rate's ratings."""
    expected = {}
    for row in ratings:
        expected.setdefault(row["mukey"], row[column])
    stored = dict(results_db.execute(f'SELECT mukey, "{column}" FROM MU_Data').fetchall())
    wrong = [f"{mukey}: stored {value!r}, quillon-rate {expected.get(mukey)!r}"
             for mukey, value in stored.items() if not same(value, expected.get(mukey), single)]
    if wrong:
        fail(f"{key} ({column}): {len(wrong)} map units differ, e.g. {wrong[:3]}")
    missing = [k for k, v in expected.items() if v is not None and k not in stored]
    if missing:
        fail(f"{key} ({column}): rated map units missing from MU_Data: {missing[:5]}")
    if not any(v is not None for v in stored.values()):
        fail(f"{key} ({column}): no map unit rated")
    return stored


def check_theme(key, column, title, shown, stored, polygons, legend_file):
    match = re.match(r'shown: "(.*)" from ([^:]*): (.*)$', shown)
    if not match:
        fail(f"{key}: the map's line: {shown}")
        return
    if match.group(1) != title:
        fail(f"{key}: theme title '{match.group(1)}', expected '{title}'")
    if match.group(2) != column:
        fail(f"{key}: theme drawn from {match.group(2)}, the run stored {column}")
    counts = {}
    for entry in match.group(3).split("; "):
        label, _, count = entry.rpartition(" (")
        counts[label] = int(count.rstrip(")"))
    no_data = "Not rated"
    if legend_file:
        lines = (Path(legends) / legend_file).read_text(encoding="utf-8").splitlines()
        no_data = next((line.split("|")[2] for line in lines if line.startswith("nodata|")), no_data)
    unrated = sum(1 for mukey in polygons if stored.get(mukey) is None)
    if counts.get("Other values", 0):
        fail(f"{key}: ratings outside the legend: {shown}")
    if sum(counts.values()) != len(polygons):
        fail(f"{key}: {sum(counts.values())} polygons drawn of {len(polygons)}")
    if counts.get(no_data, 0) != unrated:
        fail(f"{key}: {counts.get(no_data, 0)} polygons drawn as '{no_data}', {unrated} have no rating")
    texts = {v for v in stored.values() if isinstance(v, str)}
    if not legend_file and texts:
        drawn = {label for label, n in counts.items() if n} - {no_data}
        rated_texts = {stored.get(mukey) for mukey in polygons} - {None}
        if drawn != rated_texts:
            fail(f"{key}: classes drawn {sorted(drawn)}, ratings of the layer {sorted(rated_texts)}")


def main():
    rules = sqlite3.connect(rules_path)
    soils_db = sqlite3.connect(f"file:{soils}?mode=ro", uri=True)
    results_db = sqlite3.connect(f"file:{results_path}?mode=ro", uri=True)
    polygons = dbf_mukeys(layer_dbf)
    runs = [line.rstrip("\n").split("\t") for line in open(runs_path, encoding="utf-8") if line.strip()]
    planned = []
    for panel, column, shown in runs:
        key, method, choice, args = rate_args(panel, column, soils_db)
        planned.append((key, method, choice, column, shown, args))

    def run(args):
        return subprocess.run(args, capture_output=True, text=True)

    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        outputs = list(pool.map(run, [p[5] for p in planned]))
    for (key, method, choice, column, shown, args), out in zip(planned, outputs):
        if out.returncode != 0:
            fail(f"{' '.join(args)}: status {out.returncode}: {out.stderr.strip()}")
            continue
        ratings = json.loads(out.stdout)
        if not shown:
            # The viewer stored nothing, saying no map unit has a rating.
            rated = [row for row in ratings if row[column] is not None]
            if rated:
                fail(f"{key}: the viewer stored nothing, quillon-rate rates {len(rated)} map units")
            if any(c[1].lower() == column.lower() for c in results_db.execute("PRAGMA table_info(MU_Data)")):
                fail(f"{key}: nothing was to be stored, yet MU_Data has the column {column}")
            continue
        theme, has_list, use_file, file, column_type = rules.execute(
            "SELECT ThemeName, OptionList, UseAVLFile, AVLFileName, DBFType FROM Attributes WHERE NodeKey = ?",
            (key,)).fetchone()
        stored = check_column(key, column, ratings, results_db, (column_type or "").lower() == "single")
        title = theme + (" - " + method if method else "") + (f"({choice.partition('=')[2]})" if has_list else "")
        check_theme(key, column, title, shown, stored, polygons, file if use_file else None)
    for message in failures:
        print("FAIL:", message)
    print(f"{len(planned)} columns checked against quillon-rate and the map, {len(failures)} failures")
    return 1 if failures else 0


sys.exit(main())
