"""Prints the benchmark's figures of the client next to those of the bare Qt Quick window.

Usage: table.py IDLE_SECONDS CLIENT_JSON BARE_JSON"""

import json
import sys


def main():
    idle = sys.argv[1]
    client, bare = (json.load(open(path)) for path in sys.argv[2:4])

    def window(figures, key):
        if key not in figures:
            return "-"
        return f"{figures[key]['cpu_percent']:.2f} % ({figures[key]['frames']} frames)"

    rows = [
        ("time to first frame", f"{client['first_frame_s']:.3f} s", f"{bare['first_frame_s']:.3f} s"),
        ("resident memory after start", f"{client['resident_mib']:.1f} MiB", f"{bare['resident_mib']:.1f} MiB"),
        (f"CPU over {idle} s idle, disconnected", window(client, "idle"), window(bare, "idle")),
        (f"CPU over {idle} s idle, connected", window(client, "connected"), "-"),
    ]
    widths = [max(len(row[i]) for row in rows + [("", "client", "bare Qt Quick window")]) for i in range(3)]
    for row in [("", "client", "bare Qt Quick window")] + rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())


if __name__ == "__main__":
    main()
