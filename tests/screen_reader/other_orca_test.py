#!/usr/bin/env python3
"""The screen-reader test beside another Orca of this user, as on the
desktop of someone who reads the screen with it: the test reports itself
skipped, never failed, and that Orca keeps running.

    run-with-orca.sh other_orca_test.py TAMBREL_BINARY
"""
import os
import subprocess
import sys

from desktop import Orca

HERE = os.path.dirname(os.path.abspath(__file__))
SKIPPED = 77


def main():
    users = Orca()  # stands for the user's own screen reader
    failures = []
    test = [os.path.join(HERE, "orca_test.py"), sys.argv[1]]
    try:
        # Through the harness, as ctest runs it; and straight on this
        # desktop, where our Orca is the one that finds the other.
        for how, command in (("the harness", [os.path.join(HERE, "run-with-orca.sh"), *test]),
                             ("on this desktop", [sys.executable, *test])):
            run = subprocess.run(command, capture_output=True, text=True, timeout=120)
            lines = run.stdout.splitlines()
            print(f"{how}: status {run.returncode}; {run.stdout.strip()}")
            if run.returncode != SKIPPED:
                failures.append(f"{how}: status {run.returncode}, not {SKIPPED}\n{run.stdout}{run.stderr}")
            elif len(lines) != 1 or not lines[0].startswith("SKIPPED: "):
                failures.append(f"{how}: the reason is not one line: {run.stdout!r}")
            if users.process.poll() is not None:
                failures.append(f"{how}: the user's Orca ended with status {users.process.returncode}")
                break
    finally:
        users.stop()
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
