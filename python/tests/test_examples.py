"""The Python example program, run as a child process."""

from __future__ import annotations

import os
import subprocess
import sys

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "list_devices.py")


def _run(*arguments):
    return subprocess.run([sys.executable, EXAMPLE, *arguments], capture_output=True, text=True, timeout=60)


def test_lists_the_devices(sim):
    done = _run()
    assert done.returncode == 0, done.stderr
    assert [line.split("\t")[:2] for line in done.stdout.splitlines()][:2] == [["SIM-RSA-01", "RSA"],
                                                                                ["SIM-ECC-01", "ECC"]]


def test_refused_login_is_reported(sim):
    done = _run("demo", "demo-app-id", "wrong")
    assert done.returncode == 1
    assert "LoginRefused" in done.stderr
