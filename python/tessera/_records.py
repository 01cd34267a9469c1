"""The C records of requests and responses: building a request from Python
values and reading a response into a Reply."""

from __future__ import annotations

from typing import Any, Tuple, Type, TypeVar

from ._native import ffi, lib
from .reply import Event, Reply, event_type

R = TypeVar("R", bound=Reply)
_INT32 = (-(2**31), 2**31 - 1)
_INT64 = (-(2**63), 2**63 - 1)


def _check_int(name: str, value: object, bounds: Tuple[int, int]) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    if not bounds[0] <= value <= bounds[1]:
        raise ValueError(f"{name} {value} is out of range")
    return value


class Request:
    """A vpkiReq holding the message type, version, extend and body; the
    record and the body buffer live as long as this object."""

    __slots__ = ("record", "_keep")

    def __init__(self, msg_type: int, body: bytes, version: int, extend: int) -> None:
        self.record = ffi.new("vpkiReq*")
        self.record.msgType = msg_type
        self.record.version = _check_int("version", version, _INT32)
        self.record.extend = _check_int("extend", extend, _INT64)
        self._keep: Any = None
        if len(body) < lib.VPKI_JSON_CAPACITY:
            ffi.memmove(self.record.jsonBody, body, len(body))
        else:
            # Longer texts go in the record's byte buffer, which the library
            # only reads; a zero byte follows the content as it expects.
            data = ffi.new("char[]", body)
            array = ffi.new("vpkiByteArray*", {"data": data, "size": len(body)})
            self.record.body = array
            self._keep = (data, array)


def new_response() -> Any:
    """A zeroed vpkiResp for reqSync."""
    return ffi.new("vpkiResp*")


def _body(resp: Any) -> bytes:
    array = resp.body
    if array != ffi.NULL and array.data != ffi.NULL and array.size > 0:
        return ffi.unpack(array.data, array.size - 1)
    return ffi.string(resp.jsonBody)


def read_reply(resp: Any, cls: Type[R] = Reply) -> R:  # type: ignore[assignment]
    """A Reply (or subclass) with a copy of everything in the record."""
    return cls(resp.errCode, resp.msgType, resp.respid, resp.version, resp.extend, _body(resp))


def read_event(resp: Any) -> Event:
    """An Event with a copy of a notification record."""
    return Event(resp.errCode, resp.msgType, resp.respid, resp.version, resp.extend, _body(resp),
                 event_type(resp.msgType))
