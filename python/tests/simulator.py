"""pkisim as a child process for the Python tests and benchmarks: started on
the fixed port (inside scripts/isolated.sh), driven through `pkisim ctl`."""

from __future__ import annotations

import json
import os
import subprocess
import tempfile
from typing import Any, List

DEMO_LOGIN = ("demo", "demo-app-id", "demo-token")


class Simulator:
    """A running pkisim; stop() ends it."""

    def __init__(self, program: str | None = None, extra: List[str] | None = None) -> None:
        self.program = program or os.environ["TESSERA_PKISIM"]
        self._folder = tempfile.TemporaryDirectory(prefix="tessera-py-")
        self.control = os.path.join(self._folder.name, "control.sock")
        self.process = subprocess.Popen(
            [self.program, "--control", self.control] + (extra or []),
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self._wait_until_listening()

    def _wait_until_listening(self) -> None:
        seen = []
        assert self.process.stdout is not None
        for line in self.process.stdout:  # pkisim prints this line once both ports listen
            seen.append(line)
            if "listening" in line:
                return
        raise RuntimeError("pkisim did not start: " + "".join(seen))

    def ctl(self, *arguments: str) -> Any:
        """One `pkisim ctl` command; its JSON reply (which must say ok)."""
        done = subprocess.run([self.program, "ctl", "--control", self.control, *arguments],
                              capture_output=True, text=True, check=False)
        reply = json.loads(done.stdout)
        if not reply.get("ok"):
            raise RuntimeError(f"pkisim ctl {' '.join(arguments)}: {done.stdout}{done.stderr}")
        return reply

    def calls(self) -> List[Any]:
        """The record of calls, oldest first."""
        return self.ctl("calls")["calls"]

    def requests(self) -> List[Any]:
        """The recorded calls but the notification thread's polls."""
        return [c for c in self.calls() if not c["wireName"].endswith(":getNotify")]

    def stop(self) -> None:
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait()
        if self.process.stdout is not None:
            self.process.stdout.close()
        self._folder.cleanup()
