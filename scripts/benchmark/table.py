"""Prints the benchmark's figures of the client next to those of the bare Qt Quick windows, with
the ratios and the goals they are held to.

Usage: table.py IDLE_SECONDS CLIENT_JSON BARE_JSON BARE_PULSE_JSON"""

import json
import sys

# (ratio or figure, limit): a ratio is client / bare; the splash is held in per cent of a core.
GOALS = {"first frame": 1.2, "memory": 1.8, "connected": 2.0, "splash": 10.0}


def load(path):
    with open(path) as figures:
        return json.load(figures)


def window(figures, key):
    if key not in figures:
        return "-"
    return f"{figures[key]['cpu_percent']:.2f} % ({figures[key]['frames']} frames)"


def ratio(client, bare, goal):
    if bare <= 0:
        return "-", "-"
    value = client / bare
    return f"{value:.2f}x", f"<= {goal}x {'met' if value <= goal else 'MISSED'}"


def main():
    idle = sys.argv[1]
    client, bare, pulse = (load(path) for path in sys.argv[2:5])
    splash = client["splash"]["cpu_percent"]
    rows = [
        ("time to first frame", f"{client['first_frame_s']:.3f} s", f"{bare['first_frame_s']:.3f} s",
         *ratio(client["first_frame_s"], bare["first_frame_s"], GOALS["first frame"])),
        ("resident memory on the home page", f"{client['resident_mib']:.1f} MiB", f"{bare['resident_mib']:.1f} MiB",
         *ratio(client["resident_mib"], bare["resident_mib"], GOALS["memory"])),
        ("CPU during the splash", window(client, "splash"), "-", "-",
         f"<= {GOALS['splash']:.0f} % {'met' if splash <= GOALS['splash'] else 'MISSED'}"),
        (f"CPU over {idle} s idle, disconnected", window(client, "idle"), window(bare, "idle"), "-", "-"),
        (f"CPU over {idle} s idle, connected, shown", window(client, "connected"), window(pulse, "idle") + " pulse",
         *ratio(client["connected"]["cpu_percent"], pulse["idle"]["cpu_percent"], GOALS["connected"])),
        (f"CPU over {idle} s idle, connected, unmapped", window(client, "unmapped"), "-", "-", "-"),
    ]
    header = ("", "client", "bare window", "ratio", "goal")
    print(f"renderer: client {client['renderer']}, bare window {bare['renderer']}, "
          f"bare pulse window {pulse['renderer']}")
    widths = [max(len(row[i]) for row in [header] + rows) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())


if __name__ == "__main__":
    main()
