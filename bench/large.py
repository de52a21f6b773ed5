#!/usr/bin/env python3
"""One model of n degrees of freedom from Matrix Market files, end to end:
varno-cli --json --k-file --m-file beside a SciPy script that reads the same
files (scipy.io.mmread) and calls scipy.linalg.eigh(K, M). The model is a
clamped chain of Euler-Bernoulli beam elements (deflection and rotation at
each node), a sparse file as FE codes write one. Prints the medians of RUNS
runs of each (taking turns), their ratio, and each one's peak memory beside
n^2 doubles.
Usage: large.py VARNO_CLI WORKDIR [N [RUNS]]"""
import os
import statistics
import subprocess
import sys
import time

cli, workdir = sys.argv[1], sys.argv[2]
n = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
TARGET = 2.0


def write_model(kpath, mpath):
    k, m = {}, {}

    def add(d, i, j, v):
        if i > j:
            i, j = j, i
        d[(i, j)] = d.get((i, j), 0.0) + v

    length, ei, rho = 0.5, 2.1e11 * 8e-6, 7850 * 1e-3
    for e in range(n // 2):
        ke = [[12, 6 * length, -12, 6 * length], [6 * length, 4 * length ** 2, -6 * length, 2 * length ** 2],
              [-12, -6 * length, 12, -6 * length], [6 * length, 2 * length ** 2, -6 * length, 4 * length ** 2]]
        me = [[156, 22 * length, 54, -13 * length], [22 * length, 4 * length ** 2, 13 * length, -3 * length ** 2],
              [54, 13 * length, 156, -22 * length], [-13 * length, -3 * length ** 2, -22 * length, 4 * length ** 2]]
        idx = [2 * e - 2, 2 * e - 1, 2 * e, 2 * e + 1]
        for r in range(4):
            for c in range(r, 4):
                if idx[r] >= 0 and idx[c] >= 0:
                    add(k, idx[r], idx[c], ei / length ** 3 * ke[r][c])
                    add(m, idx[r], idx[c], rho * length / 420 * me[r][c])
    for path, d in ((kpath, k), (mpath, m)):
        with open(path, "w") as f:
            f.write("%%MatrixMarket matrix coordinate real symmetric\n")
            f.write(f"{n} {n} {len(d)}\n")
            for (i, j), v in sorted(d.items()):
                f.write(f"{j + 1} {i + 1} {v!r}\n")


SCIPY = """
import sys, json, scipy.io, scipy.linalg
k = scipy.io.mmread(sys.argv[1]).toarray()
m = scipy.io.mmread(sys.argv[2]).toarray()
w = scipy.linalg.eigh(k, m, eigvals_only=True)
json.dump({"eigenvalues": w.tolist()}, sys.stdout)
"""


def timed(command):
    """Seconds and peak resident memory (bytes) of one run of command."""
    start = time.perf_counter()
    with open(os.devnull, "w") as out:
        child = subprocess.Popen(command, stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"{command[0]} failed with status {status}")
    return seconds, usage.ru_maxrss * 1024


kpath = os.path.join(workdir, f"beam-{n}_K.mtx")
mpath = os.path.join(workdir, f"beam-{n}_M.mtx")
if not (os.path.exists(kpath) and os.path.exists(mpath)):
    write_model(kpath, mpath)
kinds = {"varno-cli --json": [cli, "--json", "--k-file", kpath, "--m-file", mpath]}
try:
    import scipy  # noqa: F401
    kinds["SciPy eigh"] = [sys.executable, "-c", SCIPY, kpath, mpath]
except ImportError:
    print("SciPy is not installed (scripts/install-deps.sh bench): no reference")
times = {name: [] for name in kinds}
peak = {name: 0 for name in kinds}
for _ in range(runs):
    for name, command in kinds.items():
        seconds, memory = timed(command)
        times[name].append(seconds)
        peak[name] = max(peak[name], memory)
doubles = n * n * 8
print(f"\nOne model of n = {n} from Matrix Market files, end to end (median of {runs}):")
for name in kinds:
    print(f"  {name:<18}{statistics.median(times[name]):>8.3f} s   peak {peak[name] / 2**20:>7.1f} MiB"
          f" = {peak[name] / doubles:.1f} n^2 doubles")
if "SciPy eigh" in kinds:
    ratio = statistics.median(times["varno-cli --json"]) / statistics.median(times["SciPy eigh"])
    print(f"  varno / SciPy {ratio:.2f}x   target <= {TARGET:g}x   {'met' if ratio <= TARGET else 'NOT met'}")
