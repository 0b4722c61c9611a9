#!/usr/bin/env python3
# End-to-end test of the JavaScript bridge:
#     bridge_e2e.py VIEWER [--without-module] [--folder NAME]
#
# The real viewer runs on a course of our own (course/) in a folder with a blank in its name
# (or the folder NAME, which may hold what a URL reads as syntax: '#', '?', '%'), under a
# private virtual display, with a default program registered for this test alone that
# records every file the desktop is asked to open. The course's pages make every call
# themselves; the last one is titleExit, from a pop-up, which must close the main window and
# so end the viewer with exit code 0. The test waits for the viewer to end (or for the page
# to report that it found no bridge), then for every program it started (this process adopts
# them as a subreaper), and compares what was opened with what must be.
#
# With --without-module the course is laid out without the render-side module, and the page
# must report that it found no bridge. Every wait is on a process or a socket, under one
# overall deadline.
import ctypes
import os
import shutil
import select
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "viewer"))
from private_display import PrivateDisplay  # noqa: E402

PR_SET_CHILD_SUBREAPER = 36
TIMEOUT = 150  # seconds for the whole test, however loaded the machine

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


def lay_out_course(course, viewer, with_module, outside, port):
    shutil.copytree(os.path.join(os.path.dirname(os.path.abspath(__file__)), "course"), course)
    shutil.copy2(viewer, os.path.join(course, "viewer"))
    if with_module:
        shutil.copytree(os.path.join(os.path.dirname(viewer), "webextensions"),
                        os.path.join(course, "webextensions"))
    write(os.path.join(course, "config.js"),
          'var OUTSIDE = "%s", REPORT = "http://127.0.0.1:%d/";\n' % (outside, port))
    for name in filter(None, OPENED + NOT_OPENED):
        write(os.path.join(course, name))


def descendants():
    """Processes below this one: the viewer's own and those this one adopted, with their
    command lines."""
    children = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as stat, open("/proc/%s/cmdline" % pid, "rb") as cmd:
                ppid = int(stat.read().rsplit(")", 1)[1].split()[1])
                command = cmd.read().decode(errors="replace")
            children.setdefault(ppid, []).append((int(pid), command))
        except (OSError, IndexError):
            continue
    found, todo = [], [os.getpid()]
    while todo:
        for pid, command in children.get(todo.pop(), []):
            found.append((pid, command))
            todo.append(pid)
    return found


def reap(options):
    try:
        return os.waitpid(-1, options)[0]
    except ChildProcessError:
        return 0


def end_descendants(spare=None):
    """Reaps every descendant; while one whose command line holds `spare` runs, the others
    are left to finish too, then the ones left (the session's helpers) are killed."""
    while True:
        while reap(os.WNOHANG):
            pass
        left = descendants()
        if not left:
            return
        if not (spare and any(spare in command for _, command in left)):
            for pid, _ in left:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        reap(0)


def run(viewer_path, without_module, folder, root, left):
    """Runs the viewer on the course; returns the problems found."""
    records = os.path.join(root, "records")
    os.makedirs(records)
    recorder = register_recorder(root, records)
    outside = os.path.join(root, "outside", "other file.txt")
    write(outside)
    course = os.path.join(root, folder)
    server = socket.create_server(("127.0.0.1", 0))
    lay_out_course(course, viewer_path, not without_module, outside, server.getsockname()[1])
    env = {k: v for k, v in os.environ.items()
           if k not in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "DBUS_SESSION_BUS_ADDRESS")}
    env.update(HOME=root, NO_AT_BRIDGE="1", XDG_DATA_HOME=os.path.join(root, "data"),
               XDG_CONFIG_HOME=os.path.join(root, "config"),
               XDG_CACHE_HOME=os.path.join(root, "cache"))
    log = open(os.path.join(root, "viewer.log"), "wb")
    with PrivateDisplay(timeout=left()) as display, log:
        env["DISPLAY"] = display.name
        # A session bus of its own, so that nothing reaches (or starts) another.
        viewer = subprocess.Popen(["dbus-run-session", "--", os.path.join(course, "viewer")],
                                  cwd=root, env=env, stdout=log, stderr=subprocess.STDOUT)
        # The viewer ends through the page's titleExit, or the page reports that it found
        # no bridge (the module is missing).
        viewer_end = os.pidfd_open(viewer.pid)
        ready = select.select([server, viewer_end], [], [], left())[0]
        os.close(viewer_end)
        if server in ready:
            with server.accept()[0] as connection:
                reported = connection.recv(1024).startswith(b"GET /no-bridge ")
    if without_module:
        if ready == [server] and reported and not os.listdir(records):
            return []
        return ["without the module, expected the page to report no bridge and nothing opened"]
    if ready != [viewer_end]:
        return ["the page found no bridge" if ready else "the viewer did not end"]
    code = viewer.wait()
    signal.alarm(int(left()) + 1)
    end_descendants(spare=recorder)
    signal.alarm(0)

    opened = []
    for entry in sorted(os.listdir(records)):
        with open(os.path.join(records, entry), encoding="utf-8") as f:
            opened.append(os.path.realpath(f.read()))
    expected = [os.path.realpath(p) for p in [os.path.join(course, n) for n in OPENED] + [outside]]
    problems = [] if code == 0 else ["the viewer ended with exit code %d" % code]
    problems += ["not opened: " + path for path in expected if path not in opened]
    return problems + ["opened %d times: %s" % (opened.count(path), path) for path in
                       sorted(set(opened)) if opened.count(path) != (path in expected)]


def main():
    viewer, without_module = os.path.abspath(sys.argv[1]), "--without-module" in sys.argv
    folder = sys.argv[sys.argv.index("--folder") + 1] if "--folder" in sys.argv else "My Course"
    deadline = time.monotonic() + TIMEOUT
    signal.signal(signal.SIGALRM, lambda *_: sys.exit("FAIL: timed out"))
    if ctypes.CDLL(None).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        sys.exit("FAIL: cannot adopt the programs the viewer starts")

    root = tempfile.mkdtemp(prefix="bridge-e2e-")
    try:
        problems = run(viewer, without_module, folder, root,
                       lambda: max(0.1, deadline - time.monotonic()))
        if problems:
            with open(os.path.join(root, "viewer.log"), errors="replace") as log:
                print("viewer output (last lines):\n" + "".join(log.readlines()[-30:]))
            sys.exit("FAIL: " + "; ".join(problems))
        print("PASS", flush=True)
    finally:
        end_descendants()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
