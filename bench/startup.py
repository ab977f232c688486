#!/usr/bin/env python3
"""Times exec to first paint: the shipped Tambrel binary against a separate
minimal Qt program showing one label.

Each is its own executable, so each loads only the libraries it links: a
library that Tambrel loads at start-up counts against it. Neither program is
changed for the measurement: the probe, a small library that needs only
QtCore, is preloaded into both (LD_PRELOAD) and prints the monotonic clock
once the window's first paint is done (see startup_probe.cpp); the clock
read here just before the process is started gives the difference.

The two are started alternately, in pairs, the first of each pair taking
turns, so that whatever else the machine does falls on both alike; the
target is the median of the pairs' ratios. Needs a display (see
scripts/with-xvfb.sh or scripts/with-weston.sh).

Both run with XDG_STATE_HOME set to a folder of this script's own, removed
afterwards, so that the user's history is never read or written. With
--history, that folder first gets a history file made by FILL (the
program tambrel_history_fill): "empty", or "runs" for 10,000 runs. --name
puts another word in front of the figures' names, so that several runs of
the script can be reported side by side.

    startup.py PROBE TAMBREL ONE_LABEL_WINDOW [PAIRS]
               [--history empty|runs --fill FILL] [--name NAME]
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def first_paint_ms(probe: str, program: str, state: str):
    """Wall time to the first paint, and the processor time the process used."""
    env = dict(os.environ, LD_PRELOAD=probe, XDG_STATE_HOME=state)
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic_ns()
    done = subprocess.run([program], env=env, check=True, capture_output=True, text=True,
                          timeout=30)
    painted = int(done.stdout.strip().splitlines()[-1])
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime + after.ru_stime - used.ru_utime - used.ru_stime) * 1e3
    return (painted - start) / 1e6, cpu


def spread(values) -> str:
    values = sorted(values)
    return f"min={values[0]:.3f} median={statistics.median(values):.3f} max={values[-1]:.3f}"


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("probe")
    parser.add_argument("tambrel")
    parser.add_argument("label")
    parser.add_argument("pairs", nargs="?", type=int, default=21)
    parser.add_argument("--history", choices=("empty", "runs"))
    parser.add_argument("--fill")
    parser.add_argument("--name", default="startup")
    args = parser.parse_args()
    if args.history and not args.fill:
        parser.error("--history needs --fill")
    with tempfile.TemporaryDirectory(prefix="tambrel-state-") as state:
        if args.history:
            made = subprocess.run(
                [os.path.abspath(args.fill), os.path.join(state, "tambrel", "history.sqlite3"),
                 args.history], check=True, capture_output=True, text=True)
            print(f"{args.name}_history_file {made.stdout.strip()}")
        return measure(args, state)


def measure(args, state: str) -> int:
    probe, tambrel, label = (os.path.abspath(path)
                             for path in (args.probe, args.tambrel, args.label))
    pairs, name = args.pairs, args.name
    load_before = os.getloadavg()[0]
    for program in (tambrel, label):  # warm the page cache and the font cache
        first_paint_ms(probe, program, state)
    times = {tambrel: [], label: []}
    cpu = {tambrel: [], label: []}
    for pair in range(pairs):
        for program in ((tambrel, label) if pair % 2 == 0 else (label, tambrel)):
            wall, used = first_paint_ms(probe, program, state)
            times[program].append(wall)
            cpu[program].append(used)
    ratios = [t / l for t, l in zip(times[tambrel], times[label])]
    print(f"{name}_tambrel_ms {spread(times[tambrel])} runs={pairs}")
    print(f"{name}_label_ms {spread(times[label])} runs={pairs}")
    print(f"{name}_pair_ratio {spread(ratios)} pairs={pairs}")
    # Processor time waits less on the other users of a busy machine than
    # the wall clock does; reported beside the target, not instead of it.
    print(f"{name}_cpu_ms tambrel_median={statistics.median(cpu[tambrel]):.1f} "
          f"label_median={statistics.median(cpu[label]):.1f} ratio_of_medians="
          f"{statistics.median(cpu[tambrel]) / statistics.median(cpu[label]):.3f}")
    print(f"{name}_ratio_to_one_label={statistics.median(ratios):.3f}")
    print(f"{name}_load_average_1min before={load_before:.2f} after={os.getloadavg()[0]:.2f} "
          f"cores={os.cpu_count()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
