#!/usr/bin/python3
"""First contact over every transport, as a bench engineer meets it: for each
way of reaching the analyser and each situation (it answers, it is silent,
nothing listens, the connection drops), a real tarnwick-cli run against the
simulated analyser, timed from the start (for a drop, from the drop) to the
first line it prints, with its exit status and that line. Also identify
against a silent analyser. The silent cases wait out real timeouts: about a
minute and a half in all.

Usage: bench/first_contact.py [BUILD_DIR]   (default build/default)
"""
import os
import select
import signal
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "default")
CLI = os.path.join(BUILD, "app", "tarnwick-cli")
SIM = os.path.join(BUILD, "app", "tarnwick-sim")
GPIB_LIB = os.path.join(BUILD, "sim", "libtarnwick_sim_gpib.so")
VISA_LIB = os.path.join(BUILD, "sim", "libtarnwick_sim_visa.so")
SCENES = os.path.join(HERE, "..", "sim", "scenes")
SILENT = os.path.join(SCENES, "silent.scene")
AWAY = os.path.join(SCENES, "no-listener.scene")  # listens at address 9


class Sim:
    """tarnwick-sim on a free port or a pseudo-terminal."""

    def __init__(self, *args):
        extra = [] if "--pty" in args else ["--listen", "127.0.0.1:0"]
        self.proc = subprocess.Popen([SIM, *args, *extra], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        self.where = self.proc.stdout.readline().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def first_line(args, env=None, drop=None):
    """Seconds to the first line that tells how it went (a result line when
    the run succeeds, else the message on standard error), the exit status
    and that line. drop() is called once the first output is out, and the
    time then counts from it."""
    start = time.monotonic()
    proc = subprocess.Popen([CLI, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env={**os.environ, **(env or {})})
    streams = {proc.stdout.fileno(): "out", proc.stderr.fileno(): "err"}
    first = {}  # stream -> (seconds, line)
    while streams:
        ready, _, _ = select.select(list(streams), [], [])
        for fd in ready:
            got = os.read(fd, 4096)
            if not got:
                del streams[fd]
                continue
            if drop is not None:
                drop()
                drop = None
                start = time.monotonic()
                continue
            first.setdefault(streams[fd], (time.monotonic() - start,
                                           got.split(b"\n")[0].decode(errors="replace").strip()))
    proc.wait()
    took, line = first.get("out" if proc.returncode == 0 else "err", (None, ""))
    return took, proc.returncode, line


def cell(result):
    took, status, _ = result
    return f"{took:.3f} s, exit {status}" if took is not None else f"no output, exit {status}"


def main():
    rows = []  # (transport, situation, result)

    def gpib(scene, *more):
        return first_line(["--gpib-library", GPIB_LIB, *more], env={"TARNWICK_SIM_SCENE": scene})

    rows.append(("GPIB library", "answers", gpib(os.path.join(SCENES, "default.scene"))))
    rows.append(("GPIB library", "silent", gpib(SILENT)))
    rows.append(("GPIB library", "nothing listening", gpib(AWAY)))

    for label, serve, situations in (("Prologix TCP", (), True),
                                     ("Prologix TCP, quiet adaptor", ("--adaptor", "quiet"), False),
                                     ("Prologix serial", ("--pty",), True),
                                     ("raw socket", ("--scpi",), True)):
        def resource(sim):
            if "--scpi" in serve:
                host, port = sim.where.rsplit(":", 1)
                return ["--dialect", "scpi", "--resource", f"TCPIP::{host}::{port}::SOCKET"]
            if "--pty" in serve:
                return ["--resource", f"PRLGX-ASRL::{sim.where}::8::INSTR"]
            host, port = sim.where.rsplit(":", 1)
            return ["--resource", f"PRLGX-TCPIP::{host}::{port}::8::INSTR"]

        with Sim(*serve) as sim:
            rows.append((label, "answers", first_line(resource(sim))))
        if not situations:
            continue
        with Sim(*serve, "--scene", SILENT) as sim:
            rows.append((label, "silent", first_line(resource(sim))))
        if "--pty" in serve:
            master, slave = os.openpty()  # a port with nothing behind it
            rows.append((label, "nothing listening",
                         first_line(["--resource", f"PRLGX-ASRL::{os.ttyname(slave)}::8::INSTR"])))
            os.close(master)
            os.close(slave)
        else:
            port = closed_port()
            where = (["--dialect", "scpi", "--resource", f"TCPIP::127.0.0.1::{port}::SOCKET"]
                     if "--scpi" in serve else
                     ["--resource", f"PRLGX-TCPIP::127.0.0.1::{port}::8::INSTR"])
            rows.append((label, "nothing listening", first_line(where)))
        sim = Sim(*serve)
        rows.append((label, "connection dropped",
                     first_line([*resource(sim), "--avg"], drop=sim.stop)))

    visa = ["--backend", "visa", "--visa-library", VISA_LIB]
    rows.append(("VISA", "answers", first_line([*visa, "--resource", "GPIB0::8::INSTR"])))
    rows.append(("VISA", "silent", first_line([*visa, "--resource", "GPIB0::8::INSTR"],
                                             env={"TARNWICK_SIM_SCENE": SILENT})))
    rows.append(("VISA", "nothing listening", first_line([*visa, "--resource", "GPIB0::9::INSTR"])))

    rows.append(("GPIB library", "identify, silent", gpib(SILENT, "identify")))
    with Sim("--scene", SILENT) as sim:
        host, port = sim.where.rsplit(":", 1)
        rows.append(("Prologix TCP", "identify, silent", first_line(
            ["identify", "--resource", f"PRLGX-TCPIP::{host}::{port}::8::INSTR"])))
    with Sim("--scpi", "--scene", SILENT) as sim:
        host, port = sim.where.rsplit(":", 1)
        rows.append(("raw socket", "identify, silent", first_line(
            ["identify", "--resource", f"TCPIP::{host}::{port}::SOCKET"])))

    for transport, situation, result in rows:
        print(f"{transport:28} {situation:20} {cell(result):18} {result[2]}")


if __name__ == "__main__":
    main()
