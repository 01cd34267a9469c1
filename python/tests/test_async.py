"""Queued requests: futures and asyncio, matched to their requests."""

from __future__ import annotations

import asyncio
import json
import threading

import pytest

import tessera

VMAIL = tessera.Service.VMAIL


def _echoed(reply: tessera.Reply) -> int:
    return json.loads(reply.json()["request"])["n"]


def test_futures_under_load_get_their_own_replies(agent):
    agent.max_connections = 4
    futures = [agent.request_async(VMAIL, "getTextBody", {"n": n}, extend=n) for n in range(500)]
    replies = [f.result(timeout=60) for f in futures]
    assert [r.extend for r in replies] == list(range(500))
    assert [_echoed(r) for r in replies] == list(range(500))
    agent.max_connections = 1


def test_asyncio_requests_under_load_get_their_own_replies(agent):
    async def main():
        # debug mode: a future touched from another thread than the loop's fails
        asyncio.get_running_loop().set_debug(True)
        replies = await asyncio.gather(*(agent.arequest(VMAIL, "getTextBody", {"n": n}) for n in range(1000)))
        return [_echoed(r) for r in replies]

    assert asyncio.run(main()) == list(range(1000))


def test_failures_reach_the_future_and_the_awaiting_task(agent, sim):
    fault = ("fault", "http-status", "--status", "503", "--method", "vmailPlugin:clear")
    sim.ctl(*fault)
    with pytest.raises(tessera.HttpStatus) as raised:
        agent.request_async(VMAIL, "clear").result(timeout=30)
    assert "503" in raised.value.text

    async def main():
        sim.ctl(*fault)
        with pytest.raises(tessera.HttpStatus):
            await agent.arequest(VMAIL, "clear")
        return (await agent.arequest(VMAIL, "clear")).err_code

    assert asyncio.run(main()) == 0


def test_closing_fails_what_is_still_queued(sim):
    agent = tessera.Agent()
    agent.login("demo", "demo-app-id", "demo-token")
    sim.ctl("fault", "delay", "--delay-ms", "300", "--method", "vmailPlugin:clear")
    futures = [agent.request_async(VMAIL, "clear") for _ in range(20)]
    agent.close()
    outcomes = [f.exception(timeout=30) for f in futures]
    assert all(isinstance(e, tessera.Error) for e in outcomes[1:])
    with pytest.raises(RuntimeError):
        agent.request_async(VMAIL, "clear")
    sim.ctl("clear-faults")


def test_cancelled_task_leaves_the_loop_sound(agent):
    async def main():
        task = asyncio.ensure_future(agent.arequest(VMAIL, "getTextBody", {"n": 1}))
        await asyncio.sleep(0)
        task.cancel()
        rest = await agent.arequest(VMAIL, "getTextBody", {"n": 2})
        return task.cancelled(), _echoed(rest)

    assert asyncio.run(main()) == (True, 2)


def test_a_blocking_request_lets_other_threads_run(agent, sim):
    sim.ctl("fault", "delay", "--delay-ms", "500", "--method", "vmailPlugin:clear")
    finished = threading.Event()
    worker = threading.Thread(target=lambda: (agent.request(VMAIL, "clear"), finished.set()))
    worker.start()
    spins = 0
    while not finished.is_set():
        spins += 1
    worker.join()
    # Were the GIL held through the exchange, this loop could not run until
    # the reply came.
    assert spins > 100_000
