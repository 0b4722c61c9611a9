"""A private virtual display for one test: Xvfb picks a free display number itself
(-displayfd), so tests running in parallel never race for one.

As a program: private_display.py COMMAND [ARGS...] runs the command on its own display and
exits with its exit code."""
import os
import select
import subprocess
import sys
import time


class PrivateDisplay:
    def __init__(self, timeout=60):
        self.timeout = timeout

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        # Xvfb writes the display number once it accepts connections.
        number, deadline = b"", time.monotonic() + self.timeout
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while not number.endswith(b"\n"):
                ready = select.select([pipe], [], [], max(0, deadline - time.monotonic()))[0]
                chunk = pipe.read(16) if ready else b""
                if not chunk:
                    self.__exit__()
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.name = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


if __name__ == "__main__":
    with PrivateDisplay() as display:
        sys.exit(subprocess.call(sys.argv[1:], env=dict(os.environ, DISPLAY=display.name)))
