"""Starts a Qt Quick program on a virtual display and measures it: time to its first frame on the
screen, resident memory once it has settled, and CPU time and rendered frames over idle windows.

Usage: measure.py OUTPUT_JSON IDLE_SECONDS [--client] -- PROGRAM [ARG ...]
The program's environment comes from this process. With --client the program is the client,
signed in: the CPU of its splash is measured too, and after the idle window on the home page a
click on the connect control brings a connection up; the idle window is then measured with the
window shown and again with the window unmapped."""

import json
import os
import subprocess
import sys
import time

from Xlib import X, display
from Xlib.error import XError
from Xlib.ext import damage

# Both Qt Quick render loops write one line per frame to this category.
LOGGING = "qt.scenegraph.general=true;qt.scenegraph.time.renderloop=true"
FRAME = "frame rendered"
# The connect control's centre in the window, which sits at the screen's corner: the home
# page's content column, with the status box shown for the demo user, puts it at (215, 443).
CONNECT_CONTROL = ["mousemove", "215", "443", "click", "1", "mousemove", "420", "870"]
SPLASH_ENDS = "启动画面结束，跳转到主界面"
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Log:
    """The program's output, read as it grows."""

    def __init__(self, path):
        self.path = path

    def text(self):
        with open(self.path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def frames(self):
        return sum(1 for line in self.text().splitlines() if FRAME in line.lower())

    def wait_for(self, text, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if text in self.text():
                return
            time.sleep(0.02)
        raise SystemExit(f"measure: '{text}' did not appear within {timeout} s (see {self.path})")

    def renderer(self):
        for line in self.text().splitlines():
            if "Loading backend " in line:
                return line.split("Loading backend ", 1)[1].strip()
            if "Using QRhi with backend " in line:
                return "rhi " + line.split("Using QRhi with backend ", 1)[1].strip()
        return "unknown"


class Screen:
    """Watches the X server for drawing into new windows. The server reports damage to a
    window's pixels alike whether they came from the software renderer's image or from an
    OpenGL buffer swap; it also reports the black it fills a window with when it is mapped, so
    the first frame is the first report after which the window shows a pixel that is not black.
    Neither window measured here draws a black first frame."""

    def __init__(self):
        self.x = self.connect(10)
        # A window made and destroyed at once refuses its damage report; that is no fault.
        self.x.set_error_handler(lambda error, request: None)
        if not self.x.has_extension(damage.extname):
            raise SystemExit("measure: the X server has no DAMAGE extension")
        self.x.damage_query_version()
        self.x.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.x.sync()

    @staticmethod
    def connect(timeout):
        # The virtual display may still be starting.
        deadline = time.time() + timeout
        while True:
            try:
                return display.Display()
            except Exception:
                if time.time() > deadline:
                    raise
                time.sleep(0.1)

    def drawn(self, event):
        # Cleared first, so that drawing after the look below is reported again.
        self.x.damage_subtract(event.damage)
        geometry = event.drawable_geometry
        try:
            # One row across the middle is enough and quick to read.
            row = event.drawable.get_image(0, geometry.height // 2, geometry.width, 1, X.ZPixmap, 0xFFFFFF).data
        except XError:
            return False  # the window is gone
        return any(row[i] or row[i + 1] or row[i + 2] for i in range(0, len(row), 4))

    def first_frame(self, process, timeout):
        """Seconds since the epoch of the first frame in a window made after this call, and
        that window."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if process.poll() is not None:
                raise SystemExit(f"measure: the program ended with {process.returncode} before its first frame")
            while self.x.pending_events():
                event = self.x.next_event()
                if event.type == X.CreateNotify:
                    event.window.damage_create(damage.DamageReportNonEmpty)
                    self.x.flush()
                elif event.type == self.x.extension_event.DamageNotify:
                    arrived = time.time()
                    if self.drawn(event):
                        return arrived, event.drawable.id
            time.sleep(0.001)
        raise SystemExit(f"measure: no frame within {timeout} s")


def idle_window(pid, log, seconds):
    frames, cpu_start, start = log.frames(), cpu_seconds(pid), time.time()
    time.sleep(seconds)
    cpu_end, end = cpu_seconds(pid), time.time()
    return {"cpu_percent": 100 * (cpu_end - cpu_start) / (end - start), "frames": log.frames() - frames}


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=True)


def main():
    output, idle, rest = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
    client = "--client" in rest[: rest.index("--")]
    program = rest[rest.index("--") + 1:]
    log = Log(output + ".log")
    env = dict(os.environ, QT_LOGGING_RULES=LOGGING)
    screen = Screen()
    with open(log.path, "w") as out:
        started = time.time()
        process = subprocess.Popen(program, env=env, stdout=out, stderr=subprocess.STDOUT)
    try:
        first, window = screen.first_frame(process, 30)
        result = {"first_frame_s": first - started}
        if client:
            splash_start, cpu_start, frames_start = time.time(), cpu_seconds(process.pid), log.frames()
            log.wait_for(SPLASH_ENDS, 10)
            result["splash"] = {"cpu_percent": 100 * (cpu_seconds(process.pid) - cpu_start) / (time.time() - splash_start),
                                "frames": log.frames() - frames_start}
        # The client's splash gives way to the home page 3 s after the window is made; both
        # programs settle before they are measured.
        time.sleep(max(0.0, first + 6 - time.time()))
        result["resident_mib"] = resident_mib(process.pid)
        result["idle"] = idle_window(process.pid, log, idle)
        if client:
            xdotool(*CONNECT_CONTROL)
            log.wait_for("VPN连接成功", 20)
            time.sleep(2)
            result["connected"] = idle_window(process.pid, log, idle)
            xdotool("windowunmap", "--sync", str(window))
            time.sleep(1)
            result["unmapped"] = idle_window(process.pid, log, idle)
            xdotool("windowmap", "--sync", str(window))
            time.sleep(1)
            # A second click disconnects, so that the proxy core ends with the client.
            xdotool(*CONNECT_CONTROL)
            log.wait_for("VPN已断开", 20)
        result["renderer"] = log.renderer()
        with open(output, "w") as out:
            json.dump(result, out)
    finally:
        process.terminate()
        process.wait(10)


if __name__ == "__main__":
    main()
