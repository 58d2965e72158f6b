#!/usr/bin/env python3
"""A whole run rated by position, as a lab that sets it in dialtrace.conf runs it: the pad, a drag
on a meter, the wheel and a held key, then the results file's decimals and the event log checked
by dialtrace-eventcheck (replaying the move lines gives every sample). Usage as wholerun.py."""

import sys
import time

from wholerun import (FINISHED, OUTPUT, PICTURE, SAMPLES, check, click, main, poll, sh,
                      type_keys)

PAD, METER_1 = (336, 368, 105, 105), (608, 72, 49, 265)


def drag(win, left, top, to_top):
    sh("xdotool", "mousemove", "--window", win[0], left, top, "mousedown", 1,
       "mousemove", "--window", win[0], left, (top + to_top) // 2,
       "mousemove", "--window", win[0], left, to_top, "mouseup", 1)


def position_run(run):
    (run.app_dir / "dialtrace.conf").write_text("# our lab rates by position\ninput = position\n")
    clip = run.clip()
    run.start()
    rating = run.to_rating("Bo", "Valence", "2024-05-01", clip, two=True)
    first = run.wait_first_sample(rating)
    # Near the pad's top right corner: both up; then a drag down meter 1 to its middle.
    click(rating, PAD[0] + PAD[2] - 6, PAD[1], 10, 10)
    drag(rating, METER_1[0] + 20, METER_1[1] + 10, METER_1[1] + METER_1[3] // 2)
    # The wheel down three notches, then Down held for a moment (repeating).
    sh("xdotool", "mousemove", "--window", rating[0], PICTURE[0] + 200, PICTURE[1] + 150,
       "click", "--repeat", 3, "--delay", 40, 5)
    type_keys(rating)
    sh("xdotool", "keydown", "Down", "sleep", 0.8, "keyup", "Down")
    time.sleep(max(0.0, first + SAMPLES + 1.5 - time.monotonic()))
    click(rating, *FINISHED)
    run.wait_for(OUTPUT)
    data = poll(lambda: run.results.is_file() and run.results.read_bytes(), "temp.csv")
    lines = data.decode("cp1252").split("\r\n")
    check(lines[5:8] == ["Time,Valence,", " ", "1,0,0"], f"header {lines[:8]}")
    samples = [line.split(",")[1:] for line in lines[8:8 + SAMPLES]]
    check(all(len(c) == 2 and all("." in v for v in c) for c in samples),
          f"levels without their decimal: {samples}")
    check(samples[0] == ["0.0", "0.0"] and samples[-1][1] != "0.0", f"samples {samples}")
    events = run.check_events(run.results)
    # The pad's click: both levels, the first's line first.
    for wanted in (",move,1,5.0,0.0,,mouse", ",move,2,5.0,", ",wheel\n", ",key\n"):
        check(wanted in events, f"no {wanted} in the event log")
    check("fall-back" not in events and ",increase," not in events, "presses in a position run")
    held = events.count(",key\n")
    check(held > 1, f"a held key moved the level {held} times")


if __name__ == "__main__":
    sys.exit(main({"position_run": position_run}))
