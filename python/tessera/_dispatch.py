"""The library's callbacks into Python and what they hand on: responses of
queued requests to their completions, notifications to on_event and to every
open event stream. The callbacks run on the library's threads and copy the
records at once. An exception raised in them (by on_event, say) never
returns into the library: cffi hands it to sys.unraisablehook."""

from __future__ import annotations

import itertools
import threading
from typing import Any, Callable, Dict, Optional, Union

from ._native import ffi, lib
from ._records import read_event, read_reply
from .errors import Error, error_for, last_error
from .reply import Event, Reply

Completion = Callable[[Union[Reply, None], Union[Error, None]], None]
Sink = Callable[[Optional[Event]], None]


class Dispatcher:
    """Where the live agent's callbacks go: pending requests by token, the
    application's on_event and the event streams' sinks."""

    def __init__(self, on_event: Optional[Callable[[Event], Any]]) -> None:
        self.on_event = on_event
        self._tokens = itertools.count(1)
        self._pending: Dict[int, Completion] = {}
        self._sinks: Dict[int, Sink] = {}
        # Re-entrant: a stream collected while this thread holds it drops its sink.
        self._lock = threading.RLock()
        self.closed = False

    def add_pending(self, completion: Completion) -> int:
        token = next(self._tokens)
        self._pending[token] = completion
        return token

    def drop_pending(self, token: int) -> None:
        self._pending.pop(token, None)

    def complete(self, token: int, resp: Any) -> None:
        completion = self._pending.pop(token, None)
        if completion is None:
            return
        code = lib.agentLastError()
        if code != lib.VPKI_OK:
            completion(None, last_error())
        else:
            completion(read_reply(resp), None)

    def add_sink(self, sink: Sink) -> int:
        with self._lock:
            token = next(self._tokens)
            if self.closed:
                sink(None)
            else:
                self._sinks[token] = sink
            return token

    def drop_sink(self, token: int) -> None:
        with self._lock:
            self._sinks.pop(token, None)

    def deliver(self, event: Event) -> None:
        """Hands the event to every stream, then to on_event, whose exception
        (if any) the caller lets go to sys.unraisablehook."""
        with self._lock:
            sinks = list(self._sinks.values())
        for sink in sinks:
            sink(event)
        on_event = self.on_event
        if on_event is not None:
            on_event(event)

    def close(self, reason: Error) -> None:
        """Fails whatever is still pending, ends every stream and drops every
        reference to application objects."""
        with self._lock:
            self.closed = True
            sinks, self._sinks = list(self._sinks.values()), {}
        pending, self._pending = list(self._pending.values()), {}
        for completion in pending:
            completion(None, reason)
        for sink in sinks:
            sink(None)
        self.on_event = None


_current: Optional[Dispatcher] = None


def install(dispatcher: Optional[Dispatcher]) -> None:
    global _current
    _current = dispatcher


def interrupted() -> Error:
    return error_for(lib.VPKI_ERR_INTERRUPTED, "the agent was closed")


@ffi.def_extern()
def tesseraPyOnNotify(resp: Any, param: Any) -> None:
    dispatcher = _current
    if dispatcher is not None:
        dispatcher.deliver(read_event(resp))


@ffi.def_extern()
def tesseraPyOnResponse(msg: Any, resp: Any, param: Any) -> None:
    dispatcher = _current
    if dispatcher is not None:
        dispatcher.complete(int(ffi.cast("uintptr_t", param)), resp)
