"""Quorlane for Python hosts: starts the bridge and speaks its protocol through libquorlane.

Standard library only (ctypes). The library is looked for in QUORLANE_LIBRARY, then beside this
file and in ../lib (../bin for quorlane.dll), then where the system finds libraries.

    with quorlane.Bridge("/opt/quorlane/Quorlane") as bridge:
        reply = bridge.request({"type": "Login", "param": {...}})
        frame = bridge.receive_frame(channel=1, timeout=5)

Receiving is polled from the caller's thread; the library reads the bridge's pipes on threads of
its own into bounded queues, so a host that reads late loses the oldest frames, never stalls the
bridge.
"""

import ctypes
import ctypes.util
import json
import os
import sys

CHANNELS = 5

OK, TIMEOUT, ENDED = 0, 1, 2
FROM_BRIDGE, FROM_CONTROL = 0, 1


class QuorlaneError(Exception):
    """A failed call; `code` is the library's result code."""

    def __init__(self, code, message):
        super().__init__(message)
        self.code = code


class BridgeEnded(QuorlaneError):
    """The bridge has ended and everything it sent was received; `exit` tells how it ended."""

    def __init__(self, exit_info):
        super().__init__(ENDED, "the bridge has ended (%s)" % exit_info["description"])
        self.exit = exit_info


class _Text(ctypes.Structure):
    _fields_ = [("data", ctypes.c_char_p), ("length", ctypes.c_size_t), ("source", ctypes.c_int)]


class _Frame(ctypes.Structure):
    _fields_ = [
        ("channel", ctypes.c_int),
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("y_stride", ctypes.c_int),
        ("chroma_stride", ctypes.c_int),
        ("y", ctypes.c_void_p),
        ("u", ctypes.c_void_p),
        ("v", ctypes.c_void_p),
        ("number", ctypes.c_uint64),
    ]


class _Exit(ctypes.Structure):
    _fields_ = [
        ("exited", ctypes.c_int),
        ("code", ctypes.c_int),
        ("signaled", ctypes.c_int),
        ("signal", ctypes.c_int),
        ("closed", ctypes.c_int),
        ("description", ctypes.c_char * 112),
    ]


class _Stats(ctypes.Structure):
    _fields_ = [
        ("texts_received", ctypes.c_uint64),
        ("texts_dropped", ctypes.c_uint64),
        ("frames_received", ctypes.c_uint64 * CHANNELS),
        ("frames_dropped", ctypes.c_uint64 * CHANNELS),
        ("skipped_bytes", ctypes.c_uint64),
        ("queued_bytes", ctypes.c_uint64),
        ("torn", ctypes.c_int * CHANNELS),
    ]


class _Options(ctypes.Structure):
    _fields_ = [
        ("executable", ctypes.c_char_p),
        ("working_directory", ctypes.c_char_p),
        ("environment", ctypes.POINTER(ctypes.c_char_p)),
        ("scripted", ctypes.c_int),
        ("start_timeout_ms", ctypes.c_int),
        ("text_queue_limit", ctypes.c_int),
        ("frame_queue_limit", ctypes.c_int),
        ("stdout_path", ctypes.c_char_p),
        ("stderr_path", ctypes.c_char_p),
        ("on_text", ctypes.c_void_p),
        ("on_frame", ctypes.c_void_p),
        ("on_exit", ctypes.c_void_p),
        ("user_data", ctypes.c_void_p),
    ]


def _find_library():
    named = os.environ.get("QUORLANE_LIBRARY")
    if named:
        return named
    here = os.path.dirname(os.path.abspath(__file__))
    names = ["quorlane.dll"] if sys.platform == "win32" else ["libquorlane.so"]
    for folder in (here, os.path.join(here, "..", "lib"), os.path.join(here, "..", "bin")):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.exists(path):
                return path
    found = ctypes.util.find_library("quorlane")
    if found is None:
        raise OSError("libquorlane not found: set QUORLANE_LIBRARY to its path")
    return found


_lib = None


def load(path=None):
    """Loads libquorlane (once); `path` overrides the search."""
    global _lib
    if _lib is not None:
        return _lib
    lib = ctypes.CDLL(path or _find_library())
    p = ctypes.c_void_p
    lib.quorlane_result_text.restype = ctypes.c_char_p
    lib.quorlane_result_text.argtypes = [ctypes.c_int]
    lib.quorlane_version.restype = ctypes.c_char_p
    lib.quorlane_options_init.argtypes = [ctypes.POINTER(_Options)]
    lib.quorlane_start.argtypes = [ctypes.POINTER(_Options), ctypes.POINTER(p), ctypes.c_char_p,
                                   ctypes.c_size_t]
    lib.quorlane_send.argtypes = [p, ctypes.c_char_p, ctypes.c_size_t]
    lib.quorlane_send_control.argtypes = [p, ctypes.c_char_p]
    lib.quorlane_receive_text.argtypes = [p, ctypes.c_int, ctypes.POINTER(ctypes.POINTER(_Text))]
    lib.quorlane_text_release.argtypes = [ctypes.POINTER(_Text)]
    lib.quorlane_receive_frame.argtypes = [p, ctypes.c_int, ctypes.c_int,
                                           ctypes.POINTER(ctypes.POINTER(_Frame))]
    lib.quorlane_frame_release.argtypes = [ctypes.POINTER(_Frame)]
    lib.quorlane_wait.argtypes = [p, ctypes.c_int]
    lib.quorlane_close.argtypes = [p, ctypes.c_int]
    lib.quorlane_destroy.argtypes = [p]
    lib.quorlane_destroy.restype = None
    lib.quorlane_exit_info.argtypes = [p, ctypes.POINTER(_Exit)]
    lib.quorlane_pid.argtypes = [p]
    lib.quorlane_get_stats.argtypes = [p, ctypes.POINTER(_Stats)]
    _lib = lib
    return lib


def _ms(timeout):
    return -1 if timeout is None else max(0, int(timeout * 1000))


class Frame:
    """One frame, its planes copied out: y, u, v as bytes (I420, strides width and (width+1)//2)."""

    def __init__(self, raw):
        self.channel = raw.channel
        self.width = raw.width
        self.height = raw.height
        self.number = raw.number
        chroma = ((raw.width + 1) // 2) * ((raw.height + 1) // 2)
        self.y = ctypes.string_at(raw.y, raw.width * raw.height)
        self.u = ctypes.string_at(raw.u, chroma)
        self.v = ctypes.string_at(raw.v, chroma)


class Bridge:
    """A running bridge. Timeouts are in seconds (None: no limit)."""

    def __init__(self, executable, cwd=None, env=None, scripted=False, start_timeout=10,
                 text_queue_limit=1024, frame_queue_limit=4, stdout=None, stderr=None,
                 library=None):
        self._lib = load(library)
        self._handle = ctypes.c_void_p()
        self.events = []  # texts that arrived while request() waited for its reply
        options = _Options()
        self._lib.quorlane_options_init(ctypes.byref(options))
        options.executable = os.fsencode(executable)
        options.working_directory = os.fsencode(cwd) if cwd else None
        entries = ["%s=%s" % item for item in (env or {}).items()]
        self._environment = (ctypes.c_char_p * (len(entries) + 1))(
            *[e.encode() for e in entries], None)
        options.environment = self._environment
        options.scripted = 1 if scripted else 0
        options.start_timeout_ms = _ms(start_timeout)
        options.text_queue_limit = text_queue_limit
        options.frame_queue_limit = frame_queue_limit
        options.stdout_path = os.fsencode(stdout) if stdout else None
        options.stderr_path = os.fsencode(stderr) if stderr else None
        message = ctypes.create_string_buffer(512)
        result = self._lib.quorlane_start(ctypes.byref(options), ctypes.byref(self._handle),
                                          message, len(message))
        if result != OK:
            raise QuorlaneError(result, message.value.decode(errors="replace"))

    def _check(self, result):
        if result == ENDED:
            raise BridgeEnded(self.exit_info())
        if result not in (OK, TIMEOUT):
            raise QuorlaneError(result, self._lib.quorlane_result_text(result).decode())
        return result

    @property
    def pid(self):
        return self._lib.quorlane_pid(self._handle)

    def send(self, command):
        """Sends a command: a JSON text, or anything json.dumps takes."""
        text = command if isinstance(command, str) else json.dumps(command)
        data = text.encode()
        self._check(self._lib.quorlane_send(self._handle, data, len(data)))

    def send_control(self, request):
        line = request if isinstance(request, str) else json.dumps(request)
        self._check(self._lib.quorlane_send_control(self._handle, line.encode()))

    def receive_text(self, timeout=None):
        """The next reply or event as a str, or None after `timeout`; BridgeEnded at the end."""
        text = ctypes.POINTER(_Text)()
        if self._check(self._lib.quorlane_receive_text(self._handle, _ms(timeout),
                                                       ctypes.byref(text))) == TIMEOUT:
            return None
        try:
            return ctypes.string_at(text.contents.data, text.contents.length).decode()
        finally:
            self._lib.quorlane_text_release(text)

    def receive_frame(self, channel=-1, timeout=None):
        """The next Frame of `channel` (-1: any), or None after `timeout`."""
        frame = ctypes.POINTER(_Frame)()
        if self._check(self._lib.quorlane_receive_frame(self._handle, channel, _ms(timeout),
                                                        ctypes.byref(frame))) == TIMEOUT:
            return None
        try:
            return Frame(frame.contents)
        finally:
            self._lib.quorlane_frame_release(frame)

    def wait(self, timeout=None):
        """True once a text or frame can be taken, False after `timeout`."""
        return self._check(self._lib.quorlane_wait(self._handle, _ms(timeout))) == OK

    def request(self, command, timeout=10):
        """Sends a command and returns its reply ({"code": n, "type": name}) as a dict; the
        events and other texts received meanwhile are appended to self.events."""
        if isinstance(command, str):
            command = json.loads(command)
        self.send(command)
        while True:
            text = self.receive_text(timeout)
            if text is None:
                raise QuorlaneError(TIMEOUT, "no reply to %s within %s s" % (command["type"],
                                                                             timeout))
            value = json.loads(text)
            if "param" not in value and value.get("type") == command["type"] and "code" in value:
                return value
            self.events.append(value)

    def stats(self):
        s = _Stats()
        self._check(self._lib.quorlane_get_stats(self._handle, ctypes.byref(s)))
        return {
            "texts_received": s.texts_received,
            "texts_dropped": s.texts_dropped,
            "frames_received": list(s.frames_received),
            "frames_dropped": list(s.frames_dropped),
            "queued_bytes": s.queued_bytes,
        }

    def exit_info(self):
        """How the bridge ended (a dict), or None while it runs."""
        e = _Exit()
        if self._lib.quorlane_exit_info(self._handle, ctypes.byref(e)) != OK:
            return None
        return {"exited": bool(e.exited), "code": e.code, "signaled": bool(e.signaled),
                "signal": e.signal, "closed": bool(e.closed),
                "description": e.description.decode()}

    def close(self, grace=5):
        """Ends the bridge in order and returns exit_info()."""
        if self._handle:
            self._check(self._lib.quorlane_close(self._handle, _ms(grace)))
        return self.exit_info()

    def destroy(self):
        if self._handle:
            self._lib.quorlane_destroy(self._handle)
            self._handle = ctypes.c_void_p()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.destroy()

    def __del__(self):
        if getattr(self, "_handle", None):
            self.destroy()
