"""Checks and conversions of the arguments given to the agent, done before
anything reaches the library."""

from __future__ import annotations

import json
from typing import Any, Mapping, Union

Body = Union[Mapping[str, Any], list, str, bytes, bytearray, memoryview, None]
Location = Union[Mapping[str, Any], str]


def text_argument(name: str, value: object) -> bytes:
    """A str argument as UTF-8 bytes; TypeError for another type, ValueError
    for a NUL character (the C side would cut the text there)."""
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    if "\0" in value:
        raise ValueError(f"{name} contains a NUL character")
    return value.encode("utf-8")


def body_bytes(body: Body) -> bytes:
    """The request body as bytes: dicts and lists as JSON, text as UTF-8."""
    if body is None:
        data = b""
    elif isinstance(body, str):
        data = body.encode("utf-8")
    elif isinstance(body, (dict, list)) or isinstance(body, Mapping):
        data = json.dumps(body, separators=(",", ":"), ensure_ascii=False).encode("utf-8")
    elif isinstance(body, (bytes, bytearray, memoryview)):
        data = bytes(body)
    else:
        raise TypeError(f"body must be a dict, list, str or bytes, not {type(body).__name__}")
    if b"\0" in data:
        raise ValueError("body contains a NUL byte")
    return data


def location_bytes(location: Location) -> bytes:
    """A key location (a dict with devId, applicationName and containerName,
    or its JSON text) as the JSON text the signing shortcuts take."""
    if isinstance(location, Mapping):
        return text_argument("location", json.dumps(dict(location), ensure_ascii=False))
    if isinstance(location, str):
        return text_argument("location", location)
    raise TypeError(f"location must be a dict or a str, not {type(location).__name__}")


def data_bytes(data: object) -> bytes:
    """The data to sign as bytes."""
    if isinstance(data, str):
        raise TypeError("data must be bytes, not str (encode it first)")
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError(f"data must be bytes, not {type(data).__name__}")
    return bytes(data)
