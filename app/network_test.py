#!/usr/bin/python3
"""tarnwick-cli against tarnwick-sim over TCP and a pseudo-terminal, and
through the simulated VISA library: real processes, their output and exit
status. Every server listens on a port the system picks, so tests can run in
parallel.

Usage: network_test.py TARNWICK_CLI TARNWICK_SIM SIM_VISA_LIBRARY SIM_GPIB_LIBRARY SCENES_DIR
                       [unittest args]
"""
import os
import signal
import socket
import subprocess
import sys
import time
import unittest

CLI, SIM, VISA_LIB, GPIB_LIB, SCENES = sys.argv[1:6]
LF_SCENE = os.path.join(SCENES, "lf-replies-800m.scene")
SILENT_SCENE = os.path.join(SCENES, "falls-silent.scene")
LF_ARGS = ["--band", "800M", "--carrier", "830", "--avg"]


def run_cli(*args, env=None, timeout=60):
    r = subprocess.run([CLI, *args], capture_output=True, timeout=timeout,
                       env={**os.environ, **(env or {})})
    return r.returncode, r.stdout.decode(), r.stderr.decode()


def simulated(*args, scene=None):
    """What the built-in simulator prints for the same run."""
    extra = ["--sim-scene", scene] if scene else []
    status, out, err = run_cli("--simulate", *extra, *args)
    assert status == 0, err
    return out


class Server:
    """tarnwick-sim on an ephemeral port or a pseudo-terminal."""

    def __init__(self, *args, scene=None, listen="127.0.0.1:0"):
        extra = ["--scene", scene] if scene else []
        if "--pty" not in args:
            extra += ["--listen", listen]
        self.proc = subprocess.Popen([SIM, *args, *extra], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
        self.where = self.proc.stdout.readline().strip()

    def tcp(self, pad=8):
        host, port = self.where.rsplit(":", 1)
        return f"PRLGX-TCPIP::{host}::{port}::{pad}::INSTR"

    def serial(self, pad=8):
        return f"PRLGX-ASRL::{self.where}::{pad}::INSTR"

    def socket(self):
        host, port = self.where.rsplit(":", 1)
        return f"TCPIP::{host}::{port}::SOCKET"

    def resource(self, serve):
        """The resource and dialect options that reach how it serves."""
        if "--scpi" in serve:
            return ["--resource", self.socket(), "--dialect", "scpi"]
        return ["--resource", self.serial() if "--pty" in serve else self.tcp()]

    def stop(self):
        """Ctrl-C; returns the exit status and the log."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
        _, log = self.proc.communicate(timeout=10)
        return self.proc.returncode, log

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class WholeRuns(unittest.TestCase):
    def test_adaptor_and_socket_runs_print_what_the_built_in_simulator_prints(self):
        cases = [  # (how tarnwick-sim serves, cli arguments, scene)
            ((), [], None),
            ((), LF_ARGS, LF_SCENE),
            (("--pty",), [], None),
            (("--pty",), LF_ARGS, LF_SCENE),
            (("--scpi",), [], None),
            (("--scpi",), LF_ARGS, LF_SCENE),
            # Adaptors that answer no setting asked back, or "++ver" only slowly.
            (("--adaptor", "quiet"), [], None),
            (("--pty", "--adaptor", "slow-ver"), [], None),
        ]
        for serve, args, scene in cases:
            with self.subTest(serve=serve, args=args):
                with Server(*serve, scene=scene) as server:
                    status, out, err = run_cli(*server.resource(serve), *args)
                    self.assertEqual(status, 0, err)
                    self.assertEqual(out, simulated(*args, scene=scene))
                    self.assertNotIn("simulated", err)

    def test_ipv6_loopback_and_the_trace_naming_the_adaptor(self):
        with Server(listen="[::1]:0") as server:
            host, port = server.where.rsplit(":", 1)
            self.assertEqual(host, "::1")
            resource = f"PRLGX-TCPIP::[::1]::{port}::8::INSTR"
            status, out, err = run_cli("--resource", resource, "--trace", "-")
            self.assertEqual(status, 0, err)
            self.assertEqual(out, simulated())
            self.assertEqual(err.splitlines()[0],
                             f"# Prologix-style GPIB adaptor over TCP, {resource}")

    def test_a_line_past_4_kib_is_cut_off(self):
        with Server() as server:
            host, port = server.where.rsplit(":", 1)
            with socket.create_connection((host, int(port)), timeout=10) as conn:
                conn.sendall(b"x" * 5000 + b"\n++ver\n")
                self.assertEqual(conn.recv(4096), b"")
            _, log = server.stop()
        self.assertIn("sent a line longer than 4096 bytes: dropping the connection", log)

    def test_gpib_resource_addresses_the_driver_library(self):
        # This scene's analyser listens at address 9.
        env = {"TARNWICK_SIM_SCENE": os.path.join(SCENES, "no-listener.scene")}
        status, out, err = run_cli("--resource", "GPIB0::9::INSTR", "--gpib-library", GPIB_LIB,
                                   "--trace", "-", env=env)
        self.assertEqual(status, 0, err)
        self.assertIn("ibdev(0, 9, 0, 13, 1, 0)", err)
        self.assertEqual(out.count("\r\n"), 7)

    def test_visa_library_serves_what_backend_visa_gives_it(self):
        for resource in ["GPIB0::8::INSTR", "TCPIP::127.0.0.1::5025::SOCKET"]:
            with self.subTest(resource=resource):
                status, out, err = run_cli("--resource", resource, "--visa-library", VISA_LIB,
                                           "--backend", "visa")
                self.assertEqual(status, 0, err)
                self.assertEqual(out, simulated())


class Failures(unittest.TestCase):
    def assertStopped(self, result, *texts, lines=None):
        status, out, err = result
        self.assertEqual(status, 1, err)
        for text in texts:
            self.assertIn(text, err)
        if lines is not None:
            # Results written before the stop are followed by a note that says so.
            self.assertEqual(out.count("\r\n"), lines + (1 if lines else 0), out)
            if lines:
                self.assertIn("\r\n* Run stopped: ", out)

    def test_a_signal_ends_a_wait_for_the_adaptor_at_once(self):
        with Server(scene=SILENT_SCENE) as server:
            cli = subprocess.Popen([CLI, "--resource", server.tcp()], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
            first = b"".join(cli.stdout.readline() for _ in range(4))  # silent from segment 4
            time.sleep(0.3)
            cli.send_signal(signal.SIGTERM)
            sent = time.monotonic()
            rest, err = cli.communicate(timeout=30)
            took = time.monotonic() - sent
        self.assertEqual(cli.returncode, 128 + signal.SIGTERM, err)
        self.assertTrue((first + rest).endswith(b"\r\n* Run interrupted: ended by SIGTERM.\r\n"))
        self.assertLess(took, 2)  # not the 10 s deadline

    def test_server_stopped_mid_run_drops_the_connection(self):
        for serve in [(), ("--scpi",)]:
            with self.subTest(serve=serve), Server(*serve) as server:
                cli = subprocess.Popen([CLI, *server.resource(serve), "--avg"],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                first = cli.stdout.readline() + cli.stdout.readline()
                server.stop()
                rest, err = cli.communicate(timeout=30)
                self.assertStopped((cli.returncode, (first + rest).decode(), err.decode()),
                                   "EDVR", "closed the connection")
                self.assertLess((first + rest).count(b"\r\n"), 7)

    def test_serial_port_that_cannot_be_opened(self):
        self.assertStopped(run_cli("--resource", "PRLGX-ASRL::/dev/tarnwick-none::8::INSTR"),
                           "EDVR", "cannot open /dev/tarnwick-none")

    def test_visa_errors_carry_the_library_words(self):
        status, out, err = run_cli("--resource", "GPIB0::9::INSTR", "--backend", "visa",
                                   "--visa-library", VISA_LIB)
        self.assertStopped((status, out, err), '"DY 0.1" to the analyser at GPIB0::9::INSTR', "ENOL",
                           "No listeners detected on the bus (simulated). (VISA status 0xBFFF005F)")

    def test_exit_status_of_resource_and_library_problems(self):
        cases = [  # (arguments, exit status, text on standard error)
            (["--resource", "GPIB0::31::INSTR"], 2, "PRLGX-ASRL::device::pad::INSTR"),
            (["--resource", "PRLGX-TCPIP::h::8::INSTR", "--simulate"], 2, "--simulate"),
            (["--resource", "TCPIP::h::inst0::INSTR", "--visa-library", "/nonexistent/libvisa.so"],
             3, "Cannot load the VISA library /nonexistent/libvisa.so"),
        ]
        for args, expected, text in cases:
            with self.subTest(args=args):
                status, out, err = run_cli(*args)
                self.assertEqual(status, expected, err)
                self.assertIn(text, err)
                self.assertEqual(out, "")

    def test_simulator_refuses_what_is_not_host_and_port(self):
        for listen in ["127.0.0.1:0x", "1234:80"]:
            with self.subTest(listen=listen):
                r = subprocess.run([SIM, "--listen", listen], capture_output=True, text=True,
                                   timeout=10)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertIn("--listen takes HOST:PORT", r.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[6:]])
