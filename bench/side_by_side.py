#!/usr/bin/python3
"""Tarnwick against a pyvisa script doing the same run, both whole processes,
both against the same tarnwick-sim over loopback: 20 runs each, the medians,
their ratio, and the TCP writes each makes per run (counted with strace).
The script runs as written and again with Nagle's algorithm off, which
pyvisa-py leaves on.

Usage: bench/side_by_side.py [BUILD_DIR]   (default build/default)
"""
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 20
HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "default")
CLI = os.path.join(BUILD, "app", "tarnwick-cli")
SIM = os.path.join(BUILD, "app", "tarnwick-sim")
PYVISA_RUN = os.path.join(HERE, "pyvisa_run.py")


def timed(command, stdin_text):
    start = time.perf_counter()
    r = subprocess.run(command, input=stdin_text, capture_output=True, text=True)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        sys.exit(f"{command[0]} failed ({r.returncode}): {r.stderr}")
    return elapsed


def tcp_writes(command, stdin_text, port):
    """Write calls on the socket connected to port, for one run of command."""
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "strace.log")
        subprocess.run(["strace", "-f", "-qq", "-o", log,
                        "-e", "trace=connect,write,writev,send,sendto,sendmsg", *command],
                       input=stdin_text, capture_output=True, text=True, check=True)
        sockets, writes = set(), 0
        for line in open(log):
            m = re.search(r"connect\((\d+), .*htons\(%d\)" % port, line)
            if m:
                sockets.add(m.group(1))
                continue
            m = re.search(r"\b(?:write|writev|send|sendto|sendmsg)\((\d+),", line)
            if m and m.group(1) in sockets:
                writes += 1
        return writes


def main():
    trace = subprocess.run([CLI, "--simulate", "--trace", "-"], capture_output=True, text=True,
                           check=True).stderr
    server = subprocess.Popen([SIM, "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    try:
        where = server.stdout.readline().strip()
        port = int(where.rsplit(":", 1)[1])
        host = where.rsplit(":", 1)[0]
        contenders = {
            # The pyvisa script keeps no journal either: compare the same work.
            "tarnwick-cli": ([CLI, "--resource", f"PRLGX-TCPIP::{host}::{port}::8::INSTR",
                              "--no-journal"], None),
            "pyvisa script": (["/usr/bin/python3", PYVISA_RUN, where], trace),
            "  with NODELAY": (["/usr/bin/python3", PYVISA_RUN, where, "--nodelay"], trace),
        }
        medians, writes = {}, {}
        for name, (command, stdin_text) in contenders.items():
            timed(command, stdin_text)  # warm the caches once
            medians[name] = statistics.median(timed(command, stdin_text) for _ in range(RUNS))
            writes[name] = tcp_writes(command, stdin_text, port)
    finally:
        server.send_signal(signal.SIGINT)
        server.wait(timeout=10)

    print(f"{RUNS} whole runs each against tarnwick-sim on {where}:")
    for name in contenders:
        print(f"  {name:<14} median {medians[name] * 1000:8.1f} ms   {writes[name]:3d} TCP writes per run")
    for name in ("pyvisa script", "  with NODELAY"):
        ratio = medians[name] / medians["tarnwick-cli"]
        print(f"  ratio {name.strip()}/tarnwick-cli: {ratio:.1f}x")


if __name__ == "__main__":
    main()
