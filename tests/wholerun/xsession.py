"""Driving a real X display the way a person would: see which windows are up, type, click.

There is no window manager on the test display, so windows have no frames, focus has to be
given explicitly before typing, and closing a window "by its frame" means sending the
WM_DELETE_WINDOW message ourselves.
"""

import ctypes
import ctypes.util
import os
import re
import subprocess
import time
from dataclasses import dataclass

SCREEN_SIZE = (1280, 1024)
POLL_SECONDS = 0.05


class DriveError(AssertionError):
    """Something on screen was not as the run expected."""


def run(args, check=True, **kwargs):
    result = subprocess.run(args, capture_output=True, text=True, **kwargs)
    if check and result.returncode != 0:
        raise DriveError(f"{' '.join(map(str, args))} failed ({result.returncode}): "
                         f"{result.stderr.strip()}")
    return result


def poll(condition, timeout, what, interval=POLL_SECONDS, describe=None):
    """Returns the first true value of condition(), or fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            detail = f" ({describe()})" if describe else ""
            raise DriveError(f"timed out after {timeout:g} s waiting for {what}{detail}")
        time.sleep(interval)


class PrivateDisplay:
    """The caller's display when there is one; otherwise an Xvfb of our own for this run."""

    def __init__(self):
        self.server = None

    def __enter__(self):
        if os.environ.get("DISPLAY"):
            return self
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
             "-screen", "0", f"{SCREEN_SIZE[0]}x{SCREEN_SIZE[1]}x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as announced:
            number = announced.readline().strip()
        if not number:
            self.server.kill()
            raise DriveError("Xvfb did not start")
        os.environ["DISPLAY"] = f":{number}"
        return self

    def __exit__(self, *exc):
        if self.server:
            self.server.terminate()
            try:
                self.server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.server.kill()
            del os.environ["DISPLAY"]


@dataclass(frozen=True)
class Window:
    id: int
    name: str
    x: int
    y: int
    width: int
    height: int
    override_redirect: bool

    @property
    def size(self):
        return (self.width, self.height)

    def __str__(self):
        popup = " popup" if self.override_redirect else ""
        return f'"{self.name}" {self.width}x{self.height}+{self.x}+{self.y}{popup}'


def window_info(window_id):
    """None when the window went away in the meantime."""
    result = run(["xwininfo", "-id", str(window_id)], check=False)
    if result.returncode != 0:
        return None
    text = result.stdout
    name = re.search(r'Window id: \S+ (?:"(.*)"|\(has no name\))', text)

    def number(label):
        return int(re.search(rf"{label}:\s+(-?\d+)", text).group(1))

    if "Map State: IsViewable" not in text:
        return None
    return Window(
        id=window_id,
        name=(name.group(1) or "") if name else "",
        x=number("Absolute upper-left X"),
        y=number("Absolute upper-left Y"),
        width=number("Width"),
        height=number("Height"),
        override_redirect="Override Redirect State: yes" in text)


def visible_windows(pid):
    """The top-level windows of process pid that are on screen now, popups included.

    Only top-level windows count: the video picture is a native child window of its own.
    """
    result = run(["xdotool", "search", "--maxdepth", "1", "--onlyvisible", "--pid", str(pid)],
                 check=False)
    windows = []
    for line in result.stdout.split():
        info = window_info(int(line))
        if info:
            windows.append(info)
    return windows


def screens(pid):
    """The visible windows of pid that a person would call windows: no completion popups."""
    return [w for w in visible_windows(pid) if not w.override_redirect]


def describe_screens(pid):
    shown = screens(pid)
    return "on screen: " + (", ".join(map(str, shown)) if shown else "nothing")


def focus(window):
    run(["xdotool", "windowfocus", "--sync", str(window.id)])


def type_text(window, text):
    focus(window)
    run(["xdotool", "type", "--delay", "30", "--", text])


def key(window, *keys):
    focus(window)
    run(["xdotool", "key", "--delay", "30", *keys])


def click(window, x, y, times=1):
    """Clicks at x, y inside the window, as many times as asked, like quick repeated presses."""
    run(["xdotool", "mousemove", "--window", str(window.id), str(x), str(y),
         "click", "--repeat", str(times), "--delay", "40", "1"])


def click_centre(window, left, top, width, height, times=1):
    click(window, left + width // 2, top + height // 2, times)


def grab_rgb(window, left, top, width, height):
    """The pixels of a rectangle inside the window, 3 bytes each, as drawn on screen now."""
    result = subprocess.run(
        ["import", "-silent", "-window", str(window.id), "-crop",
         f"{width}x{height}+{left}+{top}", "+repage", "-depth", "8", "rgb:-"],
        capture_output=True)
    if result.returncode != 0 or len(result.stdout) != width * height * 3:
        return None
    return result.stdout


def screenshot(path):
    run(["import", "-silent", "-window", "root", str(path)], check=False)


# Closing a window by its frame: what a window manager sends when the close button is pressed.

class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int),
                ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


_CLIENT_MESSAGE = 33


def close_by_frame(window):
    name = ctypes.util.find_library("X11") or "libX11.so.6"
    xlib = ctypes.CDLL(name)
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_XEvent)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = xlib.XOpenDisplay(None)
    if not display:
        raise DriveError("cannot open the display to close a window")
    try:
        event = _XEvent()
        message = event.xclient
        message.type = _CLIENT_MESSAGE
        message.window = window.id
        message.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
        message.format = 32
        message.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        message.data[1] = 0  # CurrentTime
        if not xlib.XSendEvent(display, window.id, 0, 0, ctypes.byref(event)):
            raise DriveError(f"could not send WM_DELETE_WINDOW to {window}")
        xlib.XFlush(display)
    finally:
        xlib.XCloseDisplay(display)
