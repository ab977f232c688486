#!/usr/bin/env python3
"""End to end with the real screen reader: a run, a larger run, Clear and
the Distribution window's table, from the keyboard, each heard in Orca's
speech with the values shown.

    run-with-orca.sh orca_test.py TAMBREL_BINARY

Exits with 77, skipped, when another Orca of this user runs: Orca allows
one per user, and that one is the user's own.
"""
import sys

from desktop import BUTTON, Orca, OtherOrca, Tambrel

SKIPPED = 77


def shown_values(app, orca):
    """The values the window shows, row by row, as it copies them."""
    mark = len(orca.speech())
    app.keys("ctrl+shift+c")
    _, _, said = orca.wait_for(lambda text: "copied" in text, since=mark)
    values = [value for row in app.clipboard().split("\n") for value in row.split("\t") if value]
    expected = f"{len(values)} value{'s' if len(values) != 1 else ''} copied"
    assert expected in said, f"copy spoken as {said!r}, expected {expected!r}"
    return values


def main():
    try:
        orca = Orca()
    except OtherOrca as reason:
        print(f"SKIPPED: {reason}")
        return SKIPPED
    app = None
    failures = []
    passed = False
    try:
        app = Tambrel(sys.argv[1])
        orca.wait_for(lambda text: text.startswith("Enter a Number to be Randomized"))
        # Two runs of the same words are both spoken.
        app.type("1")
        mark = app.roll_from_keyboard(orca, "2")
        first, _, _ = orca.wait_for(lambda text: "2 values: 1, 1" in text, since=mark)
        app.keys("space")
        orca.wait_for(lambda text: "2 values: 1, 1" in text, since=first + 1)
        app.tab_to(orca, "Enter a Number", "shift+Tab")
        app.keys("ctrl+a")
        app.type("6")
        d6_values = []
        # Three values; a hundred, of which the window at its first size
        # shows one row before the size message; a hundred in a maximised
        # window, which holds them all.
        for times, maximise in (("3", False), ("100", False), ("100", True)):
            if maximise:
                app.maximise()
            mark = app.roll_from_keyboard(orca, times)
            if not maximise and times == "100":
                orca.wait_for(lambda text: text.startswith(tuple(f"OK {role}" for role in BUTTON)),
                              since=mark)
                app.keys("Return")
            _, _, said = orca.wait_for(lambda text: "values:" in text, since=mark)
            values = shown_values(app, orca)
            d6_values += values
            expected = f"{len(values)} values: " + ", ".join(values[:20])
            if len(values) > 20:
                expected += f", and {len(values) - 20} more"
            print(f"times {times}, {len(values)} shown; Orca said: {said!r}")
            if expected not in said:
                failures.append(f"expected {expected!r}, Orca said {said!r}")
            if maximise and len(values) != 100:
                failures.append(f"{len(values)} values shown in a maximised window, not 100")

        app.tab_to(orca, "Clear")
        mark = len(orca.speech())
        app.keys("space")
        _, _, said = orca.wait_for(lambda text: "Results cleared" in text, since=mark)
        print(f"Clear; Orca said: {said!r}")

        # The Distribution window tallies every d6 value shown above; its
        # table is read a row at a time, starting on the first.
        mark = len(orca.speech())
        app.keys("ctrl+shift+d")
        orca.wait_for(lambda text: "Tambrel Distribution" in text, since=mark)
        mark = len(orca.speech())
        app.keys("Down")
        row = ["2.", f"{d6_values.count('2')}.", f"{len(d6_values) / 6:.2f}."]
        last, _, _ = orca.wait_for(lambda text: text == row[-1], since=mark)
        said = [text for _, text in orca.speech()[mark:last + 1]]
        print(f"Distribution table, second row; Orca said: {said!r}")
        if said[-3:] != row:
            failures.append(f"expected the row {row!r}, Orca said {said!r}")
        passed = not failures
    finally:
        if not passed:
            orca.show_tails()
        if app:
            app.stop()
        orca.stop()
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
