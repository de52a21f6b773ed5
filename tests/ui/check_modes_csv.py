"""Reads the Modes window's CSV back with Python's csv module: the modes
table and the shapes table, each with its header row and units, the
summary after them, every number a number and every undefined cell empty."""
import csv
import io
import subprocess
import sys

text = subprocess.run([sys.argv[1]], check=True, capture_output=True).stdout.decode("utf-8")
rows = list(csv.reader(io.StringIO(text, newline="")))
failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)


blank = [i for i, row in enumerate(rows) if row == []]
expect(len(blank) == 2, f"two empty rows between the three parts, not {blank}")
modes, shapes, summary = rows[: blank[0]], rows[blank[0] + 1 : blank[1]], rows[blank[1] + 1 :]
header = modes[0]
expect(header[:6] == ["Mode", "\u03bb (1/s\u00b2)", "\u00b1 bound", "\u03c9 (rad/s)", "f (Hz)", "T (s)"], header)
expect("\u03b6 (Rayleigh)" in header, "a damping ratio column")
for d in ("x", "y"):
    for title in (f"\u0393 {d} (\u221akg)", f"Mass {d} (kg)", f"Share {d} (%)", f"Cumulative {d} (%)"):
        expect(title in header, f"column {title}")
expect(len(modes) == 5, f"a header and four modes, not {len(modes)} rows")
for row in modes[1:]:
    expect(len(row) == len(header), f"{row} has as many cells as the header")
    for cell in row:
        float(cell)  # every cell a number here: the frame has all its frequencies
for d in ("x", "y"):
    share = header.index(f"Share {d} (%)")
    cumulative = header.index(f"Cumulative {d} (%)")
    total = sum(float(row[share]) for row in modes[1:])
    expect(abs(total - 100) <= 0.03, f"the shares in {d} add up to {total}")
    expect(modes[-1][cumulative] == "100.00", f"the cumulative share in {d} ends at {modes[-1][cumulative]}")
    for row in modes[1:]:
        expect(len(row[share].split(".")[1]) == 2, f"two decimals: {row[share]}")
expect(shapes[0] == ["Degree of freedom", "Direction", "Mode 1", "Mode 2", "Mode 3", "Mode 4"], shapes[0])
expect([row[1] for row in shapes[1:]] == ["x", "y", "x", "y"], "the directions in the shapes table")
for row in shapes[1:]:
    for cell in row[2:]:
        float(cell)
values = {row[0]: row[1] for row in summary}
expect(values.get("Total mass x (kg)") == "15" and values.get("Total mass y (kg)") == "15", values)
expect(abs(float(values["Effective masses added up y (kg)"]) - 15) < 1e-9, values)
expect(values.get("Normalisation") == "x\u1d40Mx = 1", values)
expect(values.get("Rayleigh modes") == "1 and 2", values)
float(values["Rayleigh a0 (1/s)"])
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
