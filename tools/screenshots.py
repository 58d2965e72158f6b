#!/usr/bin/env python3
"""Goes through the real dialtrace and dialtrace-collate on the X display in DISPLAY and saves a
picture of each screen the README shows. tools/screenshots.sh starts the X server and calls this.

Usage: screenshots.py --build DIR --source-dir DIR --work DIR --out DIR

The windows are driven as tests/wholerun/ drives them (xdotool, no window manager), with its
helpers and its places of the controls. Every step waits for what it needs and stops with a
message when it does not come, so that a picture is never taken of the wrong screen.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wholerun"))
from wholerun import (APP, CHECK_BOX, FINISHED, INSTRUCTIONS, OK, OPEN, OUTPUT,  # noqa: E402
                      PROCEED, RATING, SIZES, VARIABLES, check, click, journal_rows,
                      pixels, poll, results_bytes, sh, type_keys, window)

Failure = AssertionError  # what a failed check of the whole-run helpers raises

COLLATE, CLIP_DIALOG = "Dialtrace Collate", "The clip the runs were made on"
SECOND_VARIABLE = (8, 120, 321, 25)  # the setup form's "Variable 2" box
# The rating screen's meters (first, second variable) and the clip's picture.
METER_1, METER_2, PICTURE = (608, 72, 49, 265), (672, 72, 49, 265), (16, 8, 537, 320)
# The collating window's "Clip..." button and the clip's picture beside the chart.
CLIP_BUTTON, REVIEW_PICTURE = (281, 11, 80, 25), (290, 60, 300, 200)
SCREEN_CORNER = (1279, 1023)
RATING_PRESSES = [(3, -1), (2, -1), (1, 0), (2, 1), (1, 2), (2, 3), (0, 1), (-2, 1), (-2, 0),
                  (-1, -1), (0, -2), (1, -2), (2, 0), (2, 1), (1, 2), (0, 1), (0, 0)]
SHOT_AT = 5
DATE = "2024-05-14"


class Program:
    """One program copied into a folder of its own, as it is installed: it reads and writes beside
    its executable, and Instructions.txt sits there."""

    def __init__(self, executable, folder, source_dir):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True)
        self.executable = self.folder / Path(executable).name
        shutil.copy2(executable, self.executable)
        shutil.copy2(Path(source_dir) / "assets" / "Instructions.txt", self.folder)
        self.process = None

    def start(self, *arguments):
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=str(self.folder / "config"))
        self.log = open(self.folder / "program.log", "wb")
        self.process = subprocess.Popen([self.executable, *map(str, arguments)], cwd=self.folder,
                                        env=env, stdout=self.log, stderr=subprocess.STDOUT)

    def screens(self):
        check(self.process.poll() is None,
              f"{self.executable.name} ended with status {self.process.returncode}; "
              f"its output is in {self.log.name}")
        ids = sh("xdotool", "search", "--maxdepth", 1, "--onlyvisible", "--pid",
                 self.process.pid, check_status=False).split()
        return [w for w in map(window, ids) if w]

    def wait_for(self, name, alone=True, size=None):
        def found():
            shown = self.screens()
            hits = [w for w in shown if w[1] == name and (size is None or w[4:6] == size)]
            return hits[0] if len(hits) == 1 and (len(shown) == 1 or not alone) else None
        return poll(found, f'"{name}"' + (" alone" if alone else ""))

    def wait_gone(self, win):
        poll(lambda: all(w[0] != win[0] for w in self.screens()), f'"{win[1]}" to go')

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def park_pointer():
    """The pointer out of every window, so that no button is hovered and no tooltip shows."""
    sh("xdotool", "mousemove", *SCREEN_CORNER)


def colours(win, place):
    data = pixels(win, *place)
    return len({data[i:i + 3] for i in range(0, len(data), 3)})


def shoot(win, path, still=True):
    """Saves the window as it is on the screen. A still screen is taken once it has been drawn
    in full, that is when two pictures a moment apart agree."""
    park_pointer()
    if still:
        previous = None
        def settled():
            nonlocal previous
            now = pixels(win, 0, 0, win[4], win[5])
            same = now == previous and len(now) == win[4] * win[5] * 3
            previous = now
            if not same:
                time.sleep(0.2)
            return same
        poll(settled, f'"{win[1]}" to be drawn in full')
    sh("import", "-silent", "-window", win[0], path)
    size = sh("identify", "-format", "%w %h", path).split()
    check(size == [str(win[4]), str(win[5])], f"{path}: {size}, not the window's size")
    print(f"took {Path(path).name} of \"{win[1]}\" ({win[4]}x{win[5]})", flush=True)


def keys(win, *names):
    type_keys(win, None, *names)


def single_run(program, clip, out):
    """Setup form, instructions, rating screen with both meters lit, results screen."""
    program.start()
    program.wait_for(APP)
    form = program.wait_for(VARIABLES)
    type_keys(form, "Ann Lee", "Tab")
    type_keys(form, "Interest", "Tab")
    type_keys(form, DATE)
    click(form, *CHECK_BOX)
    click(form, *SECOND_VARIABLE)
    type_keys(form, "Trust")
    shoot(form, out / "setup.png")
    click(form, *OK)

    dialog = program.wait_for(OPEN)
    type_keys(dialog, str(clip), "Return")
    program.wait_gone(dialog)
    instructions = program.wait_for(INSTRUCTIONS)
    shoot(instructions, out / "instructions.png")
    click(instructions, *PROCEED)

    rating = program.wait_for(RATING)
    park_pointer()
    poll(lambda: colours(rating, PICTURE) > 50, "the clip's picture on the rating screen")
    dark = [pixels(rating, *METER_1), pixels(rating, *METER_2)]  # both levels still 0
    poll(lambda: journal_rows(program.folder), "the first sample")
    # Some twenty seconds of rating with both hands, so that the results chart has a trace to
    # show: (presses of the first variable, of the second) each second, negative ones being
    # decreases. The rating screen is taken once both levels have risen.
    for second, (first, other) in enumerate(RATING_PRESSES):
        keys(rating, *(["Up"] * first + ["Down"] * -first + ["w"] * other + ["s"] * -other))
        if second == SHOT_AT:
            check(pixels(rating, *METER_1) != dark[0] and pixels(rating, *METER_2) != dark[1],
                  "the meters did not light up after the presses")
            shoot(rating, out / "rating.png", still=False)
        time.sleep(1.0)
    click(rating, *FINISHED)

    output = program.wait_for(OUTPUT)
    results = program.folder / "temp.csv"
    data = poll(lambda: results.is_file() and results.read_bytes(), "temp.csv")
    levels = [line.split(b",")[1:] for line in data.split(b"\r\n")[8:] if line]
    check(any(row[0] not in (b"", b"0") for row in levels) and
          any(row[1] not in (b"", b"0") for row in levels),
          "the presses on both variables are not in temp.csv")
    shoot(output, out / "results.png")
    program.stop()


def collating(program, clip, work, out):
    """Five raters of the demo clip in the collating window, with the clip attached; their chart
    as exported, one rater having stopped early."""
    # Interest rising to the middle of the clip, a dip, and a second rise; each rater a little
    # early or late and in steps of their own.
    shape = [0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 3, 2, 1, 0, -1, -2, -2, -1, 0, 1, 2, 3, 4, 5, 5, 4, 3,
             2, 1, 1]
    raters = [("Ann Lee", 0, 0), ("Ben Ode", 1, 0), ("Cy Marr", -1, 1), ("Dee Walsh", 2, -1),
              ("Eli Park", 0, -1)]
    files = []
    for subject, lag, offset in raters:
        levels = [max(-5, min(5, shape[max(0, min(len(shape) - 1, i - lag))] + offset))
                  for i in range(len(shape) if subject != "Eli Park" else 21)]
        path = work / f"{subject} Interest.csv"
        # As Dialtrace writes it: rows from second 2 on, empty to the end of the minute.
        path.write_bytes(results_bytes(subject, "Interest", DATE, dict(enumerate(levels, 2)), 61))
        files.append(path)

    program.start("--window", *files)
    collate = program.wait_for(COLLATE)
    park_pointer()
    click(collate, *CLIP_BUTTON)
    dialog = program.wait_for(CLIP_DIALOG, alone=False)
    type_keys(dialog, str(clip), "Return")
    program.wait_gone(dialog)
    poll(lambda: colours(collate, REVIEW_PICTURE) > 50,
         "the clip's picture in the collating window")
    # Played for a while, so that the cursor stands inside the chart, then paused there.
    keys(collate, "space")
    time.sleep(9.0)
    keys(collate, "space")
    shoot(collate, out / "collate.png")
    program.stop()
    subprocess.run([str(program.executable), "--chart", str(out / "chart.png"), *map(str, files)],
                   check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))


def study(program, clip, work, out):
    """The screen before the first clip of a study, with its "Start" button."""
    for name in ("debate-a.avi", "debate-b.avi", "debate-c.avi"):
        shutil.copy2(clip, work / name)
    path = work / "study.json"
    path.write_text(json.dumps({"title": "Debate study", "variables": ["Sympathy"],
                                "clips": ["debate-a.avi", "debate-b.avi", "debate-c.avi"],
                                "order": "shuffled", "results": "results"}, indent=2))
    program.start("--study", path)
    poll(lambda: [w for w in program.screens() if w[4:6] == SIZES[APP]], "the splash")
    form = program.wait_for(VARIABLES)
    type_keys(form, "P 7")
    click(form, *OK)
    click(program.wait_for(INSTRUCTIONS), *PROCEED)
    start = poll(lambda: [w for w in program.screens() if w[1] == APP and w[4:6] != SIZES[APP]],
                 "the screen before the first clip")[0]
    shoot(start, out / "study.png")
    program.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--source-dir", required=True, type=Path)
    parser.add_argument("--work", required=True, type=Path)
    parser.add_argument("--out", required=True, type=Path)
    args = parser.parse_args()
    clip = (args.source_dir / "samples" / "demo.avi").resolve()
    programs = []

    def program(name, folder):
        programs.append(Program(args.build / name, args.work / folder, args.source_dir))
        return programs[-1]

    steps = [
        ("single run", lambda: single_run(program("dialtrace", "run"), clip, args.out)),
        ("collating", lambda: collating(program("dialtrace-collate", "collate"), clip,
                                        args.work / "collate", args.out)),
        ("study", lambda: study(program("dialtrace", "study"), clip, args.work / "study",
                                args.out)),
    ]
    for name, step in steps:
        try:
            step()
        except Failure as failure:
            subprocess.run(["import", "-silent", "-window", "root", str(args.work / "failure.png")])
            print(f"screenshots: {name}: {failure}", file=sys.stderr)
            return 1
        finally:
            for each in programs:
                each.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
