#!/usr/bin/env python3
"""How often Orca speaks a message box whole: the box's text, not only its
OK button. Clicks Sum again and again after a run of 3 values, then again
with a full grid, and counts the tries whose text was heard. Each click
follows as soon as Orca has left the last box; with "unhurried", only once
Orca has named the Sum button again.

    tests/screen_reader/run-with-orca.sh bench/message_boxes.py TAMBREL [TRIES [unhurried]]

A 3840 x 2160 screen (XVFB_SCREEN=3840x2160x24) gives the full grid a
maximised window holds; Orca's debug log tells what was said.
"""
import sys
import time

from desktop import Orca, Tambrel


def count(app, orca, label, tries, unhurried):
    heard = 0
    missed = []
    for attempt in range(tries):
        whole, said = app.message_box(orca, "cmdSum", "The Sum is", unhurried)
        heard += whole
        if not whole:
            missed.append((attempt + 1, said))
    print(f"sum_heard_whole_{label}={heard}/{tries}")
    for attempt, said in missed[:5]:
        print(f"  try {attempt}: {said!r}")
    return heard


def main():
    binary = sys.argv[1]
    tries = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    unhurried = sys.argv[3:4] == ["unhurried"]
    orca = Orca()
    app = None
    try:
        app = Tambrel(binary)
        orca.wait_for(lambda text: text.startswith("Enter a Number to be Randomized"))
        app.type("6")
        mark = app.roll_from_keyboard(orca, "3")
        orca.wait_for(lambda text: "3 values:" in text, since=mark)
        count(app, orca, "after_3_values", tries, unhurried)
        time.sleep(1)  # Orca done with the last box before the keys go on

        app.maximise()
        mark = app.roll_from_keyboard(orca, "32767")
        orca.wait_for(lambda text: "exceeded" in text, since=mark, timeout=120)
        app.keys("Return")
        orca.wait_for(lambda text: "values:" in text, since=mark, timeout=120)
        count(app, orca, "after_full_grid", tries, unhurried)
    finally:
        if app:
            app.stop()
        orca.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
