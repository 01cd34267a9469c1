"""The C records of requests and responses: building a request from Python
values and reading a response into a Reply."""

from __future__ import annotations

from typing import Any, Tuple, Type, TypeVar

from ._native import ffi, lib
from .errors import last_error
from .reply import Event, Reply, event_type

R = TypeVar("R", bound=Reply)
_INT32 = (-(2**31), 2**31 - 1)
_INT64 = (-(2**63), 2**63 - 1)


def _check_int(name: str, value: object, bounds: Tuple[int, int]) -> int:
    if type(value) is int and bounds[0] <= value <= bounds[1]:
        return value
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    if not bounds[0] <= value <= bounds[1]:
        raise ValueError(f"{name} {value} is out of range")
    return value


class Request:
    """A request record of the library (vpkiReqNew) holding the message
    type, version, extend and body; freed with this object."""

    __slots__ = ("record",)

    def __init__(self, msg_type: int, body: bytes, version: int, extend: int) -> None:
        record = lib.vpkiReqNew()
        if record == ffi.NULL:
            raise last_error()
        self.record = ffi.gc(record, lib.vpkiReqFree)
        record.msgType = msg_type
        record.version = _check_int("version", version, _INT32)
        record.extend = _check_int("extend", extend, _INT64)
        if body and not lib.vpkiReqSetBody(record, body, len(body)):
            raise last_error()


def new_response() -> Any:
    """A response record of the library (vpkiRespNew), which takes replies
    of any length; freed with the returned object."""
    record = lib.vpkiRespNew()
    if record == ffi.NULL:
        raise last_error()
    return ffi.gc(record, lib.vpkiRespFree)


def _body(resp: Any) -> bytes:
    length = ffi.new("size_t*")
    return ffi.unpack(lib.vpkiRespText(resp, length), length[0])


def read_reply(resp: Any, cls: Type[R] = Reply) -> R:  # type: ignore[assignment]
    """A Reply (or subclass) with a copy of everything in the record."""
    return cls(resp.errCode, resp.msgType, resp.respid, resp.version, resp.extend, _body(resp))


def read_event(resp: Any) -> Event:
    """An Event with a copy of a notification record."""
    return Event(resp.errCode, resp.msgType, resp.respid, resp.version, resp.extend, _body(resp),
                 event_type(resp.msgType))
