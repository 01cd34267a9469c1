"""Failures raise the tessera.Error subclass of their code, with its text."""

from __future__ import annotations

import os
import shutil
import subprocess
import tempfile

import pytest

import tessera
from simulator import DEMO_LOGIN

DEV = tessera.Service.DEV


def test_no_service_is_cannot_connect():
    # First in this file: the module's pkisim is not started yet.
    with tessera.Agent() as agent:
        with pytest.raises(tessera.CannotConnect) as raised:
            agent.login(*DEMO_LOGIN)
    assert isinstance(raised.value, tessera.Error)
    assert raised.value.code == tessera.CannotConnect.code
    assert "18080" in raised.value.text


def test_refused_login(sim):
    with tessera.Agent() as agent:
        with pytest.raises(tessera.LoginRefused):
            agent.login("demo", "demo-app-id", "wrong-token")
        with pytest.raises(tessera.NotLoggedIn):
            agent.request(DEV, "getDevices")


def test_service_exception_carries_its_message(agent, sim):
    sim.ctl("fault", "exception", "--message", "no such device", "--method", "deviceOperator:getDevices")
    with pytest.raises(tessera.ServiceException, match="no such device"):
        agent.request(DEV, "getDevices")


def test_silent_service_times_out(agent, sim):
    sim.ctl("fault", "silent", "--method", "deviceOperator:getDevices")
    with pytest.raises(tessera.TimedOut):
        agent.request(DEV, "getDevices")
    assert agent.request(DEV, "getDevices").err_code == 0


def test_logged_out_requests_are_refused(agent):
    agent.logout()
    with pytest.raises(tessera.NotLoggedIn):
        agent.request(DEV, "getDevices")


@pytest.mark.skipif(os.geteuid() != 0 or shutil.which("setpriv") is None, reason="needs root and setpriv")
def test_service_of_another_user_is_untrusted(sim):
    sim.stop()  # last in this file: the port is handed to a service of another user
    folder = tempfile.mkdtemp(prefix="tessera-py-other-")
    os.chmod(folder, 0o777)
    stranger = subprocess.Popen(
        ["setpriv", "--reuid=4242", "--regid=4242", "--clear-groups", sim.program,
         "--control", os.path.join(folder, "control.sock")], stdout=subprocess.PIPE, text=True)
    try:
        assert "listening" in stranger.stdout.readline()
        with tessera.Agent() as agent:
            with pytest.raises(tessera.UntrustedService):
                agent.login(*DEMO_LOGIN)
    finally:
        stranger.terminate()
        stranger.wait()
        stranger.stdout.close()
        shutil.rmtree(folder)
