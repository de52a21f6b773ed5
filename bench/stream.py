#!/usr/bin/env python3
"""Times the batch command on a seeded file of problems for each n, from a
file to a file, and prints problems a second (median of 5 runs).
Usage: stream.py VARNO_CLI WORKDIR [PROBLEMS]"""
import os
import random
import statistics
import subprocess
import sys
import time

cli, workdir = sys.argv[1], sys.argv[2]
count = int(sys.argv[3]) if len(sys.argv) > 3 else 200_000
TARGET = 300_000  # problems a second for n = 4


def generate(n, path):
    """Random symmetric K in [-1, 1], M = G G^T + 0.1 I, full precision."""
    rng = random.Random(20261208 + n)
    with open(path, "w") as f:
        for _ in range(count):
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


rates = {}
for n in (2, 3, 4):
    source = os.path.join(workdir, f"problems-{n}-{count}.txt")
    if not os.path.exists(source):
        generate(n, source)
    answers = os.path.join(workdir, f"answers-{n}.txt")
    for mode in ("plain", "json"):
        seconds = []
        for _ in range(5):
            args = [cli] + (["--json"] if mode == "json" else []) + [source]
            with open(answers, "w") as out:
                start = time.perf_counter()
                subprocess.run(args, stdout=out, check=True)
                seconds.append(time.perf_counter() - start)
        rates[(n, mode)] = count / statistics.median(seconds)
        print(f"batch n = {n}, {mode:5}: {rates[(n, mode)]:>9,.0f} problems a second "
              f"({count:,} problems, file to file, median of 5)")
best = rates[(4, "plain")]
print(f"batch n = 4 plain        {best:>9,.0f} /s  target >= {TARGET:,}   {'met' if best >= TARGET else 'NOT met'}")
