#!/usr/bin/python3
"""A client nobody here wrote: pyvisa drives tarnwick-sim through a raw TCP
socket, sends the adaptor's "++" commands itself, and must read the same
replies a simulated Tarnwick run reads; and it speaks SCPI to tarnwick-sim
--scpi as to an analyser on port 5025.

Usage: pyvisa_client_test.py TARNWICK_CLI TARNWICK_SIM BENCH_DIR [unittest args]
"""
import re
import signal
import subprocess
import sys
import time
import unittest

import pyvisa

CLI, SIM, BENCH = sys.argv[1:4]
sys.path.insert(0, BENCH)
import pyvisa_run  # noqa: E402  (the bench's own pyvisa script)


class PyvisaClient(unittest.TestCase):
    def test_replays_a_run_and_reads_the_same_replies(self):
        # Without averaging the dialogue does not depend on timing.
        steps = pyvisa_run.dialogue(CLI)
        trace = subprocess.run([CLI, "--simulate", "--trace", "-"], capture_output=True,
                               text=True, check=True).stderr
        expected = [pyvisa_run.unquote(m) for m in re.findall(r'ibrd\(\d+, \d+\) -> "([^"]*)"', trace)]
        self.assertEqual(len(expected), 12)

        server = subprocess.Popen([SIM, "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, text=True)
        try:
            replies = pyvisa_run.run(server.stdout.readline().strip(), steps)
            # Stopping the server before it logs the client's leaving would race it.
            closed = next(line for line in server.stderr if "closed" in line)
        finally:
            server.send_signal(signal.SIGINT)
            server.communicate(timeout=10)
        self.assertEqual(replies, expected)
        self.assertEqual(server.returncode, 0)
        self.assertIn("127.0.0.1", closed)

    def test_speaks_scpi_to_it(self):
        server = subprocess.Popen([SIM, "--scpi", "--listen", "127.0.0.1:0"],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        rm = pyvisa.ResourceManager("@py")
        try:
            host, port = server.stdout.readline().strip().rsplit(":", 1)
            inst = rm.open_resource(f"TCPIP::{host}::{port}::SOCKET", read_termination="\n",
                                    write_termination="\n", timeout=10000)
            self.assertTrue(inst.query("*IDN?").startswith("Tarnwick,"))
            # The span around the upper close-in spur of the built-in scene.
            inst.write(":sense:frequency:start 1952500000;:SENS:FREQ:STOP 3100000000")
            inst.write(":SENS:AVER:STAT ON;:INIT:IMM;*OPC")
            deadline = time.monotonic() + 10
            while not int(inst.query("*ESR?")) & 1:
                self.assertLess(time.monotonic(), deadline)
                time.sleep(0.01)
            inst.write(":CALC:MARK1:MAX")
            self.assertEqual(float(inst.query(":CALC:MARK1:X?")), 1953156250)
            self.assertEqual(float(inst.query(":CALC:MARK1:Y?")), -52.85)
            inst.write(":SENS:FREQ:STAR nonsense")
            self.assertEqual(inst.query(":SYST:ERR?"), '-104,"Data type error"')
            self.assertEqual(inst.query(":SYST:ERR?"), '+0,"No error"')
            inst.close()
            next(line for line in server.stderr if "closed" in line)
        finally:
            rm.close()
            server.send_signal(signal.SIGINT)
            server.communicate(timeout=10)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[4:]])
