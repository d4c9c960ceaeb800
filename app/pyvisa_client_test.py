#!/usr/bin/python3
"""A client nobody here wrote: pyvisa drives tarnwick-sim through a raw TCP
socket, sends the adaptor's "++" commands itself, and must read the same
replies a simulated Tarnwick run reads.

Usage: pyvisa_client_test.py TARNWICK_CLI TARNWICK_SIM BENCH_DIR [unittest args]
"""
import re
import signal
import subprocess
import sys
import unittest

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


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[4:]])
