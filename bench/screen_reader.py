#!/usr/bin/env python3
"""A full grid with the screen reader Orca listening, on a 3840 x 2160 display.

1. The full-grid run of the real window (tambrel_screen_reader_probe), from
   the click to the paint that shows every value, without and with Orca,
   alternately, so that whatever else the machine does falls on both alike.
2. The real program maximised with a full grid: how long after a mouse
   click on a control, on the grid and on "Sum" and "Avg" Orca speaks, and
   how long after the run the size message is spoken.

Needs a display and a session bus (see screen_reader.sh).

    screen_reader.py PROBE TAMBREL [PAIRS]
"""
import statistics
import subprocess
import sys
import time

from desktop import Orca, Tambrel

KEY_ECHO = ("space", "tab", "return", "left shift", "left control")


def probe(binary, runs, own_session):
    # Once a screen reader has run on a session bus, the bus keeps saying
    # one is there; a run without one gets a session bus of its own.
    command = ["dbus-run-session", "--", binary, str(runs)] if own_session else [binary, str(runs)]
    line = subprocess.run(command, check=True, capture_output=True, text=True,
                          timeout=300).stdout.strip().splitlines()[-1]
    fields = dict(part.split("=", 1) for part in line.split())
    return fields["accessible"] == "1", int(fields["values"]), [float(t) for t in fields["ms"].split(",")]


def full_grid_runs(binary, pairs):
    times = {False: [], True: []}
    values = 0
    for _ in range(pairs):
        for with_orca in (False, True):
            orca = Orca() if with_orca else None
            try:
                accessible, values, ms = probe(binary, 3, own_session=not with_orca)
            finally:
                if orca:
                    orca.stop()
            if accessible != with_orca:
                raise SystemExit(f"Qt's accessibility bridge was {'on' if accessible else 'off'} "
                                 f"in a run {'with' if with_orca else 'without'} Orca")
            times[with_orca].extend(ms)
    without, with_ = statistics.median(times[False]), statistics.median(times[True])
    for label, key in (("without_orca", False), ("with_orca", True)):
        values_ = sorted(times[key])
        print(f"full_grid_run_{label}_ms min={values_[0]:.1f} median={statistics.median(values_):.1f} "
              f"max={values_[-1]:.1f} runs={len(values_)} values={values}")
    print(f"full_grid_run_ratio_with_orca={with_ / without:.3f} (target <= 2)")


def spoken_after(orca, since, clicked, wanted=lambda text: True):
    _, at, text = orca.wait_for(lambda t: t.strip().lower() not in KEY_ECHO and wanted(t),
                                since=since, timeout=60)
    return (at - clicked) * 1000, text


def click_processing_ms(orca, since):
    """Orca's own figure for the mouse press after line `since` of its log."""
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        inside = False
        for line in orca.log_since(since):
            if line.startswith("vvvvv PROCESS OBJECT EVENT mouse:button:1p"):
                inside = True
            elif inside and line.startswith("TOTAL PROCESSING TIME:"):
                return float(line.split(":")[1]) * 1000
        time.sleep(0.05)
    return float("nan")


def clicks_on_full_grid(tambrel):
    orca = Orca()
    app = None
    try:
        app = Tambrel(tambrel)
        orca.wait_for(lambda text: text.startswith("Enter a Number to be Randomized"))
        app.maximise()
        app.type("6")
        mark = app.roll_from_keyboard(orca, "32767")
        ms, text = spoken_after(orca, mark, app.space_pressed_at, lambda t: "exceeded" in t)
        print(f"size_message_spoken_after_space_ms={ms:.0f} ({text[:60]!r})")
        app.keys("Return")
        _, _, said = orca.wait_for(lambda text: "values:" in text, since=mark, timeout=60)
        print(f"run_spoken: {said[:60]!r}...")

        # Orca speaks nothing of its own for a click that only moves the
        # focus, or lands on a value; Tab right after the click shows when
        # Orca is free again. Orca's log also gives the time it took over
        # the click itself: finding the object under the pointer.
        for where, wanted in (("txtNum", None), ("grid", None),
                              ("cmdSum", "The Sum is"), ("cmdAvg", "The Average is")):
            time.sleep(1)
            mark, lines = len(orca.speech()), orca.lines()
            clicked = time.time()
            if where == "grid":
                app.click_at(48, 203)  # the first value
            else:
                app.click(where)
            if wanted is None:
                app.keys("Tab")
            ms, text = spoken_after(orca, mark, clicked, lambda t: wanted is None or wanted in t)
            print(f"click_on_{where}_to_speech_ms={ms:.0f} "
                  f"orca_click_processing_ms={click_processing_ms(orca, lines):.0f} ({text[:50]!r})")
            if wanted is not None:
                app.keys("Return")
    finally:
        if app:
            app.stop()
        orca.stop()


def main():
    probe_binary, tambrel = sys.argv[1], sys.argv[2]
    pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    full_grid_runs(probe_binary, pairs)
    clicks_on_full_grid(tambrel)
    return 0


if __name__ == "__main__":
    sys.exit(main())
