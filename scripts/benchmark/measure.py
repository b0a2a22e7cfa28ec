"""Starts a Qt Quick program on a virtual display and measures it: time to its first rendered
frame, resident memory once it has settled, and CPU time and rendered frames over idle windows.

Usage: measure.py OUTPUT_JSON IDLE_SECONDS [--connect] -- PROGRAM [ARG ...]
The program's environment comes from this process; with --connect the idle window is measured
once more after a click on the home page's connect control has brought a connection up."""

import json
import os
import subprocess
import sys
import time
from datetime import datetime

FRAME = "frame rendered"
# The connect control's centre in the window, which sits at the screen's corner: the home
# page's content column, with the status box shown for the demo user, puts it at (215, 443).
CONNECT_CONTROL = ["mousemove", "215", "443", "click", "1", "mousemove", "420", "870"]
TICKS = os.sysconf("SC_CLK_TCK")


def stamp(line):
    head = line.split("|", 1)[0].strip()
    try:
        return datetime.strptime(head, "%Y-%m-%dT%H:%M:%S.%f").timestamp()
    except ValueError:
        return None


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


def lines(path):
    with open(path, encoding="utf-8", errors="replace") as log:
        return log.readlines()


def wait_for(path, text, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        for line in lines(path):
            if text in line:
                return line
        time.sleep(0.05)
    raise SystemExit(f"measure: '{text}' did not appear within {timeout} s (see {path})")


def idle_window(pid, path, seconds):
    start, cpu_start = time.time(), cpu_seconds(pid)
    time.sleep(seconds)
    end, cpu_end = time.time(), cpu_seconds(pid)
    frames = sum(1 for line in lines(path) if FRAME in line and start <= (stamp(line) or 0) <= end)
    return {"cpu_percent": 100 * (cpu_end - cpu_start) / (end - start), "frames": frames}


def main():
    output, idle, rest = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
    connect = "--connect" in rest[: rest.index("--")]
    program = rest[rest.index("--") + 1:]
    log_path = output + ".log"
    env = dict(os.environ,
               QT_LOGGING_RULES="qt.scenegraph.time.renderloop=true",
               QT_MESSAGE_PATTERN="%{time yyyy-MM-ddTHH:mm:ss.zzz}|%{message}")
    with open(log_path, "w") as log:
        started = time.time()
        process = subprocess.Popen(program, env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        first = stamp(wait_for(log_path, FRAME, 30))
        # The client's splash gives way to the home page after 3 s; both settle before measuring.
        time.sleep(6)
        result = {"first_frame_s": first - started, "resident_mib": resident_mib(process.pid),
                  "idle": idle_window(process.pid, log_path, idle)}
        if connect:
            subprocess.run(["xdotool"] + CONNECT_CONTROL, check=True)
            wait_for(log_path, "VPN连接成功", 20)
            time.sleep(2)
            result["connected"] = idle_window(process.pid, log_path, idle)
            # A second click disconnects, so that the proxy core ends with the client.
            subprocess.run(["xdotool"] + CONNECT_CONTROL, check=True)
            wait_for(log_path, "VPN已断开", 20)
        with open(output, "w") as out:
            json.dump(result, out)
    finally:
        process.terminate()
        process.wait(10)


if __name__ == "__main__":
    main()
