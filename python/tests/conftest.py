"""Fixtures: one pkisim per test file, and a logged-in agent per test."""

from __future__ import annotations

from typing import Iterator

import pytest

import tessera
from simulator import DEMO_LOGIN, Simulator


@pytest.fixture(scope="module")
def sim() -> Iterator[Simulator]:
    service = Simulator()
    yield service
    service.stop()


@pytest.fixture
def agent(sim: Simulator) -> Iterator[tessera.Agent]:
    with tessera.Agent() as opened:
        opened.login(*DEMO_LOGIN)
        yield opened
    sim.ctl("clear-faults")
