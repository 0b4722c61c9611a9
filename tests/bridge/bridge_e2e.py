#!/usr/bin/env python3
"""End-to-end test of the JavaScript bridge: the real viewer, on a course of our own in a
folder with a blank in its name, under a private virtual display, with a default program
registered for this test alone that records every file the desktop is asked to open.

The course's pages make every call themselves (see course/); the last one is titleExit,
from a pop-up, which must close the main window and so end the viewer with exit code 0.
The test waits for the viewer to end, then for every program it started (this process
adopts them as a subreaper), and compares what was opened with what must be. It never
sleeps: every wait is on a process or a pipe, under one overall deadline.
"""
import argparse
import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PR_SET_CHILD_SUBREAPER = 36

# Files of the course that a call must open, relative to the course folder.
OPENED = [
    "docs/guide.txt",       # a relative name
    "café.txt",             # named with percent-escapes
    "",                     # the empty name: the course folder itself
    "copied.txt",           # through a copy of the function
    "check-undefined.txt",  # the call evaluated to undefined
    "check-enumerable.txt",
    "check-function.txt",
    "check-deleted.txt",    # the page could delete the object
    "iframe.txt",           # from an iframe, against the main page's folder
    "popup/popup.txt",      # from a pop-up, against the pop-up's page
    "after-nav.txt",        # from the document after a navigation
]
# Files that exist but must not open.
NOT_OPENED = ["wrong-args.txt", "overwritten.txt", "sub/iframe.txt", "popup.txt"]


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


class Deadline:
    def __init__(self, seconds):
        self.end = time.monotonic() + seconds

    def left(self):
        return max(0.0, self.end - time.monotonic())


def start_display(deadline):
    """A private Xvfb; its display number arrives on a pipe once it accepts clients."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], deadline.left())
        if not ready:
            xvfb.kill()
            fail("the virtual display did not start")
        chunk = os.read(read_end, 16)
        if not chunk:
            fail("the virtual display ended at start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


def write(path, text=""):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def register_recorder(root, records):
    """A default program for text files and folders that records its argument."""
    recorder = os.path.join(root, "recorder.sh")
    write(recorder, '#!/bin/sh\nprintf "%s" "$1" > "$(mktemp "' + records + '/open.XXXXXX")"\n')
    write(os.path.join(root, "data", "applications", "bridge-recorder.desktop"),
          "[Desktop Entry]\nType=Application\nName=Bridge test recorder\nNoDisplay=true\n"
          "Exec=/bin/sh " + recorder + " %f\nMimeType=text/plain;inode/directory;\n")
    write(os.path.join(root, "config", "mimeapps.list"),
          "[Default Applications]\ntext/plain=bridge-recorder.desktop\n"
          "inode/directory=bridge-recorder.desktop\n")
    return recorder


def lay_out_course(course, viewer, with_module, outside):
    here = os.path.dirname(os.path.abspath(__file__))
    shutil.copytree(os.path.join(here, "course"), course)
    shutil.copy2(viewer, os.path.join(course, "viewer"))
    modules = os.path.join(os.path.dirname(viewer), "webextensions")
    if with_module:
        shutil.copytree(modules, os.path.join(course, "webextensions"))
    write(os.path.join(course, "config.js"), "var OUTSIDE = %s;\n" % repr(outside).replace("'", '"'))
    for name in OPENED + NOT_OPENED:
        if name:
            write(os.path.join(course, name))


def descendants():
    """Processes below this one: the viewer's own and those this one adopted."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [os.getpid()]
    while todo:
        for pid in children.get(todo.pop(), []):
            found.append(pid)
            todo.append(pid)
    return found


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().decode(errors="replace")
    except OSError:
        return ""


def reap_one():
    try:
        os.waitpid(-1, 0)
    except ChildProcessError:
        pass


def reap_ended():
    try:
        while os.waitpid(-1, os.WNOHANG)[0] != 0:
            pass
    except ChildProcessError:
        pass


def kill(pids):
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def wait_for_recorders(deadline, recorder):
    """Waits for every recorder the viewer started (adopted by this process); ends the
    helpers the session left behind (accessibility bus and the like)."""
    signal.alarm(max(1, int(deadline.left())))
    try:
        while True:
            reap_ended()
            left = descendants()
            if not left:
                return
            if not any(recorder in command_line(pid) for pid in left):
                kill(left)
            reap_one()
    finally:
        signal.alarm(0)


def kill_everything():
    while descendants():
        kill(descendants())
        reap_one()
        reap_ended()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("viewer")
    parser.add_argument("--without-module", action="store_true",
                        help="lay the course out without the render module, and check that the "
                             "test then sees the bridge missing")
    parser.add_argument("--timeout", type=float, default=120)
    args = parser.parse_args()
    deadline = Deadline(args.timeout)
    signal.signal(signal.SIGALRM, lambda *_: fail("timed out"))

    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        fail("cannot adopt the programs the viewer starts")

    root = tempfile.mkdtemp(prefix="bridge-e2e-")
    log_path = os.path.join(root, "viewer.log")
    try:
        records = os.path.join(root, "records")
        os.makedirs(records)
        recorder = register_recorder(root, records)
        outside = os.path.join(root, "outside", "other file.txt")
        write(outside)
        course = os.path.join(root, "My Course")
        lay_out_course(course, os.path.abspath(args.viewer), not args.without_module, outside)

        xvfb, display = start_display(deadline)
        env = dict(os.environ)
        for name in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(name, None)
        env.update(DISPLAY=display, HOME=root, NO_AT_BRIDGE="1",
                   XDG_DATA_HOME=os.path.join(root, "data"),
                   XDG_CONFIG_HOME=os.path.join(root, "config"),
                   XDG_CACHE_HOME=os.path.join(root, "cache"))
        # A session bus of its own, so that nothing reaches (or starts) another.
        with open(log_path, "wb") as log:
            viewer = subprocess.Popen(["dbus-run-session", "--", os.path.join(course, "viewer")],
                                      cwd=root, env=env, stdout=log, stderr=subprocess.STDOUT)
        try:
            code = viewer.wait(timeout=deadline.left())
            xvfb.terminate()
            wait_for_recorders(deadline, recorder)
        except subprocess.TimeoutExpired:
            kill_everything()
            code = None

        opened = []
        for entry in sorted(os.listdir(records)):
            with open(os.path.join(records, entry), encoding="utf-8") as f:
                opened.append(os.path.realpath(f.read()))
        expected = [os.path.realpath(os.path.join(course, n)) for n in OPENED]
        expected.append(os.path.realpath(outside))
        problems = []
        if code is None:
            problems.append("the viewer did not end (no titleExit reached it)")
        elif code != 0:
            problems.append("the viewer ended with exit code %d" % code)
        for path in expected:
            if path not in opened:
                problems.append("not opened: " + path)
        for path in sorted(set(opened)):
            if opened.count(path) != (1 if path in expected else 0):
                problems.append("opened %d times: %s" % (opened.count(path), path))
        if args.without_module:
            # Without the module the page has no bridge: nothing opens and nothing ends it.
            if code is None and not opened:
                print("PASS: without the module nothing opened and the viewer did not end",
                      flush=True)
                return
            problems = ["without the module, expected nothing opened and no end"] + problems
        if problems:
            with open(log_path, errors="replace") as log:
                print("viewer output (last lines):\n" + "".join(log.readlines()[-30:]))
            fail("; ".join(problems))
        print("PASS: %d files opened as expected, exit code 0" % len(opened), flush=True)
    finally:
        kill_everything()
        shutil.rmtree(root, ignore_errors=True)

if __name__ == "__main__":
    main()
