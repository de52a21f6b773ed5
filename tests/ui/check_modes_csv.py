"""Reads each of the Modes window's CSV files back with Python's csv module:
one rectangular table a file, a header row with units and the rows of one
width; every number a number, in full (it reads back to the very value the
window computes), every undefined cell empty."""
import csv
import io
import subprocess
import sys

failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)


def table(which):
    text = subprocess.run([sys.argv[1], which], check=True, capture_output=True).stdout.decode("utf-8")
    rows = list(csv.reader(io.StringIO(text, newline="")))
    expect(all(len(row) == len(rows[0]) for row in rows), f"{which}: every row as wide as the header")
    expect([] not in rows, f"{which}: one table, no empty rows")
    return rows


modes = table("modes")
header = modes[0]
expect(header[:7] == ["Mode", "\u03bb (1/s\u00b2)", "\u00b1 bound", "\u03c9 (rad/s)", "f (Hz)", "T (s)", "M*"], header)
expect("\u03b6 (Rayleigh)" in header, "a damping ratio column")
# The roof = 1: L in mass, Gamma = L / M* without a unit; a rotation's mass a moment of inertia.
for d, unit in (("x", "kg"), ("y", "kg"), ("rz", "kg\u00b7m\u00b2")):
    for title in (f"L {d} ({unit})", f"\u0393 {d}", f"Mass {d} ({unit})", f"Share {d} (%)", f"Cumulative {d} (%)"):
        expect(title in header, f"column {title}")
expect(len(modes) == 5, f"a header and four modes, not {len(modes)} rows")
for row in modes[1:]:
    for cell in row:
        float(cell)  # every cell a number here: the frame has all its frequencies
    column = {title: float(cell) for title, cell in zip(header, row)}
    for d in ("x", "y", "rz"):
        mass = column[f"L {d} (" + ("kg\u00b7m\u00b2" if d == "rz" else "kg") + ")"] ** 2 / column["M*"]
        effective = column[f"Mass {d} (" + ("kg\u00b7m\u00b2" if d == "rz" else "kg") + ")"]
        expect(abs(mass - effective) <= 1e-12 * max(1.0, effective), f"L^2 / M* is the effective mass in {d}: {row}")
for d in ("x", "y"):
    share = header.index(f"Share {d} (%)")
    total = sum(float(row[share]) for row in modes[1:])
    expect(abs(total - 100) <= 1e-9, f"the shares in {d} add up to {total}, in full")
    expect(any(len(row[share]) > 8 for row in modes[1:]), f"shares in full, not to two decimals: {[r[share] for r in modes[1:]]}")
shapes = table("shapes")
expect(shapes[0] == ["Degree of freedom", "Direction", "Mode 1", "Mode 2", "Mode 3", "Mode 4"], shapes[0])
expect([row[1] for row in shapes[1:]] == ["x", "y", "x", "rz"], "the directions in the shapes table")
expect(all(row[2:] and float(shapes[3][c]) == 1.0 for row in shapes[1:] for c in range(2, 6)), "roof = 1 exactly")
summary = table("summary")
expect(summary[0] == ["Quantity", "Value"], summary[0])
values = {row[0]: row[1] for row in summary[1:]}
expect(values.get("Total mass x (kg)") == "15" and values.get("Total mass rz (kg\u00b7m\u00b2)") == "5", values)
expect(values.get("Normalisation") == "degree of freedom 3 = 1", values)
expect(values.get("Rayleigh modes") == "1 and 2", values)
float(values["Rayleigh a0 (1/s)"])
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
