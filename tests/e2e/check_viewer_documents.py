#!/usr/bin/env python3
"""Checks what the viewer's run and reports left behind, for viewer_run_reports.sh.

Usage: check_viewer_documents.py RATING.csv STORED.csv SHOWN_LINE VIEWER.log RATING.docx NONTECH.docx
RATING.csv is quillon-rate's output for the run's inputs, STORED.csv the run's column of
MU_Data (mukey, value), SHOWN_LINE the map's transcript line of the theme it drew and
VIEWER.log holds the driver's "ticked: <area> <symbol>" lines.
"""
import csv
import re
import sys

import docx

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def read_ratings(path):
    """mukey -> rating of its first row, and musym -> the ratings of its map units."""
    by_key, by_symbol = {}, {}
    with open(path, newline="", encoding="utf-8") as f:
        rows = csv.reader(f)
        header = next(rows)
        check(header[:2] == ["musym", "mukey"], f"quillon-rate's header: {header}")
        for row in rows:
            if row[1] not in by_key:
                by_key[row[1]] = row[2]
                by_symbol.setdefault(row[0], set()).add(row[2])
    return by_key, by_symbol


def check_column(expected, stored_path):
    with open(stored_path, newline="", encoding="utf-8") as f:
        stored = {row[0]: row[1] for row in csv.reader(f)}
    rated = 0
    for mukey, value in stored.items():
        want = expected.get(mukey, "")
        check(value == want, f"MU_Data {mukey}: stored '{value}', quillon-rate '{want}'")
        rated += bool(want)
    missing = [k for k, v in expected.items() if v and k not in stored]
    check(not missing, f"rated map units missing from MU_Data: {missing[:5]}")
    check(rated > 10, f"only {rated} map units rated")
    return {v for v in stored.values() if v}


def check_theme(shown, values):
    # shown: "<title>" from <column>: <class> (<count>); ...
    match = re.match(r'shown: "([^"]*)" from [^:]*: (.*)$', shown)
    if not check(match, f"the map's line: {shown}"):
        return ""
    drawn = set()
    for entry in match.group(2).split(";"):
        name, _, count = entry.strip().rpartition(" (")
        if count != "0)":
            drawn.add(name)
    check("Other values" not in drawn, f"ratings outside the legend: {shown}")
    # "Not rated" is both a rating and the legend's class of units without one; "No data"
    # is the legend's class of polygons whose map unit has no value in the column.
    legend_own = {"Not rated", "No data"}
    check(drawn - legend_own == values - legend_own,
          f"legend classes drawn {sorted(drawn)}, column values {sorted(values)}")
    return match.group(1)


def paragraphs(document):
    return [p.text.strip() for p in document.paragraphs if p.text.strip()]


def check_rating_report(path, title, ticked, by_symbol):
    document = docx.Document(path)
    texts = paragraphs(document)
    check(texts and texts[0] == title, f"rating report title {texts[:1]}, theme '{title}'")
    check("(Ignore below 10%.)" in texts, f"no option line in {texts[:4]}")
    surveys = [t for t in texts if t.startswith("Soil Survey:")]
    check(len(surveys) == 2, f"survey-area sections: {surveys}")
    rows = []
    for table in document.tables:
        header = [c.text.strip() for c in table.rows[0].cells]
        check(len(header) == 4 and header[3] == "Dominant Component(s) and Reason(s)",
              f"table heading without the reasons column: {header}")
        rows += [[c.text.strip() for c in row.cells] for row in table.rows[1:]]
    check(len(document.tables) == 2, f"{len(document.tables)} tables for two survey areas")
    check([r[0] for r in rows] == [symbol for _, symbol in ticked],
          f"rows {[r[0] for r in rows]}, ticked {ticked}")
    reasons = 0
    for row in rows:
        if not check(len(row) == 4, f"row {row} has no reasons cell"):
            continue
        check(row[2] in by_symbol.get(row[0], set()),
              f"{row[0]} rated '{row[2]}', quillon-rate {by_symbol.get(row[0])}")
        lines = [line for line in row[3].splitlines() if line.strip()]
        check(lines and lines[0].startswith("Component - "), f"{row[0]}: no dominant component in {lines}")
        reasons += len(lines) - 1
    check(reasons > 0, f"no reasons in {rows}")


def check_nontech_report(path, ticked):
    texts = paragraphs(docx.Document(path))
    areas = [t for t in texts if t.startswith("Soil Survey Area:")]
    check(len(areas) == 2, f"survey-area sections: {areas}")
    units = [t.split()[2] for t in texts if t.startswith("Map Unit: ")]
    check(units == [symbol for _, symbol in ticked], f"map units {units}, ticked {ticked}")
    categories = {t.removeprefix("Description Category: ") for t in texts
                  if t.startswith("Description Category: ")}
    check(categories == {"Setting", "Land use"}, f"categories printed: {categories}")


def main(rating_csv, stored_csv, shown, viewer_log, rating_docx, nontech_docx):
    by_key, by_symbol = read_ratings(rating_csv)
    values = check_column(by_key, stored_csv)
    title = check_theme(shown, values)
    with open(viewer_log, encoding="utf-8") as f:
        ticked = [tuple(line.split()[1:3]) for line in f if line.startswith("ticked: ")]
    check(len(ticked) == 3 and len({area for area, _ in ticked}) == 2, f"ticked: {ticked}")
    check_rating_report(rating_docx, title, ticked, by_symbol)
    check_nontech_report(nontech_docx, ticked)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
