#!/usr/bin/env python3
"""Times tarnwick-cli as a user runs it: a simulated run with and without the
journal, and runs/show on a journal of 10,000 runs.

    bench/journal_cli_bench.py [BUILD_DIR]      (default build/default)
"""
import os, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build/default"
cli = os.path.join(build, "app", "tarnwick-cli")
maker = os.path.join(build, "bench", "journal_bench")


def timed(args, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        subprocess.run([cli] + args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


with tempfile.TemporaryDirectory() as tmp:
    journal = os.path.join(tmp, "runs.sqlite")
    # Interleaved, so that a busy machine slows both alike.
    on, off = [], []
    for _ in range(40):
        on.append(timed(["--simulate", "--journal", journal], 1))
        off.append(timed(["--simulate", "--no-journal"], 1))
    print(f"simulated run, journaled:      {statistics.median(on):7.2f} ms (median of 40)")
    print(f"simulated run, --no-journal:   {statistics.median(off):7.2f} ms")
    print(f"journaling adds:               {statistics.median(on) - statistics.median(off):7.2f} ms")

    big = os.path.join(tmp, "big.sqlite")
    subprocess.run([maker, "--make-journal", big], check=True)
    print(f"runs on 10,000 runs:           {timed(['runs', '--journal', big], 20):7.2f} ms (median of 20)")
    print(f"runs --last 20 on 10,000 runs: {timed(['runs', '--last', '20', '--journal', big], 20):7.2f} ms")
    print(f"show 5000 on 10,000 runs:      {timed(['show', '5000', '--journal', big], 20):7.2f} ms")
