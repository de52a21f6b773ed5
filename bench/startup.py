#!/usr/bin/env python3
"""Start-up time (process start until the main dialog is shown) and peak
memory of the desktop program, offscreen, median of 10 runs."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

probe = sys.argv[1]
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=tempfile.mkdtemp())
times, rss = [], []
for _ in range(10):
    start = time.monotonic_ns()
    out = subprocess.run([probe], env=env, capture_output=True, text=True, check=True).stdout.split()
    fields = dict(zip(out[::2], out[1::2]))
    times.append((int(fields["shown_ns"]) - start) / 1e6)
    rss.append(int(fields["maxrss_kib"]) / 1024)
t, m = statistics.median(times), statistics.median(rss)
print(f"start-up until the dialog is shown: {t:.1f} ms (median of 10; target < 200 ms) {'met' if t < 200 else 'NOT met'}")
print(f"peak memory: {m:.1f} MiB (median of 10; target < 60 MiB) {'met' if m < 60 else 'NOT met'}")
