#!/usr/bin/python3
"""One Tarnwick run done by hand with pyvisa, as a bench script would: the same
commands and reads, through a Prologix-style adaptor on a raw TCP socket,
sending the adaptor's "++" commands itself.

The dialogue is not written out here: it is taken from the trace of a
simulated tarnwick-cli run, so the two always say the same thing.

Usage: pyvisa_run.py HOST:PORT [--nodelay] < TRACE
TRACE is what `tarnwick-cli --simulate --trace -` writes to standard error.
--nodelay turns Nagle's algorithm off on pyvisa-py's socket, which it leaves
on: without it every query waits for the delayed ACK of the write before.
Prints each reply the analyser gave, one a line.
"""
import re
import socket
import subprocess
import sys

import pyvisa

ADAPTOR_SETUP = ["++savecfg 0", "++mode 1", "++auto 0", "++eoi 1", "++eos 3", "++eot_enable 0",
                 "++read_tmo_ms 3000", "++addr 8"]
TRACE_LINE = re.compile(r'^\S+ (ibwrt|ibrd)\(\d+, (?:"((?:[^"\\]|\\.)*)"|\d+)')


def unquote(text):
    return re.sub(r'\\(x[0-9A-F]{2}|.)',
                  lambda m: chr(int(m.group(1)[1:], 16)) if m.group(1)[0] == "x"
                  else {"r": "\r", "n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), text)


def dialogue(cli, args=()):
    """The writes and reads of a simulated run of cli with args."""
    return dialogue_of(subprocess.run([cli, "--simulate", "--trace", "-", *args],
                                      capture_output=True, text=True, check=True).stderr)


def dialogue_of(trace):
    """A trace's writes and reads, in order: ("write", text) or ("read", None)."""
    steps = []
    for line in trace.splitlines():
        m = TRACE_LINE.match(line)
        if m:
            steps.append(("write", unquote(m.group(2))) if m.group(1) == "ibwrt" else ("read", None))
    return steps


def escaped(text):
    return re.sub("([\r\n\x1b+])", "\x1b\\1", text)


def run(where, steps, nodelay=False):
    """Does the dialogue against the adaptor at where; returns the replies."""
    host, port = where.rsplit(":", 1)
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP::{host}::{port}::SOCKET", read_termination="\n",
                            write_termination="\n", timeout=10000)
    try:
        if nodelay:  # pyvisa-py's own session object holds the socket
            inst.visalib.sessions[inst.session].interface.setsockopt(
                socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for command in ADAPTOR_SETUP:
            inst.write(command)
        version = inst.query("++ver")
        if "GPIB" not in version.upper():
            raise RuntimeError(f"not a GPIB adaptor: {version!r}")
        replies = []
        for kind, text in steps:
            if kind == "write":
                inst.write(escaped(text))
            else:
                inst.write("++read eoi")
                replies.append(inst.read() + "\n")  # pyvisa strips the LF that ends it
        inst.write("++loc")
        return replies
    finally:
        inst.close()
        rm.close()


if __name__ == "__main__":
    for reply in run(sys.argv[1], dialogue_of(sys.stdin.read()), "--nodelay" in sys.argv[2:]):
        sys.stdout.write(reply)
