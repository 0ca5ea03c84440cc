#!/usr/bin/python3
"""The one duty of a window manager that Wine waits for, on the harness's display.

Usage: wm_state.py DISPLAY   (runs until killed; txharness.py up starts it)

Wine's X11 driver treats captioned top-level windows as managed: before it
unmaps such a window it waits for a window manager to have marked it mapped
(the ICCCM WM_STATE property NormalState), and before it maps one again it
waits for WithdrawnState. With no window manager on Xvfb nobody sets the
property, and every closed dialog, message box or program costs a 2-second
time-out. This keeper sets WM_STATE as a window manager would, as soon as the X
server reports a top-level window mapped or unmapped, and does nothing else: no
reparenting, no focus, no stacking, no decorations, so what the display shows is
what it showed without it.

Plain ctypes over libX11: no package beyond the X library Wine already needs.
"""
import ctypes
import ctypes.util
import sys

UNMAP_NOTIFY, MAP_NOTIFY = 18, 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
WITHDRAWN_STATE, NORMAL_STATE = 0, 1
PROP_MODE_REPLACE = 0


class XMapUnmapEvent(ctypes.Structure):
    """The common head of XMapEvent and XUnmapEvent (the last field differs in name only)."""
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("flag", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapUnmapEvent), ("pad", ctypes.c_long * 24)]


ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


@ERROR_HANDLER
def _ignore_error(display, error):
    # A window may be gone before its state is written (BadWindow): nothing to do then.
    return 0


def main(name):
    x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
    x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                  ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XSetErrorHandler.argtypes = [ERROR_HANDLER]

    display = x.XOpenDisplay(name.encode())
    if not display:
        sys.exit("wm_state: cannot open display %s" % name)
    x.XSetErrorHandler(_ignore_error)
    root = x.XDefaultRootWindow(display)
    wm_state = x.XInternAtom(display, b"WM_STATE", 0)
    x.XSelectInput(display, root, SUBSTRUCTURE_NOTIFY_MASK)
    x.XFlush(display)
    event = XEvent()
    value = (ctypes.c_long * 2)()  # state, icon window (none)
    while True:
        x.XNextEvent(display, ctypes.byref(event))
        if event.type not in (MAP_NOTIFY, UNMAP_NOTIFY):
            continue
        ev = event.xmap
        # Only what the server itself reports for children of the root: synthetic
        # notices (a withdraw's copy) repeat a real one; override-redirect windows
        # (menus, tool tips) are never a window manager's.
        if ev.send_event or ev.event != root:
            continue
        if event.type == MAP_NOTIFY and ev.flag:
            continue
        value[0] = NORMAL_STATE if event.type == MAP_NOTIFY else WITHDRAWN_STATE
        x.XChangeProperty(display, ev.window, wm_state, wm_state, 32, PROP_MODE_REPLACE, value, 2)
        x.XFlush(display)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
