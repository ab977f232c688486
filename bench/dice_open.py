#!/usr/bin/env python3
"""Times Ctrl+Shift+R in the main window to the end of the Dice window's
first paint, in the shipped binary, each time in a fresh process: the
window built for the first time, nothing of it warmed by an earlier one.

The probe (dice_open_probe.cpp), preloaded, says when the main window has
painted; the keys are then typed on the X display through XTEST (xdotool),
as a user's would come, and the probe reports when the program got the R
and when the Dice window's first paint was done. Needs a display with a
window manager (scripts/with-xvfb.sh). Each run has a state folder of its
own, removed afterwards.

    dice_open.py PROBE TAMBREL [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def wait_for_focus(pid: int) -> None:
    for _ in range(200):
        active = subprocess.run(["xdotool", "getactivewindow", "getwindowpid"],
                                capture_output=True, text=True)
        if active.stdout.strip() == str(pid):
            return
        time.sleep(0.025)
    raise RuntimeError("the main window never got the focus")


def one_opening(probe: str, program: str) -> float:
    with tempfile.TemporaryDirectory(prefix="tambrel-state-") as state:
        env = dict(os.environ, LD_PRELOAD=probe, XDG_STATE_HOME=state)
        with subprocess.Popen([program], env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True) as tambrel:
            try:
                if tambrel.stdout.readline().strip() != "ready":
                    raise RuntimeError("the main window never painted")
                # The keys go where the window manager put the focus: once
                # it is on the main window, just shown.
                wait_for_focus(tambrel.pid)
                subprocess.run(["xdotool", "key", "ctrl+shift+r"], check=True, timeout=30)
                pressed, painted = (int(word) for word in tambrel.stdout.readline().split())
                tambrel.wait(timeout=30)
                return (painted - pressed) / 1e6
            finally:
                if tambrel.poll() is None:
                    tambrel.kill()


def main() -> int:
    probe, program = (os.path.abspath(path) for path in sys.argv[1:3])
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 21
    one_opening(probe, program)  # warm the page cache and the font cache
    times = sorted(one_opening(probe, program) for _ in range(runs))
    print(f"dice_open_ms min={times[0]:.2f} median={statistics.median(times):.2f} "
          f"max={times[-1]:.2f} runs={runs}")
    print(f"dice_open_load_average_1min {os.getloadavg()[0]:.2f} cores={os.cpu_count()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
