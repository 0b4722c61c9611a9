"""End-to-end test of the real viewer on a private virtual display.

The viewer is copied into a temporary course folder (it shows the index.html of its own
folder) and started there. The test waits on what it can observe (windows, pixels, the
process's end, the platform trace), each wait bounded by a generous timeout.

Usage: viewer_e2e.py PATH_TO_VIEWER"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import Xlib.error
import Xlib.XK
from Xlib import X, display as xdisplay, protocol
from Xlib.ext import xtest

from private_display import PrivateDisplay

VIEWER = None
TIMEOUT = 90  # seconds for any one thing to happen, however loaded the machine

# The page: green everywhere, a red square in the viewport's bottom-right corner (so the
# viewport's size shows), cyan on a key, blue once a context menu was asked for, yellow after a click; a
# second click opens a pop-up window (magenta).
PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>A page title the window must not show</title>
<style>
  html, body { margin: 0; height: 100%; overflow: hidden; background: rgb(0, 200, 0); }
  #corner { position: fixed; right: 0; bottom: 0; width: 24px; height: 24px;
            background: rgb(220, 0, 0); }
</style></head>
<body><div id="corner"></div>
<script>
  document.addEventListener("contextmenu", () => { document.body.style.background = "rgb(0, 0, 220)"; });
  document.addEventListener("keydown", () => { document.body.style.background = "rgb(0, 200, 200)"; });
  let clicks = 0;
  document.addEventListener("click", () => {
    if (++clicks === 1) document.body.style.background = "rgb(230, 230, 0)";
    else window.open("popup.html", "_blank", "width=320,height=240");
  });
</script></body></html>
"""

POPUP = """<!DOCTYPE html>
<html><head><title>pop-up</title></head>
<body style="margin: 0; background: rgb(200, 0, 200)"></body></html>
"""

GREEN, RED, BLUE, YELLOW, MAGENTA = (0, 200, 0), (220, 0, 0), (0, 0, 220), (230, 230, 0), (200, 0, 200)
CYAN = (0, 200, 200)


def close_to(pixel, colour, tolerance=12):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def wait_for(condition, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)  # polling interval of a wait on an outside event, not a delay


class ViewerUnderTest:
    """One viewer process in its own course folder, with its trace and settings folders."""

    def __init__(self, display_name, args=(), with_display=True):
        self.folder = tempfile.mkdtemp(prefix="viewer e2e ")  # a blank in the path too
        shutil.copy2(VIEWER, os.path.join(self.folder, "viewer"))
        for name, text in (("index.html", PAGE), ("popup.html", POPUP)):
            with open(os.path.join(self.folder, name), "w") as f:
                f.write(text)
        self.trace = os.path.join(self.folder, "trace.txt")
        self.config = os.path.join(self.folder, "config")
        env = dict(os.environ, PLATFORM_TRACE=self.trace, XDG_CONFIG_HOME=self.config,
                   HOME=self.folder, NO_AT_BRIDGE="1")
        if with_display:
            env["DISPLAY"] = display_name
        else:
            env.pop("DISPLAY", None)
            env.pop("WAYLAND_DISPLAY", None)
        self.process = subprocess.Popen([os.path.join(self.folder, "viewer"), *args], env=env,
                                        cwd=self.folder, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT)

    def wait(self, timeout=TIMEOUT):
        try:
            output, _ = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            output, _ = self.process.communicate()
            raise AssertionError("the viewer did not end:\n" + output.decode(errors="replace"))
        return self.process.returncode, output.decode(errors="replace")

    def trace_lines(self):
        if not os.path.exists(self.trace):
            return []
        with open(self.trace) as f:
            return f.read().splitlines()

    def cleanup(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()
        shutil.rmtree(self.folder, ignore_errors=True)


class Screen:
    def __init__(self, name):
        self.d = xdisplay.Display(name)
        self.root = self.d.screen().root
        self.wm_protocols = self.d.intern_atom("WM_PROTOCOLS")
        self.wm_delete = self.d.intern_atom("WM_DELETE_WINDOW")

    def _mapped_children(self, override_redirect):
        """The root's mapped children; windows that go while they are looked at (the
        toolkit makes short-lived ones) are skipped."""
        found = []
        for w in self.root.query_tree().children:
            try:
                attrs = w.get_attributes()
                if attrs.map_state == X.IsViewable and bool(attrs.override_redirect) == override_redirect:
                    found.append((w, w.get_wm_name()))
            except Xlib.error.XError:
                continue
        return found

    def top_level(self, title):
        return next((w for w, name in self._mapped_children(False) if name == title), None)

    def top_levels(self):
        return [w for w, _ in self._mapped_children(False)]

    def popups(self):
        """Mapped override-redirect windows: menus and tooltips."""
        return [w for w, _ in self._mapped_children(True)]

    def geometry(self, window):
        g = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        return -origin.x, -origin.y, g.width, g.height

    def pixel(self, x, y):
        raw = self.root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
        return raw[2], raw[1], raw[0]

    def region(self, x, y, width, height):
        image = self.root.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF)
        stride = len(image.data) // height
        return lambda px, py: (image.data[py * stride + px * 4 + 2],
                               image.data[py * stride + px * 4 + 1],
                               image.data[py * stride + px * 4])

    def resize(self, window, width, height):
        window.configure(width=width, height=height)
        self.d.sync()

    def click(self, x, y, button):
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        xtest.fake_input(self.d, X.ButtonPress, button)
        xtest.fake_input(self.d, X.ButtonRelease, button)
        self.d.sync()

    def focus(self, window):
        window.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.d.sync()

    def press_key(self, keysym):
        code = self.d.keysym_to_keycode(keysym)
        xtest.fake_input(self.d, X.KeyPress, code)
        xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()

    def close_like_a_window_manager(self, window):
        event = protocol.event.ClientMessage(
            window=window, client_type=self.wm_protocols,
            data=(32, [self.wm_delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=0)
        self.d.sync()


def page_covers_window(screen, window, body=GREEN):
    """The page fills the window exactly: its colour everywhere, and its bottom-right
    corner square in the window's bottom-right corner."""
    x, y, width, height = screen.geometry(window)
    at = screen.region(x, y, width, height)
    corner_inside = close_to(at(width - 4, height - 4), RED) and close_to(at(width - 20, height - 20), RED)
    corner_edge = close_to(at(width - 30, height - 4), body) and close_to(at(width - 4, height - 30), body)
    samples = [(px, py) for px in range(2, width - 30, max(width // 16, 1))
               for py in range(2, height - 30, max(height // 16, 1))]
    return corner_inside and corner_edge and all(close_to(at(px, py), body) for px, py in samples)


def ordered(lines, expected):
    """The expected lines occur in this order (others may come between them)."""
    position = 0
    for line in lines:
        if position < len(expected) and line == expected[position]:
            position += 1
    return position == len(expected)


class ViewerEndToEnd(unittest.TestCase):
    def test_window_page_resize_context_menu_and_close(self):
        with PrivateDisplay() as display:
            viewer = ViewerUnderTest(display.name)
            try:
                screen = Screen(display.name)
                window = wait_for(lambda: screen.top_level("Brevona"), "the window titled Brevona")
                _, _, first_width, first_height = screen.geometry(window)

                # The page fills the client area: no menu bar above it, no gap below it.
                wait_for(lambda: page_covers_window(screen, window), "the page over the whole window")

                # It follows the window when it grows and when it shrinks below its first size.
                screen.resize(window, first_width + 200, first_height + 150)
                wait_for(lambda: screen.geometry(window)[2:] == (first_width + 200, first_height + 150)
                         and page_covers_window(screen, window), "the page after growing")
                screen.resize(window, first_width // 2, first_height // 2)
                wait_for(lambda: screen.geometry(window)[2:] == (first_width // 2, first_height // 2)
                         and page_covers_window(screen, window), "the page after shrinking")
                self.assertEqual(window.get_wm_name(), "Brevona")

                # The window getting the focus gives it to the page: a key reaches it.
                screen.focus(window)
                screen.press_key(Xlib.XK.string_to_keysym("a"))
                wait_for(lambda: page_covers_window(screen, window, body=CYAN), "the page to see a key")

                # A right-click reaches the page but shows no menu. The left click after it
                # is handled after any menu would have been shown.
                x, y, width, height = screen.geometry(window)
                screen.click(x + width // 2, y + height // 2, 3)
                wait_for(lambda: close_to(screen.pixel(x + width // 2, y + height // 2), BLUE),
                         "the page to see the right-click")
                screen.click(x + width // 2, y + height // 2, 1)
                wait_for(lambda: close_to(screen.pixel(x + width // 2, y + height // 2), YELLOW),
                         "the page to see the left click")
                self.assertEqual(screen.popups(), [], "a context menu was shown")

                # A second click opens a pop-up: a window of its own showing its page. It
                # is still open when the main window closes.
                screen.click(x + width // 2, y + height // 2, 1)
                popup = wait_for(lambda: [w for w in screen.top_levels() if w != window], "the pop-up")[0]
                wait_for(lambda: close_to(screen.pixel(*[c + 10 for c in screen.geometry(popup)[:2]]), MAGENTA),
                         "the pop-up's page")
                wait_for(lambda: popup.get_wm_name() == "pop-up", "the pop-up's title")
                self.assertEqual(window.get_wm_name(), "Brevona")

                screen.close_like_a_window_manager(window)
                code, output = viewer.wait()
                self.assertEqual(code, 0, output)
                lines = viewer.trace_lines()
                self.assertTrue(ordered(lines, [
                    "CefExecuteProcess", "CefInitialize", "CreateWindowExW top-level",
                    "CefRunMessageLoop", "SaveState", "DestroyWindow top-level", "PostQuitMessage",
                    "CefRunMessageLoop returned", "CefShutdown", "AfxOleTerm"]), "\n".join(lines))
                # The pop-up, still open, goes with the engine's shutdown.
                self.assertEqual(lines[-4:], ["CefRunMessageLoop returned", "CefShutdown",
                                              "DestroyWindow top-level", "AfxOleTerm"])
                self.assertIn("LoadLibraryW gdiplus.dll failed", lines)  # nothing to shut down
                settings = os.path.join(viewer.config, "Tirravel", "Brevona", "settings.ini")
                with open(settings) as f:
                    self.assertIn("[Workspace]", f.read())
            finally:
                viewer.cleanup()

    def test_render_process_type_ends_at_once_without_window(self):
        # No display at all: the process must not need one.
        viewer = ViewerUnderTest(None, args=["--type=renderer"], with_display=False)
        try:
            code, output = viewer.wait()
            self.assertEqual(code, 0, output)
            lines = viewer.trace_lines()
            self.assertEqual(lines, [
                "InitCommonControlsEx", "AfxOleInit", "AfxEnableControlContainer",
                "EnableTaskbarInteraction", "SetRegistryKey Tirravel", "InitTooltipManager",
                "LoadLibraryW gdiplus.dll failed", "CefExecuteProcess", "CefShutdown", "AfxOleTerm"])
        finally:
            viewer.cleanup()


if __name__ == "__main__":
    VIEWER = os.path.abspath(sys.argv.pop(1))
    unittest.main()
