"""tessera.Agent: the process's agent of the PKI service."""

from __future__ import annotations

import asyncio
import atexit
import concurrent.futures
import threading
from typing import Any, Callable, Optional, Union

from . import _dispatch
from ._arguments import Body, Location, body_bytes, data_bytes, location_bytes, text_argument
from ._catalogue import Service, resolve
from ._native import ffi, lib
from ._records import Request, new_response, read_reply
from .errors import Error, last_error
from .events import AsyncEventStream, EventStream
from .reply import Event, Reply

_live_lock = threading.Lock()
_live: Optional["Agent"] = None
# The library's setting outlives agents; this mirrors what was last set.
_max_connections = 1

MethodRef = Union[str, int]


class Agent:
    """The process's one agent (createAgent). A second Agent raises
    RuntimeError while the first is open. Use it as a context manager or call
    close(). on_event, when given, is called with every Event on the
    library's notification thread; an exception it raises goes to
    sys.unraisablehook."""

    def __init__(self, on_event: Optional[Callable[[Event], Any]] = None) -> None:
        global _live
        with _live_lock:
            if _live is not None:
                raise RuntimeError("an Agent is already open in this process: close it first")
            dispatcher = _dispatch.Dispatcher(on_event)
            _dispatch.install(dispatcher)
            if not lib.createAgent(lib.tesseraPyOnNotify, lib.tesseraPyOnResponse, ffi.NULL):
                _dispatch.install(None)
                raise last_error()
            self._dispatcher: Optional[_dispatch.Dispatcher] = dispatcher
            self._releasing = False
            _live = self

    # Lifetime

    def close(self) -> None:
        """Releases the agent (releaseAgent): queued requests fail with
        Interrupted, event streams end. Closing again does nothing. Raises
        InCallback inside on_event, where the library cannot release."""
        global _live
        with _live_lock:
            dispatcher = self._dispatcher
            if dispatcher is None or self._releasing:
                return
            self._releasing = True
        # Without the lock: the callbacks that releaseAgent waits for may
        # take it (on_event closing the agent, say).
        lib.releaseAgent()
        if lib.agentLastError() == lib.VPKI_ERR_IN_CALLBACK:
            self._releasing = False
            raise last_error()
        with _live_lock:
            self._dispatcher = None
            _dispatch.install(None)
            _live = None
        dispatcher.close(_dispatch.interrupted())

    @property
    def closed(self) -> bool:
        """True once close() has released the agent."""
        return self._dispatcher is None

    def __enter__(self) -> "Agent":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def _open(self) -> _dispatch.Dispatcher:
        dispatcher = self._dispatcher
        if dispatcher is None:
            raise RuntimeError("the Agent is closed")
        return dispatcher

    # Session

    def login(self, app_name: str, app_id: str, token: str) -> None:
        """Opens a session (loginAgent); raises LoginRefused, CannotConnect,
        BadArgument (e.g. an over-long name; nothing is sent), ..."""
        self._open()
        names = [text_argument(k, v) for k, v in (("app_name", app_name), ("app_id", app_id), ("token", token))]
        if not lib.loginAgent(*names):
            raise last_error()

    def logout(self) -> None:
        """Ends the session (logoutAgent); requests are refused from now on
        even when this raises."""
        self._open()
        if not lib.logoutAgent():
            raise last_error()

    @property
    def max_connections(self) -> int:
        """How many request connections the library may open at once, 1 to
        16 (setAgentMaxConnections); a process-wide setting."""
        return _max_connections

    @max_connections.setter
    def max_connections(self, n: int) -> None:
        global _max_connections
        if isinstance(n, bool) or not isinstance(n, int):
            raise TypeError(f"max_connections must be an int, not {type(n).__name__}")
        if not lib.setAgentMaxConnections(n):
            raise ValueError(f"max_connections {n} is out of range: {last_error().text}")
        _max_connections = n

    # Requests

    def request(self, service: Service, method: MethodRef, body: Body = None, *, version: int = 1,
                extend: int = 0) -> Reply:
        """Sends one request and waits for the answer (reqSync). method is a
        method name of the service or its message type; body a dict or list
        (sent as JSON), str or bytes of any length. A reply whose err_code is
        not 0 is returned, not raised; failures of the exchange raise Error."""
        self._open()
        number, record = _prepare(service, method, body, version, extend)
        resp = new_response()
        if not lib.reqSync(number, record.record, resp):
            raise last_error()
        return read_reply(resp)

    def request_async(self, service: Service, method: MethodRef, body: Body = None, *, version: int = 1,
                      extend: int = 0) -> "concurrent.futures.Future[Reply]":
        """Queues one request for the library's worker (reqAsync); the future
        gets the Reply or the Error. Requests are answered in queue order."""
        future: "concurrent.futures.Future[Reply]" = concurrent.futures.Future()
        future.set_running_or_notify_cancel()
        self._queue(service, method, body, version, extend, _settle_future(future))
        return future

    async def arequest(self, service: Service, method: MethodRef, body: Body = None, *, version: int = 1,
                       extend: int = 0) -> Reply:
        """request() for asyncio: queued like request_async, the result is
        handed to the running loop with call_soon_threadsafe."""
        loop = asyncio.get_running_loop()
        future: "asyncio.Future[Reply]" = loop.create_future()
        self._queue(service, method, body, version, extend, _settle_in_loop(loop, future))
        return await future

    def _queue(self, service: Service, method: MethodRef, body: Body, version: int, extend: int,
               completion: _dispatch.Completion) -> None:
        dispatcher = self._open()
        number, record = _prepare(service, method, body, version, extend)
        token = dispatcher.add_pending(completion)
        if lib.reqAsync(number, record.record, ffi.cast("void*", token)) == 0:
            dispatcher.drop_pending(token)
            raise last_error()

    # Signing shortcuts

    def rsa_sign(self, location: Location, data: bytes) -> bytes:
        """Signs data with the RSA key at location (rsaSignData): a dict with
        devId, applicationName and containerName, or its JSON text."""
        self._open()
        url, payload = location_bytes(location), data_bytes(data)
        signature = ffi.new("unsigned char[]", lib.VPKI_RSA_SIGNATURE_MAX)
        length = ffi.new("uint32_t*")
        if lib.rsaSignData(url, payload, len(payload), signature, length) != lib.VPKI_SIGN_OK:
            raise last_error()
        return ffi.unpack(signature, length[0])

    def ecc_sign(self, location: Location, data: bytes) -> bytes:
        """Signs data with the ECC key at location (eccSignData): r then s,
        64 bytes each."""
        self._open()
        url, payload = location_bytes(location), data_bytes(data)
        signature = ffi.new("unsigned char[]", lib.VPKI_ECC_SIGNATURE_SIZE)
        if lib.eccSignData(url, payload, len(payload), signature) != lib.VPKI_SIGN_OK:
            raise last_error()
        return ffi.unpack(signature, lib.VPKI_ECC_SIGNATURE_SIZE)

    # Events

    def events(self, timeout: Optional[float] = None) -> EventStream:
        """An iterator over the events arriving from now on; it ends when no
        event comes within timeout seconds or when the agent closes."""
        return EventStream(self._open(), timeout)

    def aevents(self) -> AsyncEventStream:
        """An async iterator over the events arriving from now on, for the
        running loop; it ends when the agent closes."""
        return AsyncEventStream(self._open())


@atexit.register
def _close_at_exit() -> None:
    # The library's threads must not call into an interpreter that is
    # finalizing: the agent is released while Python still runs.
    agent = _live
    if agent is not None:
        agent.close()


def _prepare(service: Service, method: MethodRef, body: Body, version: int, extend: int) -> "tuple[int, Request]":
    number, msg_type = resolve(service, method)
    return number, Request(msg_type, body_bytes(body), version, extend)


def _settle_future(future: "concurrent.futures.Future[Reply]") -> _dispatch.Completion:
    def settle(reply: Optional[Reply], error: Optional[Error]) -> None:
        if error is not None:
            future.set_exception(error)
        else:
            future.set_result(reply)  # type: ignore[arg-type]

    return settle


def _settle_in_loop(loop: asyncio.AbstractEventLoop, future: "asyncio.Future[Reply]") -> _dispatch.Completion:
    def in_loop(reply: Optional[Reply], error: Optional[Error]) -> None:
        if future.done():  # cancelled meanwhile
            return
        if error is not None:
            future.set_exception(error)
        else:
            future.set_result(reply)  # type: ignore[arg-type]

    def settle(reply: Optional[Reply], error: Optional[Error]) -> None:
        try:
            loop.call_soon_threadsafe(in_loop, reply, error)
        except RuntimeError:  # the loop is closed: nobody awaits the result
            pass

    return settle
