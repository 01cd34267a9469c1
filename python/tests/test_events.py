"""Notifications: on_event, events() and aevents() each see every event."""

from __future__ import annotations

import asyncio
import threading

import tessera
from simulator import DEMO_LOGIN

INSERTED = tessera.EventType.DEVICE_INSERTED
REMOVED = tessera.EventType.DEVICE_REMOVED


def _plug(sim, device):
    sim.ctl("insert", "--id", device, "--key", "ECC")
    sim.ctl("remove", device)


def _devices(events):
    return [(e.type, e.json()["devID"]) for e in events]


def test_every_listener_gets_insert_and_remove_in_order(sim):
    seen, two = [], threading.Event()

    def on_event(event):
        seen.append(event)
        if len(seen) == 2:
            two.set()

    async def collect(stream, count):
        got = []
        async for event in stream:
            got.append(event)
            if len(got) == count:
                return got

    async def main(agent):
        streams = (agent.events(timeout=30), agent.events(timeout=30), agent.aevents())
        await asyncio.get_running_loop().run_in_executor(None, _plug, sim, "SIM-PY-EV")
        from_async = await asyncio.wait_for(collect(streams[2], 2), 30)
        return [list(zip(range(2), s)) for s in streams[:2]], from_async

    with tessera.Agent(on_event=on_event) as agent:
        agent.login(*DEMO_LOGIN)
        sync_streams, from_async = asyncio.run(main(agent))
        assert two.wait(30)
    expected = [(INSERTED, "SIM-PY-EV"), (REMOVED, "SIM-PY-EV")]
    assert _devices(seen) == expected
    assert _devices(from_async) == expected
    for stream in sync_streams:
        assert _devices(e for _, e in stream) == expected
    assert isinstance(seen[0].type, tessera.EventType) and seen[0].msg_type == int(INSERTED)


def test_raising_callback_goes_to_unraisablehook_and_events_go_on(sim, monkeypatch):
    hooked = []
    monkeypatch.setattr("sys.unraisablehook", hooked.append)

    def on_event(event):
        raise KeyError(event.json()["devID"])

    with tessera.Agent(on_event=on_event) as agent:
        agent.login(*DEMO_LOGIN)
        stream = agent.events(timeout=30)
        _plug(sim, "SIM-PY-RAISE")
        assert _devices([next(stream), next(stream)]) == [(INSERTED, "SIM-PY-RAISE"), (REMOVED, "SIM-PY-RAISE")]
        assert agent.request(tessera.Service.DEV, "getDevices").err_code == 0
    assert [type(h.exc_value) for h in hooked] == [KeyError, KeyError]
    assert "cffi callback" in hooked[0].err_msg


def test_streams_end_when_the_agent_closes(sim):
    agent = tessera.Agent()
    agent.login(*DEMO_LOGIN)
    stream = agent.events()
    ended = threading.Event()
    threading.Thread(target=lambda: (list(stream), ended.set())).start()
    agent.close()
    assert ended.wait(30)


def test_stream_with_timeout_ends_without_events(agent):
    assert list(agent.events(timeout=0.05)) == []


def test_closing_inside_on_event_is_refused_and_changes_nothing(sim, monkeypatch):
    hooked, holder = [], []
    monkeypatch.setattr("sys.unraisablehook", hooked.append)
    with tessera.Agent(on_event=lambda event: holder[0].close()) as agent:
        holder.append(agent)
        agent.login(*DEMO_LOGIN)
        stream = agent.events(timeout=30)
        _plug(sim, "SIM-PY-CLOSE")
        assert len([next(stream), next(stream)]) == 2
        assert not agent.closed
        assert agent.request(tessera.Service.DEV, "getDevices").err_code == 0
    assert [type(h.exc_value) for h in hooked] == [tessera.InCallback, tessera.InCallback]
    holder.clear()
