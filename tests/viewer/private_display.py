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
    def __init__(self, width=1280, height=1024, timeout=60):
        self.width, self.height, self.timeout = width, height, timeout
        self.process = None
        self.name = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + self.timeout
        try:
            # Xvfb writes the display number once it accepts connections.
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                ready = select.select([read_end], [], [], remaining)[0] if remaining > 0 else []
                chunk = os.read(read_end, 16) if ready else b""
                if not chunk:
                    self.__exit__(None, None, None)
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        finally:
            os.close(read_end)
        self.name = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        return False


def main():
    with PrivateDisplay() as display:
        env = dict(os.environ, DISPLAY=display.name)
        return subprocess.call(sys.argv[1:], env=env)


if __name__ == "__main__":
    sys.exit(main())
