"""Python interface of libtessera, the client library of the local PKI
service.

    with tessera.Agent() as agent:
        agent.login("demo", "demo-app-id", "demo-token")
        reply = agent.request(tessera.Service.DEV, "getDevices")
        print(reply.json())
"""

from __future__ import annotations

from typing import Tuple

from . import errors as _errors
from ._catalogue import EventType, Method, Result, Service, methods
from ._native import ffi as _ffi
from ._native import lib as _lib
from .agent import Agent
from .errors import Error
from .events import AsyncEventStream, EventStream
from .reply import Event, Reply

globals().update({cls.__name__: cls for cls in _errors.BY_CODE.values()})


def version() -> Tuple[int, int, int]:
    """The version of the loaded library (tesseraVersion) as (major, minor,
    patch)."""
    numbers = _ffi.new("int[3]")
    _lib.tesseraVersion(numbers, numbers + 1, numbers + 2)
    return (numbers[0], numbers[1], numbers[2])


__all__ = [
    "Agent", "AsyncEventStream", "Error", "Event", "EventStream", "EventType", "Method", "Reply", "Result",
    "Service", "methods", "version",
] + [cls.__name__ for cls in _errors.BY_CODE.values()]
