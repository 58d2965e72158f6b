#!/usr/bin/env python3
"""Whole runs of the real dialtrace program on the X display in DISPLAY, driven with xdotool.

Usage: wholerun.py --program PATH --source-dir DIR CASE

Each run gets a fresh application directory holding a copy of the program, since the program
reads Instructions.txt from, and writes temp.csv to, the directory its executable is in. There
is no window manager: focus is given before typing, and windows have no frames.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path

TIMEOUT = 30  # generous: the same runs are made under AddressSanitizer on a busy machine
APP, VARIABLES, OPEN, INSTRUCTIONS = "Dialtrace", "Variables", "Please Select the Movie or Sound File", "Instructions"
RATING, OUTPUT, SAVE = "Orvan Dialtrace", "Output", "Save As"
SIZES = {APP: (491, 282), VARIABLES: (337, 236), INSTRUCTIONS: (473, 507), RATING: (730, 482),
         OUTPUT: (865, 574)}
# Controls as left, top, width, height in pixels of their window.
CHECK_BOX, OK = (312, 104, 17, 17), (192, 200, 65, 25)
PROCEED = (312, 472, 153, 25)
INCREASE_1, DECREASE_2, FINISHED = (224, 368, 153, 49), (400, 424, 153, 49), (608, 424, 113, 49)
STORED_VALUE = (16, 384, 73, 17)  # "Loading..." until the first sample
EXPORT_IMAGE, EXPORT_CSV, CLOSE = (480, 544, 89, 25), (576, 544, 89, 25), (728, 544, 89, 25)
PLAY_PAUSE, PICTURE = (16, 336, 80, 25), (16, 8, 537, 320)  # the player's, on the rating screen
CLIP_SECONDS, SAMPLES = 4.4, 4


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def sh(*args, check_status=True):
    result = subprocess.run([str(a) for a in args], capture_output=True, text=True)
    check(result.returncode == 0 or not check_status, f"{args[0]} failed: {result.stderr.strip()}")
    return result.stdout


def poll(condition, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while not (value := condition()):
        check(time.monotonic() < deadline, f"timed out waiting for {what}")
        time.sleep(0.05)
    return value


def window(window_id):
    """(id, name, x, y, width, height) of a mapped top-level window, or None."""
    info = sh("xwininfo", "-id", window_id, check_status=False)
    if "IsViewable" not in info or "Override Redirect State: yes" in info:
        return None
    name = re.search(r'Window id: \S+ "(.*)"', info)
    num = [int(re.search(rf"{k}:\s+(-?\d+)", info).group(1))
           for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
    return (int(window_id), name.group(1) if name else "", *num)


def click(win, left, top, width, height, times=1):
    sh("xdotool", "mousemove", "--window", win[0], left + width // 2, top + height // 2,
       "click", "--repeat", times, "--delay", 40, 1)


def type_keys(win, text=None, *keys):
    sh("xdotool", "windowfocus", "--sync", win[0])
    if text is not None:
        sh("xdotool", "type", "--delay", 30, "--", text)
    if keys:
        sh("xdotool", "key", "--delay", 30, *keys)


def pixels(win, left, top, width, height):
    """The region's RGB bytes, empty where the window could not be read within a few seconds
    (ImageMagick's import can wait for ever on a window that goes away meanwhile)."""
    try:
        return subprocess.run(["import", "-silent", "-window", str(win[0]), "-crop",
                               f"{width}x{height}+{left}+{top}", "+repage", "-depth", "8",
                               "rgb:-"], capture_output=True, timeout=5).stdout
    except subprocess.TimeoutExpired:
        return b""


class Run:
    def __init__(self, program, source_dir, work, eventcheck):
        self.eventcheck = eventcheck
        self.work = Path(work)
        self.app_dir = self.work / "app"
        self.app_dir.mkdir()
        shutil.copy2(program, self.app_dir / "dialtrace")
        shutil.copy2(Path(source_dir) / "assets" / "Instructions.txt", self.app_dir)
        self.results = self.app_dir / "temp.csv"
        self.process, self.appeared, self.appeared_at = None, [], []

    def clip(self, name="clip.avi", seconds=CLIP_SECONDS):
        path = self.work / name
        sh("ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
           f"testsrc=size=160x120:rate=10:duration={seconds}", "-f", "lavfi", "-i",
           f"sine=duration={seconds}", "-c:v", "mjpeg", "-c:a", "pcm_s16le", "-shortest", path)
        return path

    def start(self, *arguments):
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=str(self.work / "config"),
                   PATH=f"{self.fake_bus_launcher()}:{os.environ['PATH']}")
        # As on a lab computer without a desktop session's bus.
        for name in ("DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            env.pop(name, None)
        self.log = open(self.work / "dialtrace.log", "wb")
        # Started from elsewhere, so that the files beside the executable are the ones used.
        self.started_at = time.monotonic()
        self.process = subprocess.Popen([self.app_dir / "dialtrace", *arguments], cwd=self.work,
                                        env=env, stdout=self.log, stderr=subprocess.STDOUT)

    def fake_bus_launcher(self):
        """A folder whose dbus-launch notes that it was started, then never answers: a bus
        started for the display from amid the program's threads, which can wait for ever."""
        folder = self.work / "bin"
        if not folder.is_dir():
            folder.mkdir()
            launcher = folder / "dbus-launch"
            launcher.write_text(f'#!/bin/sh\ntouch "{self.work}/dbus-launch started"\n'
                                "exec sleep 60\n")
            launcher.chmod(0o755)
        return folder

    def screens(self):
        check(self.process.poll() is None, f"dialtrace ended with status {self.process.returncode}")
        ids = sh("xdotool", "search", "--maxdepth", 1, "--onlyvisible", "--pid",
                 self.process.pid, check_status=False).split()
        shown = [w for w in map(window, ids) if w]
        new = [w for w in shown if w[0] not in [a[0] for a in self.appeared]]
        self.appeared += new
        self.appeared_at += [round(time.monotonic() - self.started_at, 2)] * len(new)
        return shown

    def wait_for(self, name, alone=True):
        def found():
            shown = self.screens()
            hits = [w for w in shown if w[1] == name]
            return hits[0] if len(hits) == 1 and (len(shown) == 1 or not alone) else None
        return poll(found, f'"{name}"' + (" alone" if alone else ""))

    def wait_gone(self, win):
        poll(lambda: all(w[0] != win[0] for w in self.screens()), f"{win[1]} to go")

    def to_rating(self, subject, variable, date, clip, two=False):
        self.wait_for(APP)
        form = self.wait_for(VARIABLES)
        type_keys(form, subject, "Tab")
        type_keys(form, variable, "Tab")
        type_keys(form, date)
        if two:
            click(form, *CHECK_BOX)
        click(form, *OK)
        dialog = self.wait_for(OPEN)
        type_keys(dialog, str(clip), "Return")
        self.wait_gone(dialog)
        click(self.wait_for(INSTRUCTIONS), *PROCEED)
        return self.wait_for(RATING)

    def wait_first_sample(self, rating):
        loading = poll(lambda: len(set(pixels(rating, *STORED_VALUE))) > 1 and
                       pixels(rating, *STORED_VALUE), '"Loading..." to be drawn')
        poll(lambda: pixels(rating, *STORED_VALUE) != loading, "the first sample")
        return time.monotonic()

    def finish_after_samples(self, rating, first):
        time.sleep(max(0.0, first + SAMPLES + 1.5 - time.monotonic()))
        click(rating, *FINISHED)
        output = self.wait_for(OUTPUT)
        return output, poll(lambda: self.results.is_file() and self.results.read_bytes(),
                            "temp.csv")

    def export(self, output, button, name):
        click(output, *button)
        dialog = self.wait_for(SAVE, alone=False)
        # The offered name is selected; putting our folder in front of it keeps the name.
        type_keys(dialog, None, "Home")
        type_keys(dialog, f"{self.work}/", "Return")
        self.wait_gone(dialog)
        return poll(lambda: (self.work / name).is_file() and self.work / name, name)

    def check_events(self, results, *options):
        """The event log beside results keeps every rule (dialtrace-eventcheck)."""
        found = subprocess.run([self.eventcheck, results, "--on-time", *options],
                               capture_output=True, text=True)
        check(found.returncode == 0, f"event log of {results.name}: {found.stdout.strip()}")
        return (results.parent / (results.stem + ".events.csv")).read_text()

    def wait_exit(self, status=0):
        """Until the program ends, with the status given (None: any)."""
        poll(lambda: self.process.poll() is not None, "dialtrace to end")
        check(status in (None, self.process.returncode), f"exit status {self.process.returncode}")


def rows(data, header, cell=int):
    """The levels of rows 2 on (read by cell, None where empty), after checking header and CR LF."""
    check(data.count(b"\n") == data.count(b"\r\n") and data.endswith(b"\r\n"), "not CR LF")
    lines = data.decode("cp1252").split("\r\n")[:-1]
    check(lines[:8] == header, f"header {lines[:8]}")
    check(len(lines) == 68, f"{len(lines)} lines, not 68")
    return [[cell(c) if c else None for c in line.split(",")[1:]] for line in lines[8:]]


def check_response(series, presses, what):
    """Levels pressed `presses` times right after the first sample: a jump of the presses, less
    at most one second of falling back, then one step a second towards 0."""
    size = [level * (1 if presses > 0 else -1) for level in series]
    peak = max(size)
    at = size.index(peak)
    message = f"{what}: {series} after {presses} presses"
    check(size[0] == 0 and abs(presses) - 1 <= peak <= abs(presses) and at in (1, 2), message)
    for before, after in zip(size[at:], size[at + 1:]):
        check(after == max(before - 1, 0), message + " (not one step a second)")


def whole_run(run):
    clip = run.clip()
    run.start()
    rating = run.to_rating("Ann Lee", "Joy", "2024-05-01", clip, two=True)
    first = run.wait_first_sample(rating)
    # Buttons, keys and the wheel for both variables, and the player paused and played again.
    click(rating, *INCREASE_1, times=3)
    click(rating, *DECREASE_2, times=2)
    type_keys(rating, None, "Up", "Up", "s")
    # Wheel up, and tilted left.
    sh("xdotool", "mousemove", "--window", rating[0], PICTURE[0] + 200, PICTURE[1] + 150,
       "click", 4, "click", 6)
    click(rating, *PLAY_PAUSE)
    click(rating, *PLAY_PAUSE)
    output, data = run.finish_after_samples(rating, first)
    levels = rows(data, ["This program was generated by Orvan Dialtrace v2.",
                         "Created on 2024-05-01 for subject Ann Lee", " ", " ", " ", "Time,Joy,",
                         " ", "1,0,0"])
    check(all(None not in r for r in levels[:SAMPLES]), f"samples missing: {levels[:SAMPLES]}")
    check(all(r == [None, None] for r in levels[SAMPLES:]), "rows after the clip not empty")
    check(any(r[0] > 0 for r in levels[:SAMPLES]) and any(r[1] != 0 for r in levels[:SAMPLES]),
          f"the presses are not in the samples: {levels[:SAMPLES]}")
    events = run.check_events(run.results, "--counts", "6,0,0,4")
    for wanted in (",increase,1,", ",key", ",wheel", ",button", ",pause,", ",play,", ",finished,"):
        check(wanted in events, f"no {wanted} in the event log")
    log = run.results.with_name("temp.events.csv").read_bytes()

    image = run.export(output, EXPORT_IMAGE, "Ann Lee Joy.jpg")
    kind, width, height = sh("identify", "-format", "%m %w %h", image).split()
    expected = round((CLIP_SECONDS * 50 + 10000) / 15)
    check(kind == "JPEG" and abs(int(width) - expected) <= 2 and height == "505",
          f"chart picture {kind} {width}x{height}")
    sheet = run.export(output, EXPORT_CSV, "Ann Lee Joy.csv")
    check(sheet.read_bytes() == data, "the exported CSV differs from temp.csv")
    # The event log is written just after the results file: wait for it too.
    exported = poll(lambda: sheet.with_name("Ann Lee Joy.events.csv").is_file() and
                    sheet.with_name("Ann Lee Joy.events.csv"), "the exported event log")
    check(exported.read_bytes() == log, "the exported event log differs from temp.events.csv")
    poll(lambda: not run.results.exists() and not run.results.with_name("temp.events.csv").exists(),
         "temp.csv and its event log to go after the export")
    click(output, *CLOSE)
    run.wait_exit()

    order = [(w[1], w[4:6]) for w in run.appeared]
    expected = [(APP, SIZES[APP]), (VARIABLES, SIZES[VARIABLES]), OPEN,
                (INSTRUCTIONS, SIZES[INSTRUCTIONS]), (RATING, SIZES[RATING]),
                (OUTPUT, SIZES[OUTPUT]), SAVE, SAVE]
    check([o if isinstance(e, tuple) else o[0] for o, e in zip(order, expected)] == expected
          and len(order) == len(expected), f"windows in this order: {order}")


def journal_rows(app_dir):
    """The samples in the run's journal: (row, level1, level2, rows of the table), whole lines
    only; its other events and marks are left out."""
    found = list(app_dir.glob("*.dialtrace-journal"))
    if len(found) != 1:
        return []
    lines = found[0].read_bytes().split(b"\n")[2:-1]
    return [tuple(int(x) for x in line.split(b",")[:4]) for line in lines
            if line[:1].isdigit() and line.count(b",") == 5]


def results_bytes(subject, variable, date, levels, last):
    """A one-variable results file as Dialtrace writes it, rows 2 to last: levels by row."""
    lines = ["This program was generated by Orvan Dialtrace v2.", f"Created on {date} for subject "
             f"{subject}", " ", " ", " ", f"Time,{variable}", " ", "1,0"]
    lines += [f"{r}," + (str(levels[r]) if r in levels else "") for r in range(2, last + 1)]
    return "".join(line + "\r\n" for line in lines).encode("cp1252")


def private_display():
    """An Xvfb server on the first free display: the process and the display's name."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                               "-noreset", "-screen", "0", "1280x1024x24"],
                              pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    return server, ":" + os.fdopen(read_end).readline().strip()


def interrupted(run, how):
    """A run ended by SIGKILL, SIGTERM or the loss of its X display is saved at the next start,
    byte for byte as far as its journal got."""
    clip = run.clip(seconds=30)
    if how == "display":
        # An X server of its own, to take away under the running program.
        main_display = os.environ["DISPLAY"]
        private, os.environ["DISPLAY"] = private_display()
    run.start()
    rating = run.to_rating("Cy", "Calm", "today", clip)
    poll(lambda: journal_rows(run.app_dir), "the journal's first sample")
    click(rating, *INCREASE_1, times=3)
    poll(lambda: len(journal_rows(run.app_dir)) >= 6, "six samples in the journal")
    type_keys(rating, None, "Up")
    poll(lambda: len(journal_rows(run.app_dir)) >= 7, "a seventh sample in the journal")
    if how == "display":
        private.kill()
        private.wait()
        os.environ["DISPLAY"] = main_display
    else:
        run.process.send_signal({"kill": 9, "term": 15}[how])
    run.wait_exit(None)
    samples = journal_rows(run.app_dir)
    check_response([level for _, level, _, _ in samples[:6]], 3, "journal")

    run.start()
    message = run.wait_for(APP)
    recovered = list(run.app_dir.glob("Recovered Cy Calm *[0-9].csv"))
    check(len(recovered) == 1, f"recovered files: {recovered}")
    saved = results_bytes("Cy", "Calm", "today", {r: v for r, v, *_ in samples}, samples[-1][3])
    check(recovered[0].read_bytes() == saved, "the recovered file differs from the journal")
    events = run.check_events(recovered[0])
    check(",key" in events and ",button" in events, "the presses are not in the event log")
    check(not list(run.app_dir.glob("*.dialtrace-journal")), "the journal is still there")
    type_keys(message, None, "Return")
    poll(lambda: [w for w in run.screens() if w[1] == APP and w[4:6] == SIZES[APP]], "the splash")
    run.process.kill()


CASES = {"whole_run": whole_run, **{f"interrupted_{how}": lambda run, how=how: interrupted(run, how)
                                    for how in ("kill", "term", "display")}}


def main(cases):
    parser = argparse.ArgumentParser()
    for option in ("--program", "--source-dir", "--eventcheck"):
        parser.add_argument(option, required=True)
    parser.add_argument("--own-display", action="store_true",
                        help="run on an X server of its own, so that cases can run side by side")
    parser.add_argument("case", choices=sorted(cases))
    args = parser.parse_args()
    server = None
    if args.own_display:
        # Keyboard focus belongs to a display: with one each, cases never take it from each other.
        server, os.environ["DISPLAY"] = private_display()
    try:
        return run_case(cases, args)
    finally:
        if server:
            server.kill()
            server.wait()


def run_case(cases, args):
    if os.environ.get("DISPLAY", ":") == ":":
        print("no DISPLAY: run under an X server, as the README's test command does")
        return 1
    work = tempfile.mkdtemp(prefix=f"dialtrace-{args.case}-")
    run = Run(args.program, args.source_dir, work, args.eventcheck)
    try:
        cases[args.case](run)
    except Exception:
        traceback.print_exc()
        subprocess.run(["import", "-silent", "-window", "root", f"{work}/failure.png"])
        # What a failure on another machine needs to be understood: the windows seen, in order,
        # and what the program said.
        print("windows seen, with the seconds after the start they were first seen at:",
              [(w[1], w[4:6], at) for w, at in zip(run.appeared, run.appeared_at)])
        log = run.work / "dialtrace.log"
        if log.is_file():
            print("the program's log, its end:")
            print(log.read_text(errors="replace")[-3000:])
        print(f"FAILED {args.case}; screenshot, log and files kept in {work}")
        return 1
    finally:
        if run.process and run.process.poll() is None:
            run.process.kill()
    if (run.work / "dbus-launch started").exists():
        print(f"FAILED {args.case}: the program started a session bus (dbus-launch)")
        return 1
    print(f"PASSED {args.case}")
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(CASES))
