"""The agent's lifetime, requests and replies."""

from __future__ import annotations

import gc
import json
import subprocess
import sys
import weakref

import pytest

import tessera
from simulator import DEMO_LOGIN

DEV = tessera.Service.DEV


def test_one_agent_at_a_time_and_close_is_idempotent(sim):
    first = tessera.Agent()
    with pytest.raises(RuntimeError):
        tessera.Agent()
    first.close()
    first.close()
    assert first.closed
    with pytest.raises(RuntimeError):
        first.request(DEV, "getDevices")
    with tessera.Agent() as second:
        second.login(*DEMO_LOGIN)
        assert second.request(DEV, "getDevices").err_code == 0


def test_method_by_name_or_message_type_and_reply_fields(agent):
    number = next(m.msg_type for m in tessera.methods(DEV) if m.name == "getDevices")
    by_name = agent.request(DEV, "getDevices", {}, version=7, extend=2**40)
    by_number = agent.request(DEV, number)
    assert by_name.json() == by_number.json()
    assert {d["devID"] for d in by_name.json()["devices"]} >= {"SIM-RSA-01", "SIM-ECC-01"}
    assert (by_name.err_code, by_name.msg_type, by_name.version, by_name.extend) == (0, number, 7, 2**40)


def test_service_verdict_is_a_reply_not_an_exception(agent):
    reply = agent.request(DEV, "getDevInfo", {"devID": "SIM-NONE"})
    assert reply.err_code != 0
    assert "not found" in reply.json()["error"]


LONG_TEXTS = ["x" * 100_000, "é" * 50_000 + "\u20ac" * 20_000]


@pytest.mark.parametrize("text", LONG_TEXTS, ids=["ascii", "utf8"])
def test_100_kb_both_ways(agent, text):
    body = {"text": text}
    reply = agent.request(tessera.Service.VMAIL, "setTextBody", body)
    assert len(reply.raw) > 100_000
    assert json.loads(reply.json()["request"]) == body


@pytest.mark.parametrize("text", LONG_TEXTS, ids=["ascii", "utf8"])
def test_100_kb_both_ways_queued(agent, text):
    body = {"text": text}
    reply = agent.request_async(tessera.Service.VMAIL, "setTextBody", body).result(timeout=30)
    assert json.loads(reply.json()["request"]) == body


def test_max_connections_range(agent):
    agent.max_connections = 4
    assert agent.max_connections == 4
    for bad in (0, 17, -1):
        with pytest.raises(ValueError):
            agent.max_connections = bad
    with pytest.raises(TypeError):
        agent.max_connections = "2"
    assert agent.max_connections == 4
    agent.max_connections = 1


def test_version_is_three_numbers():
    numbers = tessera.version()
    assert len(numbers) == 3 and all(isinstance(n, int) and n >= 0 for n in numbers)


def test_closed_agent_leaves_nothing_alive(sim):
    gc.disable()
    try:
        class Handler:
            def __call__(self, event):
                pass

        handler = Handler()
        agent = tessera.Agent(on_event=handler)
        agent.login(*DEMO_LOGIN)
        agent.request_async(DEV, "getDevices").result(timeout=30)
        stream = agent.events(timeout=0)
        watched = [weakref.ref(o) for o in (agent, handler, stream)]
        agent.close()
        del agent, handler, stream
        assert [w() for w in watched] == [None, None, None]
    finally:
        gc.enable()


@pytest.mark.parametrize("ending", ["", "agent.request_async(tessera.Service.DEV, 'getDevices')",
                                    "agent.events(); raise SystemExit(3)"])
def test_process_ends_promptly_without_close(sim, ending):
    program = ("import tessera\n"
               "agent = tessera.Agent(on_event=print)\n"
               "agent.login('demo', 'demo-app-id', 'demo-token')\n" + ending)
    done = subprocess.run([sys.executable, "-c", program], timeout=30, capture_output=True, text=True)
    assert done.returncode == (3 if "SystemExit" in ending else 0), done.stderr
    assert done.stderr == ""
