#!/usr/bin/env python3
"""Times process start to first paint for Tambrel and two minimal Qt windows.

The three are started alternately, so that whatever else the machine is
doing falls on all of them alike. Needs a display (see scripts/with-xvfb.sh).

    startup.py PROBE [RUNS]
"""
import statistics
import subprocess
import sys
import time

MODES = ("tambrel", "label", "empty")


def first_paint_ms(probe: str, mode: str) -> float:
    start = time.monotonic_ns()
    done = subprocess.run([probe, mode], check=True, capture_output=True, text=True, timeout=30)
    painted = int(done.stdout.strip().splitlines()[-1])
    return (painted - start) / 1e6


def main() -> int:
    probe = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    for mode in MODES:  # warm the page cache and the font cache
        first_paint_ms(probe, mode)
    times = {mode: [] for mode in MODES}
    for _ in range(runs):
        for mode in MODES:
            times[mode].append(first_paint_ms(probe, mode))
    median = {mode: statistics.median(values) for mode, values in times.items()}
    for mode in MODES:
        values = sorted(times[mode])
        print(f"startup_{mode}_ms min={values[0]:.1f} median={median[mode]:.1f} "
              f"max={values[-1]:.1f} runs={runs}")
    print(f"startup_ratio_to_one_label={median['tambrel'] / median['label']:.3f}")
    print(f"startup_ratio_to_empty={median['tambrel'] / median['empty']:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
