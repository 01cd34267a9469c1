"""Bad arguments are refused before anything is sent."""

from __future__ import annotations

import pytest

import tessera

DEV = tessera.Service.DEV


@pytest.fixture
def nothing_sent(sim):
    before = len(sim.requests())
    yield
    assert len(sim.requests()) == before


@pytest.mark.parametrize("call", [
    lambda a: a.request("DEV", "getDevices"),
    lambda a: a.request(DEV, 16.0),
    lambda a: a.request(DEV, True),
    lambda a: a.request(DEV, "getDevices", object()),
    lambda a: a.request(DEV, "getDevices", version="1"),
    lambda a: a.request_async(DEV, "getDevices", extend=None),
    lambda a: a.login(b"demo", "demo-app-id", "demo-token"),
    lambda a: a.rsa_sign(["SIM-RSA-01"], b"data"),
    lambda a: a.ecc_sign({"devId": "SIM-ECC-01"}, "text, not bytes"),
], ids=["service", "float-method", "bool-method", "body", "version", "extend", "bytes-name", "location", "data"])
def test_wrong_types(agent, nothing_sent, call):
    with pytest.raises(TypeError):
        call(agent)


def test_methods_the_catalogue_does_not_list(agent, nothing_sent):
    unselectable = next(m.name for m in tessera.methods(DEV) if m.msg_type is None)
    signx_only = next(m.name for m in tessera.methods(tessera.Service.SIGNX)
                      if m.name not in {d.name for d in tessera.methods(DEV)})
    for method in ("noSuchMethod", unselectable, signx_only, 0, 10_000):
        with pytest.raises(ValueError):
            agent.request(DEV, method)
    with pytest.raises(ValueError):
        agent.request(99, "getDevices")
    with pytest.raises(ValueError):
        agent.request(DEV, "getDevices", version=2**31)


def test_nul_characters(agent, nothing_sent):
    with pytest.raises(ValueError):
        agent.login("de\0mo", "demo-app-id", "demo-token")
    with pytest.raises(ValueError):
        agent.request(DEV, "getDevices", "{}\0{}")
    with pytest.raises(ValueError):
        agent.rsa_sign('{"devId":"SIM-RSA-01\0"}', b"data")


def test_over_long_names(agent, nothing_sent):
    with pytest.raises(tessera.BadArgument):
        agent.login("demo" * 100, "demo-app-id", "demo-token")
    with pytest.raises(tessera.BadArgument):
        agent.login("demo", "demo-app-id", "t" * 65)
