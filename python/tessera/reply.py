"""What the service answers: Reply, and Event for a notification."""

from __future__ import annotations

import json
from dataclasses import dataclass
from typing import Any, Union

from ._catalogue import EventType


@dataclass(slots=True)
class Reply:
    """The service's answer to a request. err_code is the service's verdict
    (0 for success); a reply with another err_code is still a reply, not an
    exception. raw is the body's bytes as they arrived, text the same decoded
    as UTF-8. A copy: changing it changes nothing in the library."""

    err_code: int
    msg_type: int
    respid: int
    version: int
    extend: int
    raw: bytes

    @property
    def text(self) -> str:
        """The body as text (invalid UTF-8 replaced by U+FFFD)."""
        return self.raw.decode("utf-8", "replace")

    def json(self) -> Any:
        """The body parsed as JSON; ValueError when it is not JSON."""
        return json.loads(self.raw)


@dataclass(slots=True)
class Event(Reply):
    """A notification: type is the EventType its msg_type names, or the plain
    number for a notification type the catalogue does not list."""

    type: Union[EventType, int] = 0


def event_type(msg_type: int) -> Union[EventType, int]:
    """The EventType member of a notification's msg_type, else the number."""
    try:
        return EventType(msg_type)
    except ValueError:
        return msg_type
