# End-to-end test of the real viewer on a private virtual display: viewer_e2e.py VIEWER.
#
# The viewer is copied into a temporary course folder (it shows the index.html of its own
# folder) and started there. The test waits on what it can observe (windows, pixels, the
# process's end, the platform trace), each wait bounded by a generous timeout.
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

# The page: green, with a red square in the viewport's bottom-right corner (so the
# viewport's size shows); cyan on a key, blue once a context menu was asked for, yellow
# after a click; a second click opens a pop-up window (magenta).
PAGE = """<!DOCTYPE html><html><head><title>A title the window must not show</title></head>
<body style="margin: 0; height: 100vh; overflow: hidden; background: rgb(0, 200, 0)">
<div style="position: fixed; right: 0; bottom: 0; width: 24px; height: 24px;
            background: rgb(220, 0, 0)"></div>
<script>
  const paint = (colour) => () => { document.body.style.background = colour; };
  document.addEventListener("contextmenu", paint("rgb(0, 0, 220)"));
  document.addEventListener("keydown", paint("rgb(0, 200, 200)"));
  let clicks = 0;
  document.addEventListener("click", () => {
    if (++clicks === 1) paint("rgb(230, 230, 0)")();
    else window.open("popup.html", "_blank", "width=320,height=240");
  });
</script></body></html>"""
POPUP = """<!DOCTYPE html><html><head><title>pop-up</title></head>
<body style="margin: 0; background: rgb(200, 0, 200)"></body></html>"""
GREEN, RED, BLUE, YELLOW = (0, 200, 0), (220, 0, 0), (0, 0, 220), (230, 230, 0)
CYAN, MAGENTA = (0, 200, 200), (200, 0, 200)


def wait_for(condition, what):
    deadline = time.monotonic() + TIMEOUT
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)  # polling interval of a wait on an outside event, not a delay
    return result


def start_viewer(folder, display_name, *args):
    """The viewer in its own course folder, with its trace and settings there too."""
    shutil.copy2(VIEWER, os.path.join(folder, "viewer"))
    for name, text in (("index.html", PAGE), ("popup.html", POPUP)):
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(PLATFORM_TRACE=os.path.join(folder, "trace.txt"), HOME=folder,
               XDG_CONFIG_HOME=os.path.join(folder, "config"), NO_AT_BRIDGE="1")
    if display_name:
        env["DISPLAY"] = display_name
    return subprocess.Popen([os.path.join(folder, "viewer"), *args], env=env, cwd=folder,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)


def ended(viewer, folder):
    """The exit code, output and trace of the viewer once it ended by itself."""
    try:
        output = viewer.communicate(timeout=TIMEOUT)[0]
    except subprocess.TimeoutExpired:
        viewer.kill()
        output = b"the viewer did not end:\n" + viewer.communicate()[0]
    with open(os.path.join(folder, "trace.txt")) as trace:
        return viewer.returncode, output.decode(errors="replace"), trace.read().splitlines()


class Screen:
    def __init__(self, name):
        self.d = xdisplay.Display(name)
        self.root = self.d.screen().root

    def windows(self, override_redirect=False):
        """The root's mapped children by name (override-redirect ones are menus and
        tooltips); windows that go while they are looked at are skipped."""
        found = {}
        for w in self.root.query_tree().children:
            try:
                attrs = w.get_attributes()
                if (attrs.map_state == X.IsViewable
                        and bool(attrs.override_redirect) == override_redirect):
                    found[w] = w.get_wm_name()
            except Xlib.error.XError:
                continue
        return found

    def geometry(self, window):
        g = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        return -origin.x, -origin.y, g.width, g.height

    def shows(self, x, y, colour, width=1, height=1, points=((0, 0),)):
        """The area's pixels at the points are close to the colour."""
        data = self.root.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF).data
        stride = len(data) // height
        return all(abs(data[py * stride + px * 4 + 2 - i] - colour[i]) <= 12
                   for px, py in points for i in range(3))

    def send(self, *steps):
        """Fake input events (xtest's arguments) or requests, then a round trip."""
        for step in steps:
            step() if callable(step) else xtest.fake_input(self.d, *step)
        self.d.sync()

    def click(self, x, y, button):
        self.send((X.MotionNotify, 0, X.CurrentTime, X.NONE, x, y), (X.ButtonPress, button),
                  (X.ButtonRelease, button))


def page_covers_window(screen, window, body=GREEN):
    """The page fills the window exactly: its colour everywhere, and its bottom-right
    corner square in the window's bottom-right corner."""
    x, y, w, h = screen.geometry(window)
    samples = [(px, py) for px in range(2, w - 30, max(w // 16, 1))
               for py in range(2, h - 30, max(h // 16, 1))]
    return (screen.shows(x, y, RED, w, h, [(w - 4, h - 4), (w - 20, h - 20)])
            and screen.shows(x, y, body, w, h, samples + [(w - 30, h - 4), (w - 4, h - 30)]))


class ViewerEndToEnd(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="viewer e2e ")  # a blank in the path too
        self.addCleanup(shutil.rmtree, self.folder, True)

    def test_window_page_resize_focus_context_menu_popup_and_close(self):
        with PrivateDisplay() as display:
            viewer = start_viewer(self.folder, display.name)
            self.addCleanup(viewer.kill)
            screen = Screen(display.name)
            window = wait_for(lambda: [w for w, n in screen.windows().items() if n == "Brevona"],
                              "the window titled Brevona")[0]
            # The page fills the client area: no menu bar above it, no gap below it.
            wait_for(lambda: page_covers_window(screen, window), "the page over the window")

            # It follows the window when it grows and when it shrinks below its first size.
            _, _, width, height = screen.geometry(window)
            for size in ((width + 200, height + 150), (width // 2, height // 2)):
                screen.send(lambda: window.configure(width=size[0], height=size[1]))
                wait_for(lambda: screen.geometry(window)[2:] == size
                         and page_covers_window(screen, window), f"the page at {size}")
            self.assertEqual(window.get_wm_name(), "Brevona")

            # The window getting the focus gives it to the page: a key reaches it.
            key = screen.d.keysym_to_keycode(Xlib.XK.string_to_keysym("a"))
            screen.send(lambda: window.set_input_focus(X.RevertToParent, X.CurrentTime),
                        (X.KeyPress, key), (X.KeyRelease, key))
            wait_for(lambda: page_covers_window(screen, window, CYAN), "the page to see a key")

            # A right-click reaches the page but shows no menu. The left click after it is
            # handled after any menu would have been shown.
            x, y, width, height = screen.geometry(window)
            middle = (x + width // 2, y + height // 2)
            for button, colour in ((3, BLUE), (1, YELLOW)):
                screen.click(*middle, button)
                wait_for(lambda: screen.shows(*middle, colour), f"the page to see button {button}")
            self.assertEqual(screen.windows(override_redirect=True), {}, "a menu was shown")

            # A second click opens a pop-up: a window of its own showing its page. It is
            # still open when the main window closes.
            screen.click(*middle, 1)
            popup = wait_for(lambda: [w for w in screen.windows() if w != window], "a pop-up")[0]
            wait_for(lambda: popup.get_wm_name() == "pop-up" and screen.shows(
                *[c + 10 for c in screen.geometry(popup)[:2]], MAGENTA), "the pop-up's page")

            # Closed the way a window manager closes it.
            protocols, delete = map(screen.d.intern_atom, ("WM_PROTOCOLS", "WM_DELETE_WINDOW"))
            screen.send(lambda: window.send_event(protocol.event.ClientMessage(
                window=window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))))
            code, output, lines = ended(viewer, self.folder)
        self.assertEqual(code, 0, output)
        trace = iter(lines)  # these in this order, others between them
        self.assertTrue(all(line in trace for line in [
            "CefExecuteProcess", "CefInitialize", "CreateWindowExW top-level", "CefRunMessageLoop",
            "SaveState", "DestroyWindow top-level", "PostQuitMessage", "CefRunMessageLoop returned",
            "CefShutdown", "AfxOleTerm"]), "\n".join(lines))
        # The pop-up, still open, goes with the engine's shutdown.
        self.assertEqual(lines[-4:], ["CefRunMessageLoop returned", "CefShutdown",
                                      "DestroyWindow top-level", "AfxOleTerm"])
        self.assertIn("LoadLibraryW gdiplus.dll failed", lines)  # nothing to shut down
        with open(os.path.join(self.folder, "config/Tirravel/Brevona/settings.ini")) as f:
            self.assertIn("[Workspace]", f.read())

    def test_without_display_or_as_render_process_ends_at_once_without_window(self):
        # No display at all: a render process must not need one, and the browser process,
        # having no window to wait for, must not wait.
        start = ["InitCommonControlsEx", "AfxOleInit", "AfxEnableControlContainer",
                 "EnableTaskbarInteraction", "SetRegistryKey Tirravel", "InitTooltipManager",
                 "LoadLibraryW gdiplus.dll failed", "CefExecuteProcess"]
        for args, steps in ((["--type=renderer"], []), ([], ["CefInitialize"])):
            code, output, lines = ended(start_viewer(self.folder, None, *args), self.folder)
            os.remove(os.path.join(self.folder, "trace.txt"))
            self.assertEqual(code, 0, output)
            self.assertEqual(lines, start + steps + ["CefShutdown", "AfxOleTerm"])


if __name__ == "__main__":
    VIEWER = os.path.abspath(sys.argv.pop(1))
    unittest.main()
