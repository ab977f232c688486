#!/usr/bin/env python3
"""The history file's size and the program's memory at the history's limits.

For an empty history, 10,000 runs (the run limit) and 1,000 runs of 10,000
values (the value limit), each in a folder of its own given as
XDG_STATE_HOME and removed afterwards: makes the file with FILL (the
program tambrel_history_fill), starts the shipped binary on it, opens the
History window with Ctrl+Shift+H, scrolls it to the oldest run and back,
and reads the process's resident set (VmRSS) and its peak (VmHWM) from
/proc. Needs a display with a window manager (scripts/with-xvfb.sh), and
xdotool.

    history_limits.py TAMBREL FILL
"""
import os
import subprocess
import sys
import tempfile
import time


def xdotool(*args) -> str:
    done = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    return done.stdout.strip()


def wait_for_window(name: str, process) -> str:
    for _ in range(200):
        found = xdotool("search", "--onlyvisible", "--name", f"^{name}$").splitlines()
        if found:
            return found[0]
        if process.poll() is not None:
            raise SystemExit(f"history_limits: tambrel exited before showing {name}")
        time.sleep(0.05)
    raise SystemExit(f"history_limits: {name} never appeared")


def memory_kib(pid: int):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.split()[0] if value.split() else ""
    return int(fields["VmRSS"]), int(fields["VmHWM"])


def measure(tambrel: str, fill: str, kind: str) -> str:
    with tempfile.TemporaryDirectory(prefix="tambrel-state-") as state:
        path = os.path.join(state, "tambrel", "history.sqlite3")
        made = subprocess.run([fill, path, kind], check=True, capture_output=True,
                              text=True).stdout.split()
        env = dict(os.environ, XDG_STATE_HOME=state)
        process = subprocess.Popen([tambrel], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            main = wait_for_window("Tambrel Generation", process)
            time.sleep(1)  # the file is opened just after the first paint
            started, _ = memory_kib(process.pid)
            xdotool("windowactivate", "--sync", main)
            xdotool("key", "ctrl+shift+h")
            shown = wait_for_window("Tambrel History", process)
            xdotool("windowactivate", "--sync", shown)
            # To the oldest run, a page at a time up through some of them,
            # and back to the newest: every page the table reads on the way.
            xdotool("key", "ctrl+End")
            for _ in range(20):
                xdotool("key", "Page_Up")
            xdotool("key", "ctrl+Home")
            time.sleep(1)
            rss, peak = memory_kib(process.pid)
        finally:
            process.terminate()
            process.wait(timeout=10)
        size = sum(os.path.getsize(os.path.join(os.path.dirname(path), name))
                   for name in os.listdir(os.path.dirname(path))
                   if name.startswith("history.sqlite3"))
    fields = dict(item.split("=") for item in made)
    return (f"history_limits_{kind} runs={fields['runs']} values={fields['values']} "
            f"file_bytes={size} rss_started_kib={started} rss_history_shown_kib={rss} "
            f"peak_rss_kib={peak}")


def main() -> int:
    tambrel, fill = (os.path.abspath(path) for path in sys.argv[1:3])
    for kind in ("empty", "runs", "values"):
        print(measure(tambrel, fill, kind), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
