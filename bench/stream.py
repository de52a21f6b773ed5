#!/usr/bin/env python3
"""Times the batch command on a seeded file of problems for each n, from a
file to a file, with one worker thread (-j 1) and with its default (the
cores it may use), beside NumPy's batched routines on the same problems
(Cholesky, inverse and eigvalsh on stacked arrays, in a process of its own,
the first call and, warm, the best of three more; reading the file is not
counted). Prints problems a second: the median of RUNS runs and their spread
(the runs of every kind take turns, so a slow spell of a shared machine falls
on all alike). Also times a comment line of 100 MiB.
Usage: stream.py VARNO_CLI WORKDIR [PROBLEMS [RUNS]]
With VARNO_CLI_BASELINE=NAME=PATH[,NAME=PATH...], other builds of the
command are timed beside -j 1 (the same run, the same files)."""
import os
import random
import statistics
import subprocess
import sys
import time

cli, workdir = sys.argv[1], sys.argv[2]
count = int(sys.argv[3]) if len(sys.argv) > 3 else 200_000
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
baselines = [b.split("=", 1) for b in os.environ.get("VARNO_CLI_BASELINE", "").split(",") if "=" in b]
TARGET_NUMPY = 1.6  # the default against NumPy batched, n = 4 --json

try:
    import numpy as np
except ImportError:
    np = None
    print("NumPy is not installed (scripts/install-deps.sh bench): no batched reference")


# n = 10 goes the dynamic-size path, one problem after another: fewer of them.
COUNT_OF = {10: 100_000}


def count_of(n):
    return min(count, COUNT_OF.get(n, count))


def generate(n, path):
    """Random symmetric K in [-1, 1], M = G G^T + 0.1 I, full precision."""
    rng = random.Random(20261208 + n)
    with open(path, "w") as f:
        for _ in range(count_of(n)):
            g = [[rng.uniform(-1, 1) for _ in range(n)] for _ in range(n)]
            k = [[rng.uniform(-1, 1) for _ in range(n)] for _ in range(n)]
            m = [[sum(g[i][t] * g[j][t] for t in range(n)) + (0.1 if i == j else 0.0)
                  for j in range(n)] for i in range(n)]
            f.write("K\n")
            for i in range(n):
                f.write(" ".join(repr(k[i][j]) for j in range(i, n)) + "\n")
            f.write("M\n")
            for i in range(n):
                f.write(" ".join(repr(m[i][j]) for j in range(i, n)) + "\n")


def stacked(n, path):
    """The file's problems as two arrays of full symmetric matrices."""
    k = np.zeros((count_of(n), n, n))
    m = np.zeros((count_of(n), n, n))
    with open(path) as f:
        lines = f.read().split("\n")
    at = 0
    for p in range(count_of(n)):
        for target in (k, m):
            at += 1  # the line "K" or "M"
            for i in range(n):
                row = [float(x) for x in lines[at].split()]
                at += 1
                for j in range(i, n):
                    target[p, i, j] = target[p, j, i] = row[j - i]
    return k, m


# In a process of its own, as a script would call it: the first call, and
# the best of three more once NumPy's memory is warm.
NUMPY_RUN = """
import sys, time, numpy as np
k, m = np.load(sys.argv[1]), np.load(sys.argv[2])
def once():
    start = time.perf_counter()
    low = np.linalg.cholesky(m)
    inverse = np.linalg.inv(low)
    np.linalg.eigvalsh(inverse @ k @ np.swapaxes(inverse, -1, -2))
    return time.perf_counter() - start
print(once(), min(once() for _ in range(3)))
"""


def numpy_seconds(paths):
    out = subprocess.run([sys.executable, "-c", NUMPY_RUN, *paths], capture_output=True, text=True, check=True)
    first, again = out.stdout.split()
    return float(first), float(again)


def cli_seconds(command, source, answers):
    with open(answers, "w") as out:
        start = time.perf_counter()
        subprocess.run(command + [source], stdout=out, stderr=subprocess.DEVNULL, check=False)
        return time.perf_counter() - start


def summary(seconds, problems):
    rates = sorted(problems / s for s in seconds)
    return statistics.median(rates), rates[0], rates[-1]


kinds = [(name, [path]) for name, path in baselines] + [("-j 1", [cli, "-j", "1"]), ("default", [cli])]
# The answers go to memory where there is a tmpfs: the disk's write-back
# would time the machine, not the command.
answers = os.path.join("/dev/shm" if os.path.isdir("/dev/shm") else workdir, f"varno-answers-{os.getpid()}.txt")
results = {}
# n = 6, the largest the program takes, answered by the certified numerics
# alone: its --json beside the closed forms'.
modes_of = {2: ("plain", "json"), 3: ("plain", "json"), 4: ("plain", "json"), 6: ("json",), 10: ("json",)}
# A script that does what the batch command does for n = 10 with SciPy:
# reads the same file, solves each pencil, writes one JSON line each.
SCIPY_RUN = """
import sys, json, numpy as np, scipy.linalg
out = open(sys.argv[2], "w")
lines = open(sys.argv[1]).read().split("\\n")
n, at = int(sys.argv[3]), 0
while at + 2 * n + 2 <= len(lines):
    mats = []
    for _ in range(2):
        at += 1
        a = np.zeros((n, n))
        for i in range(n):
            row = [float(x) for x in lines[at].split()]
            at += 1
            a[i, i:] = row
            a[i:, i] = row
        mats.append(a)
    out.write(json.dumps({"n": n, "eigenvalues": scipy.linalg.eigh(mats[0], mats[1], eigvals_only=True).tolist()}) + "\\n")
"""
try:
    import scipy  # noqa: F401
except ImportError:
    scipy = None
for n in modes_of:
    source = os.path.join(workdir, f"problems-{n}-{count_of(n)}.txt")
    if not os.path.exists(source):
        generate(n, source)
    arrays = None
    if np is not None:
        arrays = [os.path.join(workdir, f"problems-{n}-{count_of(n)}-{name}.npy") for name in "km"]
        if not all(os.path.exists(a) for a in arrays):
            for path, stack in zip(arrays, stacked(n, source)):
                np.save(path, stack)
    for mode in modes_of[n]:
        times = {name: [] for name, _ in kinds}
        times["numpy"] = []
        times["numpy warm"] = []
        times["scipy script"] = []
        for _ in range(runs):
            for name, command in kinds:
                times[name].append(cli_seconds(command + (["--json"] if mode == "json" else []), source, answers))
            if arrays is not None and mode == "json":
                first, again = numpy_seconds(arrays)
                times["numpy"].append(first)
                times["numpy warm"].append(again)
            if scipy is not None and n == 10:
                start = time.perf_counter()
                subprocess.run([sys.executable, "-c", SCIPY_RUN, source, answers, str(n)], check=True)
                times["scipy script"].append(time.perf_counter() - start)
        for name, seconds in times.items():
            if seconds:
                results[(n, mode if not name.startswith(("numpy", "scipy")) else "json", name)] = summary(seconds, count_of(n))

print(f"batch command, {count:,} problems per n ({COUNT_OF[10]:,} for n = 10), file to file; problems a second, "
      f"median of {runs} (slowest to fastest); {os.cpu_count()} cores, default -j {len(os.sched_getaffinity(0))}")
names = [name for name, _ in kinds] + (["numpy", "numpy warm"] if np is not None else []) + ["scipy script"]
for n in modes_of:
    for mode in modes_of[n]:
        cells = []
        for name in names:
            r = results.get((n, "json" if name.startswith(("numpy", "scipy")) else mode, name))  # NumPy writes nothing
            if r is not None:
                cells.append(f"{name} {r[0]:>9,.0f} ({r[1]:,.0f}-{r[2]:,.0f})")
        line = f"n = {n} {mode:5} " + "  ".join(cells)
        if np is not None:
            ratio = results[(n, mode, "default")][0] / results[(n, "json", "numpy")][0]
            line += f"  default/numpy {ratio:.2f}x"
        if (n, "json", "scipy script") in results:
            ratio = results[(n, mode, "default")][0] / results[(n, "json", "scipy script")][0]
            line += f"  default/scipy script {ratio:.2f}x"
        print(line)
if np is not None:
    for name in ("numpy", "numpy warm"):
        ratio = results[(4, "json", "default")][0] / results[(4, "json", name)][0]
        print(f"default / {name + ' batched,':<19} n = 4 --json  {ratio:.2f}x  target >= {TARGET_NUMPY}x   "
              f"{'met' if ratio >= TARGET_NUMPY else 'NOT met'}")
for name, _ in baselines:
    for n in modes_of:
        for mode in modes_of[n]:
            ratio = results[(n, mode, "-j 1")][0] / results[(n, mode, name)][0]
            print(f"-j 1 / {name}, n = {n} {mode:5}  {ratio:.2f}x")

# A comment line of 100 MiB and a problem: read as it streams by.
long_line = os.path.join(workdir, "comment-100MiB.txt")
if not os.path.exists(long_line):
    with open(long_line, "w") as f:
        f.write("#" + "x" * (100 << 20) + "\nK\n2 0\n6\nM\n1 0\n2\n")
seconds = sorted(cli_seconds([cli], long_line, answers) for _ in range(runs))
print(f"a comment line of 100 MiB: {statistics.median(seconds):.3f} s (median of {runs}; "
      f"{seconds[0]:.3f} to {seconds[-1]:.3f})")
os.remove(answers)
