"""Exceptions for the library's failure codes: tessera.Error and one subclass
per VPKI_ERR_ code, named after it (VPKI_ERR_CANNOT_CONNECT: CannotConnect)."""

from __future__ import annotations

from typing import Dict, Type

from ._native import ffi, lib

_PREFIX = "VPKI_ERR_"


class Error(Exception):
    """A call of the library failed. code is the library's failure code
    (agentLastError), text the line saying why (agentLastErrorText)."""

    code: int = -1

    def __init__(self, text: str, code: int | None = None) -> None:
        super().__init__(text)
        if code is not None:
            self.code = code
        self.text = text

    def __reduce__(self) -> tuple:
        return (type(self), (self.text, self.code))


def _class_name(constant: str) -> str:
    return "".join(part.capitalize() for part in constant[len(_PREFIX):].split("_"))


def _describe(code: int) -> str:
    return ffi.string(lib.agentErrorString(code)).decode("utf-8", "replace")


def _make_classes() -> Dict[int, Type[Error]]:
    classes: Dict[int, Type[Error]] = {}
    for entry in (lib.tesseraPyErrors[i] for i in range(lib.tesseraPyErrorCount)):
        constant, code = ffi.string(entry.name).decode("ascii"), entry.code
        if not constant.startswith(_PREFIX):
            continue
        doc = f"{ffi.string(entry.text).decode('utf-8').capitalize()} ({constant}, code {code})."
        classes[code] = type(_class_name(constant), (Error,), {"code": code, "__doc__": doc, "__module__": __name__})
    return classes


BY_CODE: Dict[int, Type[Error]] = _make_classes()
globals().update({cls.__name__: cls for cls in BY_CODE.values()})
__all__ = ["Error", "BY_CODE", "last_error"] + [cls.__name__ for cls in BY_CODE.values()]


def error_for(code: int, text: str) -> Error:
    """The exception for a failure code and its text."""
    cls = BY_CODE.get(code)
    if cls is None:
        return Error(text or _describe(code), code)
    return cls(text or _describe(code))


def last_error() -> Error:
    """The exception for the calling thread's last failure in the library."""
    code = lib.agentLastError()
    text = ffi.string(lib.agentLastErrorText()).decode("utf-8", "replace")
    return error_for(code, text)
