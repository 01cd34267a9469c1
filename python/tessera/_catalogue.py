"""The services, methods, notification types and result codes, read from the
library's catalogue as the extension was compiled against it."""

from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import Dict, List, Tuple, Union

from ._native import ffi, lib


def _text(pointer: object) -> str:
    return ffi.string(pointer).decode("ascii")


@dataclass(frozen=True)
class Method:
    """One method of a request service: its name and message type (None when
    no message type selects it)."""

    service: int
    name: str
    msg_type: Union[int, None]


def _read_methods() -> List[Tuple[str, Method]]:
    rows = []
    for i in range(lib.tesseraPyMethodCount):
        entry = lib.tesseraPyMethods[i]
        msg_type = None if entry.msgType < 0 else entry.msgType
        rows.append((_text(entry.serviceName), Method(entry.service, _text(entry.name), msg_type)))
    return rows


_METHODS = _read_methods()


def _service_members() -> Dict[str, int]:
    members: Dict[str, int] = {}
    for service_name, method in _METHODS:
        members.setdefault(service_name, method.service)
    return members


Service = enum.IntEnum("Service", _service_members(), module=__name__)  # type: ignore[misc]
Service.__doc__ = "The request services of the PKI service (the C interface's PKI_SERVICE)."

EventType = enum.IntEnum(  # type: ignore[misc]
    "EventType",
    {_text(lib.tesseraPyNotifications[i].name): lib.tesseraPyNotifications[i].msgType
     for i in range(lib.tesseraPyNotificationCount)},
    module=__name__,
)
EventType.__doc__ = "The notification types: the msg_type of an Event."

Result = enum.IntEnum(  # type: ignore[misc]
    "Result",
    {_text(lib.tesseraPyResults[i].name): lib.tesseraPyResults[i].code for i in range(lib.tesseraPyResultCount)},
    module=__name__,
)
Result.__doc__ = "The service's result codes (Reply.err_code) that the library acts on."

_BY_NAME: Dict[Tuple[int, str], Method] = {(m.service, m.name): m for _, m in _METHODS}
_BY_TYPE: Dict[Tuple[int, int], Method] = {
    (m.service, m.msg_type): m for _, m in _METHODS if m.msg_type is not None
}


def methods(service: Union["Service", int]) -> List[Method]:
    """The methods of a service, selectable or not, in message-type order."""
    number = int(service)
    return [m for _, m in _METHODS if m.service == number]


# (Service member, method name) -> (service number, message type): the
# common case, a name given with a Service member, in one look-up.
_NAMED: Dict[Tuple[object, str], Tuple[int, int]] = {
    (Service(m.service), m.name): (m.service, m.msg_type) for _, m in _METHODS if m.msg_type is not None
}


def resolve(service: object, method: object) -> Tuple[int, int]:
    """The service number and message type a request names; ValueError when
    the catalogue does not list the method as selectable for that service."""
    if type(service) is Service and type(method) is str:
        found = _NAMED.get((service, method))
        if found is not None:
            return found
    if isinstance(service, bool) or not isinstance(service, int):
        raise TypeError(f"service must be a tessera.Service, not {type(service).__name__}")
    try:
        number = int(Service(service))
    except ValueError:
        raise ValueError(f"no such service: {service!r}") from None
    if isinstance(method, str):
        found = _BY_NAME.get((number, method))
        if found is None:
            raise ValueError(f"{Service(number).name} has no method {method!r}")
        if found.msg_type is None:
            raise ValueError(f"{Service(number).name}.{method} cannot be selected by a message type")
        return number, found.msg_type
    if isinstance(method, bool) or not isinstance(method, int):
        raise TypeError(f"method must be a method name or a message type, not {type(method).__name__}")
    if (number, method) not in _BY_TYPE:
        raise ValueError(f"{Service(number).name} has no method with message type {method}")
    return number, method


def method_name(service: int, msg_type: int) -> Union[str, None]:
    """The name of the method a message type selects in a service, if any."""
    found = _BY_TYPE.get((service, msg_type))
    return found.name if found else None
