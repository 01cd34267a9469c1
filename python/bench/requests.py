#!/usr/bin/python3
"""Request benchmark of the Python package (docs/performance.md, "Python").

1. agent.request against C's reqSync (bench_reqSyncLoop, a child process)
   on the same pkisim, in alternating batches, with 20-byte and 64 KiB
   bodies (vmailPlugin setTextBody, which pkisim echoes): median time per
   call of each and their ratio.
2. 10,000 asyncio requests in flight at once: every future is answered, in
   the order the requests were made.
3. 100,000 requests in a row: the resident set size after the first 10,000
   and its largest value afterwards.

usage: requests.py [--quick] [--batches N]
Environment: TESSERA_PKISIM and TESSERA_REQSYNC_LOOP name the two programs;
the package is imported from PYTHONPATH. Binds 127.0.0.1:18080.
--quick: a few calls of each, for the test run (fails only when something
is wrong, not on the figures).
"""

from __future__ import annotations

import argparse
import asyncio
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))

import tessera  # noqa: E402
from simulator import DEMO_LOGIN, Simulator  # noqa: E402

VMAIL = tessera.Service.VMAIL
SIZES = (20, 64 * 1024)


def json_of_size(size: int) -> str:
    """A JSON object text of exactly size bytes, as bench_reqSyncLoop sends."""
    return '{"d":"' + "x" * (size - 8) + '"}'


class CLoop:
    """bench_reqSyncLoop: batches of reqSync on request."""

    def __init__(self) -> None:
        self.process = subprocess.Popen([os.environ["TESSERA_REQSYNC_LOOP"]], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)

    def batch(self, size: int, count: int) -> float:
        assert self.process.stdin and self.process.stdout
        self.process.stdin.write(f"{size} {count}\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        if not line:
            raise RuntimeError("bench_reqSyncLoop failed")
        return int(line) / count

    def close(self) -> None:
        assert self.process.stdin
        self.process.stdin.close()
        if self.process.wait() != 0:
            raise RuntimeError("bench_reqSyncLoop failed")


def python_batch(agent: tessera.Agent, body: str, count: int) -> float:
    start = time.perf_counter_ns()
    for _ in range(count):
        if agent.request(VMAIL, "setTextBody", body).err_code != 0:
            raise RuntimeError("a request failed")
    return (time.perf_counter_ns() - start) / count


def compare_with_c(agent: tessera.Agent, batches: int, count: int) -> None:
    loop = CLoop()
    try:
        for size in SIZES:
            body = json_of_size(size)
            python_batch(agent, body, max(count // 10, 1))  # warm-up of both
            loop.batch(size, max(count // 10, 1))
            py, c = [], []
            for _ in range(batches):
                py.append(python_batch(agent, body, count))
                c.append(loop.batch(size, count))
            ratios = sorted(p / q for p, q in zip(py, c))
            print(f"request {size:>6} B: Python {statistics.median(py) / 1000:8.1f} us, "
                  f"C {statistics.median(c) / 1000:8.1f} us, ratio {statistics.median(py) / statistics.median(c):.3f} "
                  f"(batches {ratios[0]:.3f}..{ratios[-1]:.3f}, {batches} x {count} calls)")
    finally:
        loop.close()


def asyncio_in_flight(agent: tessera.Agent, count: int) -> None:
    async def main() -> float:
        answered: list = []
        start = time.perf_counter()
        tasks = [asyncio.ensure_future(agent.arequest(VMAIL, "getTextBody", {"n": n}, extend=n))
                 for n in range(count)]
        for n, task in enumerate(tasks):
            task.add_done_callback(lambda t, n=n: answered.append(n))
        replies = await asyncio.gather(*tasks)
        taken = time.perf_counter() - start
        if [r.extend for r in replies] != list(range(count)):
            raise RuntimeError("a future got another request's reply")
        if answered != list(range(count)):
            raise RuntimeError("the futures were not answered in the order of the requests")
        return taken

    taken = asyncio.run(main())
    print(f"asyncio: {count} requests in flight answered in order in {taken:.2f} s "
          f"({count / taken:.0f} requests/s)")


def rss_kb() -> int:
    with open("/proc/self/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def flat_memory(agent: tessera.Agent, count: int) -> None:
    body = json_of_size(20)
    step = max(count // 10, 1)
    samples = []
    start = time.perf_counter()
    for n in range(1, count + 1):
        agent.request(VMAIL, "setTextBody", body)
        if n % step == 0:
            samples.append(rss_kb())
    taken = time.perf_counter() - start
    print(f"memory: {count} requests in {taken:.1f} s; RSS after {step}: {samples[0]} kB, "
          f"largest after that: {max(samples)} kB (growth {max(samples) - samples[0]} kB)")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--batches", type=int, default=15)
    options = parser.parse_args()
    quick = options.quick
    sim = Simulator()
    try:
        with tessera.Agent() as agent:
            agent.login(*DEMO_LOGIN)
            compare_with_c(agent, 2 if quick else options.batches, 20 if quick else 1000)
            asyncio_in_flight(agent, 500 if quick else 10_000)
            flat_memory(agent, 2_000 if quick else 100_000)
    finally:
        sim.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
