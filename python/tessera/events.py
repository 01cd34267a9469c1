"""Event streams: iterators over the notifications that arrive while they
are open."""

from __future__ import annotations

import asyncio
import queue
from typing import AsyncIterator, Callable, Iterator, Optional

from ._dispatch import Dispatcher
from .reply import Event


class _Subscription:
    """A sink of the dispatcher's events, held until close()."""

    def __init__(self, dispatcher: Dispatcher, sink: Callable[[Optional[Event]], None]) -> None:
        self._dispatcher: Optional[Dispatcher] = dispatcher
        self._token = dispatcher.add_sink(sink)

    def close(self) -> None:
        """Stops receiving events; the iteration ends."""
        if self._dispatcher is not None:
            self._dispatcher.drop_sink(self._token)
            self._dispatcher = None

    def __del__(self) -> None:
        self.close()


class EventStream(_Subscription, Iterator[Event]):
    """Iterates over the events that arrive from its creation on. Ends when
    no event arrives within timeout seconds (None: waits without limit), when
    the agent closes, or on close()."""

    def __init__(self, dispatcher: Dispatcher, timeout: Optional[float]) -> None:
        self._queue: "queue.SimpleQueue[Optional[Event]]" = queue.SimpleQueue()
        self._timeout = timeout
        super().__init__(dispatcher, self._queue.put)

    def __iter__(self) -> "EventStream":
        return self

    def __next__(self) -> Event:
        if self._dispatcher is None:
            raise StopIteration
        try:
            event = self._queue.get(timeout=self._timeout)
        except queue.Empty:
            event = None
        if event is None:
            self.close()
            raise StopIteration
        return event

    def __enter__(self) -> "EventStream":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def _handing_over(loop: asyncio.AbstractEventLoop,
                  into: "asyncio.Queue[Optional[Event]]") -> Callable[[Optional[Event]], None]:
    """A sink that hands events to the loop's queue (and holds no reference
    to the stream, which can then be collected while the agent lives)."""

    def hand_over(event: Optional[Event]) -> None:
        try:
            loop.call_soon_threadsafe(into.put_nowait, event)
        except RuntimeError:  # the loop is closed: nobody iterates any more
            pass

    return hand_over


class AsyncEventStream(_Subscription, AsyncIterator[Event]):
    """The same for asyncio: the events are handed to the running loop with
    call_soon_threadsafe. Create it inside the loop that iterates it."""

    def __init__(self, dispatcher: Dispatcher) -> None:
        self._loop = asyncio.get_running_loop()
        self._queue: "asyncio.Queue[Optional[Event]]" = asyncio.Queue()
        super().__init__(dispatcher, _handing_over(self._loop, self._queue))

    def __aiter__(self) -> "AsyncEventStream":
        return self

    async def __anext__(self) -> Event:
        if self._dispatcher is None:
            raise StopAsyncIteration
        event = await self._queue.get()
        if event is None:
            self.close()
            raise StopAsyncIteration
        return event

    async def __aenter__(self) -> "AsyncEventStream":
        return self

    async def __aexit__(self, *exc: object) -> None:
        self.close()
