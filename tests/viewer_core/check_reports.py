"""Reads the sample reports with python-docx, a reader independent of ours, and checks
what a user sees: texts, sizes, bold and italic, sections, column widths and bullets.

Usage: check_reports.py FOLDER (holding rating.docx, rating_options.docx, nontech.docx).
Exits 77 (skipped) when python-docx is missing, unless CI is set."""
import os
import sys

try:
    import docx
    from docx.oxml.ns import qn
except ImportError:
    print("python3-docx is not installed (scripts/install-deps installs it)")
    sys.exit(1 if os.environ.get("CI") else 77)

FOLDER = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def open_doc(name):
    return docx.Document(os.path.join(FOLDER, name))


def texts(document):
    return [p.text for p in document.paragraphs]


def run_of(document, text):
    """The first run of the paragraph whose text is exactly text."""
    for paragraph in document.paragraphs:
        if paragraph.text == text and paragraph.runs:
            return paragraph.runs[0]
    failures.append("no paragraph %r" % text)
    return None


def widths(table):
    return [round(col.width.pt) for col in table.columns]


def cell_lines(cell):
    return [p.text for p in cell.paragraphs]


def bullets(cell):
    return len(cell._tc.findall(".//" + qn("w:sym")))


# The rating report with reasons, no options, no label.
rating = open_doc("rating.docx")
lines = texts(rating)
check(lines[0] == "Dwellings - Dominant Soil", "title line: %r" % lines[0])
title = rating.paragraphs[0].runs[0]
check(title.font.size.pt == 13 and title.font.bold, "title is 13 pt bold")
check("Houses of three stories." not in lines, "no description without the option")
areas = [line for line in lines if line.startswith("Soil Survey:")]
check(areas == ["Soil Survey:       Test Area", "Soil Survey:       Second Area"], "two sections: %r" % areas)
for label in ("Survey Status:     Updated", "Correlation Date:  10/01/2023", "Distribution Date: 01/02/2024"):
    check(label in lines, "section line %r" % label)
header = run_of(rating, "Soil Survey:       Test Area")
check(header is not None and header.font.size.pt == 13 and header.font.bold, "section header 13 pt bold")
check(len(rating.tables) == 2, "one table per survey area")
first, second = rating.tables
check(widths(first) == [50, 120, 84, 266], "first table widths %r" % widths(first))
check(widths(second) == [50, 120, 210, 140], "40-character rating widths %r" % widths(second))
head = [cell.text for cell in first.rows[0].cells]
check(head == ["Map Symbol", "\nSoil Name", "\nRating", "\nDominant Component(s) and Reason(s)"],
      "header row %r" % head)
head_run = first.rows[0].cells[0].paragraphs[0].runs[0]
check(head_run.font.bold and head_run.font.size.pt == 11, "header row 11 pt bold")
body_run = first.rows[1].cells[1].paragraphs[0].runs[0]
check(body_run.font.size.pt == 10 and not body_run.font.bold, "rows 10 pt plain")
symbols = [row.cells[0].text for row in first.rows[1:]]
check(symbols == ["Cd", "Ab"], "rows in the survey's order without unrated units: %r" % symbols)
alpha = first.rows[2].cells
check(alpha[2].text == "Very limited", "rating cell %r" % alpha[2].text)
check(cell_lines(alpha[3]) == ["Component - Alpha (60%)", "  Slope", "  Depth to saturated zone", "  Flooding"],
      "reasons cell %r" % cell_lines(alpha[3]))
check(bullets(alpha[3]) == 3, "three bullets, found %d" % bullets(alpha[3]))
check(second.rows[1].cells[2].text == "Somewhat limited by slope and by wetness", "long rating kept whole")

# Reasons off; description, options and the label on.
options = open_doc("rating_options.docx")
lines = texts(options)
expected = ["Hill Farm", "Ames, IA 50010", "", "Dwellings - Dominant Soil", "(Ignore below 10%.    Set Null to Zero.)",
            "Top Depth : 0", "Bottom Depth : 25", "Beginning Month : April", "Ending Month : September",
            "Rating : Lower", "Houses of three stories."]
check(lines[:len(expected)] == expected, "label, heading and options %r" % lines[:len(expected)])
label = options.paragraphs[0].runs[0]
check(label.font.size.pt == 11 and not label.font.bold, "label 11 pt plain")
option_run = run_of(options, "Top Depth : 0")
check(option_run is not None and option_run.font.size.pt == 11 and option_run.font.bold, "option lines 11 pt bold")
description = run_of(options, "Houses of three stories.")
check(description is not None and not description.font.bold, "description plain")
check(len(options.tables) == 2, "two sections")
check([len(t.columns) for t in options.tables] == [3, 3], "three columns without reasons")
check(widths(options.tables[0]) == [50, 120, 84], "widths %r" % widths(options.tables[0]))
check(widths(options.tables[1]) == [50, 120, 280], "widths %r" % widths(options.tables[1]))

# The non-technical report.
nontech = open_doc("nontech.docx")
lines = [line for line in texts(nontech)]
check(lines[:3] == ["Hill Farm", "Ames, IA 50010", ""], "label %r" % lines[:3])
for wanted in ("Soil Survey Area: Test Area", "Soil Survey Area: Second Area", "Survey Status:       Updated",
               "Correlation Date:  10/01/2023", "Distribution Date: 01/02/2024"):
    check(wanted in lines, "area line %r" % wanted)
order = ["Soil Survey Area: Test Area", "Map Unit: Cd NOT FOUND IN SOILS DATABASE!", "Map Unit: Ab Alpha loam",
         "Description Category: SOIL", "Alpha soils are deep and well drained.", "Description Category: USE",
         "Good for pasture.", "Map Unit: Ef Gamma", "Soil Survey Area: Second Area", "Map Unit: Gh Delta sand",
         "Description Category: SOIL", "Delta is sandy."]
positions = []
start = 0
for wanted in order:
    try:
        start = lines.index(wanted, start)
        positions.append(start)
    except ValueError:
        failures.append("non-technical line %r missing or out of order" % wanted)
check("Not picked." not in lines, "only the chosen categories")
area = run_of(nontech, "Soil Survey Area: Test Area")
check(area is not None and area.font.size.pt == 13 and area.font.bold, "area heading 13 pt bold")
unit = run_of(nontech, "Map Unit: Ab Alpha loam")
check(unit is not None and unit.font.size.pt == 11 and unit.font.bold and unit.font.italic,
      "map unit 11 pt bold italic")
missing = run_of(nontech, "Map Unit: Cd NOT FOUND IN SOILS DATABASE!")
check(missing is not None and missing.font.bold and not missing.font.italic, "missing unit bold, not italic")
category = run_of(nontech, "Description Category: USE")
check(category is not None and category.font.size.pt == 12 and category.font.bold and category.font.italic,
      "category 12 pt bold italic")
text = run_of(nontech, "Good for pasture.")
check(text is not None and text.font.size.pt == 11 and not text.font.bold and not text.font.italic,
      "text 11 pt plain")

for document, name in ((rating, "rating"), (nontech, "nontech")):
    section = document.sections[0]
    check(round(section.page_width.inches, 1) == 8.5, name + ": Letter page")
    check("Quillon" in section.header.paragraphs[0].text, name + ": template header kept")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("all report checks passed")
