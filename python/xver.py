"""The shipboard data suite's on-machine protocol, for programs in Python.

A thin binding of the C library libxver (xver.h): the seven named segments,
their mutexes, the path slot and xversend's request. Texts are bytes; a str
is accepted wherever a text is, encoded with os.fsencode.

    with xver.Suite() as suite:
        suite.write("MM_XMITERSTATUS", b"READY")
        path = suite.take_path()

A wait that ends because the mutex's previous holder died is no error: the
text is whole or empty. Timeout and Unusable (both Error) are raised for the
others.
"""

import ctypes
import os
import sys

__all__ = ["SEGMENTS", "Error", "Timeout", "Unusable", "Suite", "is_path", "version"]

if sys.platform == "win32":
    # winmode=0: the system's usual search, PATH included.
    _lib = ctypes.CDLL("xver.dll", winmode=0)
    _ENCODING = "mbcs"
else:
    _lib = ctypes.CDLL("libxver.so.1")
    _ENCODING = "utf-8"

_TEXT_MAX = 200
_OK, _ABANDONED, _EMPTY, _TIMEOUT, _UNUSABLE, _TOO_LONG = 0, 1, 2, -1, -2, -3

_Handle = ctypes.c_void_p
_Text = ctypes.c_char * (_TEXT_MAX + 2)
for _name, _restype, _argtypes in [
    ("xver_open", _Handle, []),
    ("xver_close", None, [_Handle]),
    ("xver_segment_name", ctypes.c_char_p, [ctypes.c_int]),
    ("xver_problem", ctypes.c_char_p, [_Handle, ctypes.c_int]),
    ("xver_made_new", ctypes.c_int, [_Handle, ctypes.c_int]),
    ("xver_read", ctypes.c_int, [_Handle, ctypes.c_int, _Text, ctypes.c_int]),
    ("xver_write", ctypes.c_int, [_Handle, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]),
    ("xver_is_path", ctypes.c_int, [ctypes.c_char_p]),
    ("xver_take_path", ctypes.c_int, [_Handle, _Text, ctypes.c_int]),
    ("xver_submit", ctypes.c_int, [_Handle, ctypes.c_char_p, ctypes.c_char * 256]),
    ("xver_version", ctypes.c_char_p, []),
]:
    _function = getattr(_lib, _name)
    _function.restype = _restype
    _function.argtypes = _argtypes

SEGMENTS = tuple(_lib.xver_segment_name(i).decode("ascii") for i in range(7))


class Error(Exception):
    """A segment access that was not done."""


class Timeout(Error):
    """Another process held the segment's mutex past the wait."""


class Unusable(Error):
    """The segment cannot be used, or the text does not fit it."""


def _bytes(text):
    return text if isinstance(text, bytes) else os.fsencode(text)


def is_path(text):
    """Whether xversend takes the text for a path (':' or '\\'; Linux also '/')."""
    return bool(_lib.xver_is_path(_bytes(text)))


def version():
    return _lib.xver_version().decode("ascii")


class Suite:
    """The seven segments, attached or created on opening and held until close."""

    def __init__(self):
        self._handle = _lib.xver_open()
        if not self._handle:
            raise MemoryError("xver_open")

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def close(self):
        if self._handle:
            _lib.xver_close(self._handle)
            self._handle = None

    def _segment(self, name):
        if not self._handle:
            raise Error("the suite is closed")
        try:
            return SEGMENTS.index(name)
        except ValueError:
            raise ValueError("no segment %r; the segments are %s" % (name, ", ".join(SEGMENTS))) from None

    def _check(self, result, segment):
        if result == _TIMEOUT:
            raise Timeout("%s: another process held its mutex past the wait" % SEGMENTS[segment])
        if result == _TOO_LONG:
            raise Unusable("%s: a text holds at most %d characters" % (SEGMENTS[segment], _TEXT_MAX))
        if result == _UNUSABLE:
            raise Unusable(self.problem(SEGMENTS[segment]) or SEGMENTS[segment] + ": not attached")
        return result

    def problem(self, name):
        """'' when the segment is usable, else why not, as xversend says it."""
        return _lib.xver_problem(self._handle, self._segment(name)).decode(_ENCODING, "replace")

    def made_new(self, name):
        """Whether opening made the segment new: no other process held it."""
        return bool(_lib.xver_made_new(self._handle, self._segment(name)))

    def read(self, name, timeout_ms=3000):
        segment = self._segment(name)
        text = _Text()
        self._check(_lib.xver_read(self._handle, segment, text, timeout_ms), segment)
        return text.value

    def write(self, name, text, timeout_ms=3000):
        segment = self._segment(name)
        self._check(_lib.xver_write(self._handle, segment, _bytes(text), timeout_ms), segment)

    def take_path(self, timeout_ms=3000):
        """The path waiting in MM_XMITPATH, taken out of the slot; None when none waits."""
        segment = SEGMENTS.index("MM_XMITPATH")
        self._segment("MM_XMITPATH")
        path = _Text()
        result = self._check(_lib.xver_take_path(self._handle, path, timeout_ms), segment)
        return None if result == _EMPTY else path.value

    def submit(self, request):
        """xversend's request: (handed over, the line xversend would print or '')."""
        self._segment("MM_XMITPATH")
        message = (ctypes.c_char * 256)()
        handed_over = _lib.xver_submit(self._handle, _bytes(request), message)
        return bool(handed_over), message.value.decode(_ENCODING, "replace")
