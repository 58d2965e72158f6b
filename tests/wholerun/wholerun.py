#!/usr/bin/env python3
"""Whole runs of the real dialtrace program on a real X display, driven by mouse and keyboard.

Usage: wholerun.py --program PATH --source-dir DIR CASE

Each run gets a fresh application directory holding a copy of the program, since the program
reads Instructions.txt from, and writes temp.csv to, the directory its executable is in.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path

# The helper module sits beside us in the source tree, which a test run must leave untouched.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import xsession as xs  # noqa: E402

# Generous: the same runs are made under AddressSanitizer on a small, busy machine.
FIRST_WINDOW_TIMEOUT = 60
SCREEN_TIMEOUT = 20
EXIT_TIMEOUT = 5

SPLASH_SIZE = (491, 282)

VARIABLES = "Variables"
VARIABLES_SIZE = (337, 236)
CHECK_BOX = (312, 104, 17, 17)
OK_BUTTON = (192, 200, 65, 25)

OPEN_DIALOG = "Please Select the Movie or Sound File"
SAVE_DIALOG = "Save As"
# The program's name: the title of its splash and of its message boxes.
APP_TITLE = "Dialtrace"

INSTRUCTIONS = "Instructions"
INSTRUCTIONS_SIZE = (473, 507)
PROCEED_BUTTON = (312, 472, 153, 25)

RATING = "Orvan Dialtrace"
RATING_SIZE = (730, 482)
INCREASE_1 = (224, 368, 153, 49)
DECREASE_1 = (224, 424, 153, 49)
INCREASE_2 = (400, 368, 153, 49)
DECREASE_2 = (400, 424, 153, 49)
FINISHED_BUTTON = (608, 424, 113, 49)
# "Seconds of Data to be stored" and "Length of Clip" each have a value label below them.
STORED_SECONDS_VALUE = (16, 384, 73, 17)
CLIP_LENGTH_VALUE = (16, 440, 73, 17)

OUTPUT = "Output"
OUTPUT_SIZE = (865, 574)
EXPORT_IMAGE_BUTTON = (480, 544, 89, 25)
EXPORT_CSV_BUTTON = (576, 544, 89, 25)
CLOSE_BUTTON = (728, 544, 89, 25)

RESULTS_FILE = "temp.csv"
LAST_ROW_SHORT_CLIP = 61
CHART_HEIGHT = 505

# Real seconds of clip; the number of samples is the whole seconds of the clip's length.
MOVIE_SECONDS = 4.4
MOVIE_SAMPLES = 4
SOUND_SECONDS = 3.5
SOUND_SAMPLES = 3
TOO_LONG_SECONDS = 905


def step(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


def check(condition, message):
    if not condition:
        raise xs.DriveError(message)


class Run:
    """One start of the program in its own application directory, and what it put on screen."""

    def __init__(self, program, source_dir, work):
        self.work = Path(work)
        self.app_dir = self.work / "app"
        self.clips = self.work / "clips"
        self.exports = self.work / "exports"
        for folder in (self.app_dir, self.clips, self.exports):
            folder.mkdir()
        self.program = self.app_dir / "dialtrace"
        shutil.copy2(program, self.program)
        shutil.copy2(Path(source_dir) / "assets" / "Instructions.txt", self.app_dir)
        self.results_path = self.app_dir / RESULTS_FILE
        self.process = None
        self.log = None
        # Every window the program showed, in the order they first appeared.
        self.appeared = []
        self._seen_ids = set()

    # Clips ---------------------------------------------------------------------------------

    def _ffmpeg(self, name, *args):
        path = self.clips / name
        xs.run(["ffmpeg", "-v", "error", "-nostdin", "-y", *args, str(path)])
        return path

    def movie(self):
        return self._ffmpeg(
            "clip.avi",
            "-f", "lavfi", "-i", f"testsrc=size=160x120:rate=10:duration={MOVIE_SECONDS}",
            "-f", "lavfi", "-i", f"sine=frequency=440:duration={MOVIE_SECONDS}",
            "-c:v", "mjpeg", "-q:v", "5", "-c:a", "pcm_s16le", "-shortest")

    def sound(self):
        return self._ffmpeg("tone.wav", "-f", "lavfi", "-i",
                            f"sine=frequency=440:duration={SOUND_SECONDS}", "-c:a", "pcm_s16le")

    def too_long_sound(self):
        # Silence at 8 kHz, 8 bits, mono: a quarter of an hour in a few megabytes.
        return self._ffmpeg("long.wav", "-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono",
                            "-t", str(TOO_LONG_SECONDS), "-c:a", "pcm_u8")

    @staticmethod
    def duration(path):
        out = xs.run(["ffprobe", "-v", "error", "-show_entries", "format=duration",
                      "-of", "csv=p=0", str(path)]).stdout
        return float(out.strip())

    # The process ---------------------------------------------------------------------------

    def start(self):
        env = dict(os.environ)
        env["QT_QPA_PLATFORM"] = "xcb"
        # The file dialogs remember folders in the user's settings; keep ours apart.
        env["XDG_CONFIG_HOME"] = str(self.work / "config")
        self.log = open(self.work / "dialtrace.log", "wb")
        # Started from elsewhere, so that the files beside the executable are the ones used.
        self.process = subprocess.Popen([str(self.program)], cwd=self.work, env=env,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        step(f"started {self.program} (pid {self.process.pid})")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)
        if self.log:
            self.log.close()

    def snapshot(self, name):
        """Keeps a picture of the screen where DIALTRACE_WHOLERUN_SHOTS names a folder."""
        folder = os.environ.get("DIALTRACE_WHOLERUN_SHOTS")
        if folder:
            xs.screenshot(Path(folder) / f"{self.work.name}-{name}.png")

    def log_text(self):
        try:
            return (self.work / "dialtrace.log").read_text(errors="replace")
        except OSError:
            return ""

    def _require_alive(self):
        code = self.process.poll()
        if code is not None:
            raise xs.DriveError(f"dialtrace ended unexpectedly with status {code}")

    def screens(self):
        self._require_alive()
        shown = xs.screens(self.process.pid)
        for window in shown:
            if window.id not in self._seen_ids:
                self._seen_ids.add(window.id)
                self.appeared.append(window)
        return shown

    def describe(self):
        if self.process.poll() is not None:
            return f"dialtrace has ended with status {self.process.returncode}"
        return xs.describe_screens(self.process.pid)

    def wait_for(self, name, size=None, alone=True, timeout=SCREEN_TIMEOUT, not_size=None):
        """Waits until a window called name is on screen, alone unless told otherwise."""

        def matching(window):
            return (window.name == name and (size is None or window.size == size)
                    and (not_size is None or window.size != not_size))

        def found():
            shown = self.screens()
            hits = [w for w in shown if matching(w)]
            if len(hits) != 1 or (alone and len(shown) != 1):
                return None
            return hits[0]

        what = f'"{name}"' + (f" {size[0]}x{size[1]}" if size else "") + (" alone" if alone else "")
        return xs.poll(found, timeout, what, describe=self.describe)

    def wait_message_over(self, screen):
        """Waits for a message box over screen, with nothing else on screen."""
        message = self.wait_for(APP_TITLE, alone=False)
        names = sorted(w.name for w in self.screens())
        check(names == sorted([APP_TITLE, screen.name]),
              f"on screen with the message: {', '.join(names)}")
        return message

    def wait_gone(self, window, timeout=SCREEN_TIMEOUT):
        xs.poll(lambda: all(w.id != window.id for w in self.screens()), timeout,
                f"{window} to go", describe=self.describe)

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        xs.poll(lambda: self.process.poll() is not None, timeout, "dialtrace to end",
                describe=lambda: xs.describe_screens(self.process.pid))
        check(self.process.returncode == 0,
              f"dialtrace ended with status {self.process.returncode}")
        left = xs.run(["xdotool", "search", "--maxdepth", "1", "--onlyvisible", "--class",
                       "^dialtrace$"], check=False).stdout.split()
        check(not left, f"windows of dialtrace left on screen: {left}")
        step("dialtrace ended with status 0")

    # Screens, as a person goes through them --------------------------------------------------

    def pass_splash(self):
        splash = self.wait_for(APP_TITLE, SPLASH_SIZE, timeout=FIRST_WINDOW_TIMEOUT)
        shown_at = time.monotonic()
        centre = ((xs.SCREEN_SIZE[0] - SPLASH_SIZE[0]) / 2, (xs.SCREEN_SIZE[1] - SPLASH_SIZE[1]) / 2)
        check(abs(splash.x - centre[0]) <= 1 and abs(splash.y - centre[1]) <= 1,
              f"splash not centred: {splash}")
        form = self.wait_for(VARIABLES, VARIABLES_SIZE, timeout=3 + SCREEN_TIMEOUT)
        shown_for = time.monotonic() - shown_at
        # The splash's three seconds start before it is first drawn, so allow for a slow start.
        check(shown_for >= 2.0, f"splash shown for only {shown_for:.2f} s")
        check((form.x, form.y) == (0, 0), f"setup form not at the top left: {form}")
        step(f"splash shown for {shown_for:.1f} s, then {form}")
        return form

    def fill_setup(self, form, subject, variable1, date, second_variable=False):
        # Focus starts in the subject box, and Tab goes on to variable 1, then the date.
        xs.type_text(form, subject)
        xs.key(form, "Tab")
        xs.type_text(form, variable1)
        xs.key(form, "Tab")
        xs.type_text(form, date)
        if second_variable:
            xs.click_centre(form, *CHECK_BOX)
        self.snapshot("setup")
        xs.click_centre(form, *OK_BUTTON)

    def open_dialog(self):
        dialog = self.wait_for(OPEN_DIALOG)
        step(f"file dialog: {dialog}")
        return dialog

    def choose_file(self, dialog, path):
        # The file name box has the focus; the whole path goes in as typed.
        xs.type_text(dialog, str(path))
        xs.key(dialog, "Return")
        self.wait_gone(dialog)

    def proceed(self):
        instructions = self.wait_for(INSTRUCTIONS, INSTRUCTIONS_SIZE)
        check((instructions.x, instructions.y) == (0, 0),
              f"instructions not at the top left: {instructions}")
        xs.click_centre(instructions, *PROCEED_BUTTON)
        rating = self.wait_for(RATING, RATING_SIZE)
        step(f"rating screen: {rating}")
        return rating

    def wait_first_sample(self, rating):
        """Waits until the first sample is stored; returns the time.monotonic() it was seen.

        Both value labels read "Loading..." until the first sample, which shows the table
        size in one and the clip length in the other.
        """

        def labels():
            return (xs.grab_rgb(rating, *STORED_SECONDS_VALUE),
                    xs.grab_rgb(rating, *CLIP_LENGTH_VALUE))

        def loading():
            stored, length = labels()
            drawn = stored is not None and len(set(stored[i:i + 3] for i in
                                                   range(0, len(stored), 3))) > 1
            self._require_alive()
            return stored if drawn and stored == length else None

        loading_look = xs.poll(loading, SCREEN_TIMEOUT, 'both labels to read "Loading..."',
                               describe=self.describe)

        def sampled():
            self._require_alive()
            stored = xs.grab_rgb(rating, *STORED_SECONDS_VALUE)
            return stored is not None and stored != loading_look

        xs.poll(sampled, SCREEN_TIMEOUT, "the first sample to be stored", describe=self.describe)
        seen = time.monotonic()
        step("first sample stored")
        return seen

    def wait_recording_end(self, first_sample_seen, samples):
        # Nothing on screen marks the last sample: wait out the clip's remaining real seconds,
        # plus a margin for a busy machine.
        remaining = first_sample_seen + (samples - 1) + 2.0 - time.monotonic()
        if remaining > 0:
            time.sleep(remaining)

    def finish(self, rating):
        xs.click_centre(rating, *FINISHED_BUTTON)
        output = self.wait_for(OUTPUT, OUTPUT_SIZE)
        check((output.x, output.y) == (0, 0), f"output not at the top left: {output}")
        step(f"results screen: {output}")
        return output

    def read_results(self):
        # Written just after the results screen is shown.
        xs.poll(lambda: self.results_path.is_file(), SCREEN_TIMEOUT, f"{self.results_path}")
        return self.results_path.read_bytes()

    def export(self, output, button, expected_name):
        """Exports into our folder under the name the save dialog offers; returns the file."""
        xs.click_centre(output, *button)
        dialog = self.wait_for(SAVE_DIALOG, alone=False)
        # The offered name is selected; putting our folder in front of it keeps the name.
        xs.key(dialog, "Home")
        xs.type_text(dialog, f"{self.exports}/")
        xs.key(dialog, "Return")
        self.wait_gone(dialog)
        self.wait_for(OUTPUT, OUTPUT_SIZE)
        path = self.exports / expected_name
        xs.poll(lambda: path.is_file(), SCREEN_TIMEOUT, f"{path}",
                describe=lambda: f"in {self.exports}: {sorted(os.listdir(self.exports))}")
        step(f"exported {path.name}")
        return path


# The results file ----------------------------------------------------------------------------

def parse_results(data, subject, date, names):
    """Checks the layout of a results file; returns the levels of rows 2 to the last row,
    one tuple per row, None for an empty cell."""
    check(data.endswith(b"\r\n"), "results file does not end with CRLF")
    check(data.count(b"\n") == data.count(b"\r\n") and data.count(b"\r") == data.count(b"\r\n"),
          "results file has a line not ended by CRLF")
    lines = data.decode("cp1252").split("\r\n")[:-1]
    columns = len(names)
    header = [
        "This program was generated by Orvan Dialtrace v2.",
        f"Created on {date} for subject {subject}",
        " ", " ", " ",
        "Time," + ",".join(names),
        " ",
        "1," + ",".join(["0"] * columns),
    ]
    check(lines[:len(header)] == header,
          f"results header is\n{lines[:len(header)]}\nnot\n{header}")
    rows = lines[len(header):]
    check(len(rows) == LAST_ROW_SHORT_CLIP - 1,
          f"{len(rows)} rows after row 1, not {LAST_ROW_SHORT_CLIP - 1}")
    table = []
    for number, line in enumerate(rows, start=2):
        cells = line.split(",")
        check(len(cells) == columns + 1, f"row {number} has {len(cells) - 1} commas: {line!r}")
        check(cells[0] == str(number), f"row numbered {cells[0]!r} where {number} belongs")
        levels = []
        for cell in cells[1:]:
            if cell == "":
                levels.append(None)
                continue
            check(cell.lstrip("-").isdigit(), f"row {number} holds {cell!r}")
            level = int(cell)
            check(-5 <= level <= 5, f"row {number} holds {level}, outside -5..5")
            levels.append(level)
        table.append(tuple(levels))
    return table


def check_samples(table, samples):
    """The first `samples` rows after row 1 are filled in every column, the rest are empty."""
    for number, levels in enumerate(table, start=2):
        if number <= samples + 1:
            check(None not in levels, f"row {number} should hold a sample: {levels}")
        else:
            check(all(level is None for level in levels),
                  f"row {number} should be empty after {samples} samples: {levels}")
    return table[:samples]


def check_response(series, presses, what):
    """The stored levels of one variable that was pressed `presses` times (negative: down)
    right after the first sample: they jump by the presses, less at most one second of falling
    back, then fall back one step a second towards 0."""
    sign = 1 if presses > 0 else -1
    size = [level * sign for level in series]
    peak = max(size)
    at = size.index(peak)
    message = f"{what}: levels {list(series)} after {abs(presses)} presses"
    check(size[0] == 0, message + " (the first sample came before any press)")
    check(abs(presses) - 1 <= peak <= abs(presses), message + " (wrong jump)")
    # The presses belong between the first and second samples; a very slow machine may push
    # them one sample later.
    check(at in (1, 2) and all(level == 0 for level in size[:at]), message + " (jump too late)")
    for before, after in zip(size[at:], size[at + 1:]):
        check(after == max(before - 1, 0), message + " (not falling back one step a second)")


def check_chart_image(path, clip_seconds):
    out = xs.run(["identify", "-format", "%m %w %h", str(path)]).stdout.split()
    check(out[0] == "JPEG", f"{path.name} is {out[0]}, not JPEG")
    width, height = int(out[1]), int(out[2])
    expected = round((clip_seconds * 50 + 10000) / 15)
    # The player may report a length a little off the file's own.
    check(abs(width - expected) <= 2 and height == CHART_HEIGHT,
          f"chart image is {width}x{height}, not about {expected}x{CHART_HEIGHT}")
    step(f"chart image {width}x{height}")


# The cases ------------------------------------------------------------------------------------

def one_variable(run):
    clip = run.movie()
    clip_seconds = run.duration(clip)
    subject, variable, date = "Ann Lee", "Joy", "2024-05-01"
    run.start()
    form = run.pass_splash()
    run.fill_setup(form, subject, variable, date)
    run.choose_file(run.open_dialog(), clip)
    rating = run.proceed()

    first = run.wait_first_sample(rating)
    xs.click_centre(rating, *INCREASE_1, times=3)
    run.snapshot("rating")
    run.wait_recording_end(first, MOVIE_SAMPLES)
    output = run.finish(rating)

    results = run.read_results()
    table = parse_results(results, subject, date, [variable])
    samples = check_samples(table, MOVIE_SAMPLES)
    check_response([levels[0] for levels in samples], 3, variable)
    step(f"results: {[levels[0] for levels in samples]}, then empty rows")

    image = run.export(output, EXPORT_IMAGE_BUTTON, f"{subject} {variable}.jpg")
    check_chart_image(image, clip_seconds)
    check(run.results_path.read_bytes() == results, "exporting the image changed temp.csv")

    sheet = run.export(output, EXPORT_CSV_BUTTON, f"{subject} {variable}.csv")
    check(sheet.read_bytes() == results, "exported CSV differs from temp.csv")
    xs.poll(lambda: not run.results_path.exists(), SCREEN_TIMEOUT,
            "temp.csv to be removed after the export")

    run.snapshot("results")
    xs.click_centre(output, *CLOSE_BUTTON)
    run.wait_exit()

    order = [(w.name, w.size) for w in run.appeared]
    expected = [(APP_TITLE, SPLASH_SIZE), (VARIABLES, VARIABLES_SIZE)]
    names = [name for name, _ in order]
    check(order[:2] == expected and names[2:] == [OPEN_DIALOG, INSTRUCTIONS, RATING, OUTPUT,
                                                  SAVE_DIALOG, SAVE_DIALOG],
          f"windows appeared in this order: {order}")
    step("windows appeared in order: " + ", ".join(names))


def two_variables(run):
    clip = run.sound()
    subject, variable, date = "Bo", "Calm", "1 June 2024"
    run.start()
    form = run.pass_splash()
    # The second name stays empty.
    run.fill_setup(form, subject, variable, date, second_variable=True)
    run.choose_file(run.open_dialog(), clip)
    rating = run.proceed()

    first = run.wait_first_sample(rating)
    xs.click_centre(rating, *DECREASE_2, times=3)
    xs.click_centre(rating, *INCREASE_1, times=2)
    run.snapshot("rating")
    run.wait_recording_end(first, SOUND_SAMPLES)
    output = run.finish(rating)

    results = run.read_results()
    table = parse_results(results, subject, date, [variable, ""])
    samples = check_samples(table, SOUND_SAMPLES)
    check_response([levels[0] for levels in samples], 2, "variable 1")
    check_response([levels[1] for levels in samples], -3, "variable 2")
    step(f"results: {samples}, then empty rows")

    xs.click_centre(output, *CLOSE_BUTTON)
    run.wait_exit()
    check(run.results_path.read_bytes() == results,
          "temp.csv changed or went when closing without an export")


def open_twice(run):
    clip = run.sound()
    run.start()
    form = run.pass_splash()
    run.fill_setup(form, "Cy", "Trust", "today")

    dialog = run.open_dialog()
    xs.key(dialog, "Escape")
    message = run.wait_for(APP_TITLE, not_size=SPLASH_SIZE)
    step(f"after cancelling the file dialog: {message}")
    run.snapshot("please-open")
    xs.key(message, "Return")
    run.choose_file(run.open_dialog(), clip)
    rating = run.proceed()
    run.wait_first_sample(rating)

    # Closing by the frame asks first; the default answer keeps the run going.
    xs.close_by_frame(rating)
    question = run.wait_message_over(rating)
    step(f"closing by the frame asks: {question}")
    run.snapshot("question")
    xs.key(question, "Return")
    run.wait_gone(question)
    run.wait_for(RATING, RATING_SIZE)
    check(run.process.poll() is None, "dialtrace ended although the answer was No")

    xs.close_by_frame(rating)
    question = run.wait_message_over(rating)
    xs.key(question, "y")
    run.wait_exit()
    check(not run.results_path.exists(), "temp.csv written for a run ended without saving")
    check(all(w.name != OUTPUT for w in run.appeared), "results screen shown")


def too_long(run):
    clip = run.too_long_sound()
    run.start()
    form = run.pass_splash()
    run.fill_setup(form, "Di", "Focus", "2024-05-02")
    run.choose_file(run.open_dialog(), clip)
    rating = run.proceed()

    # The refusal is a message over the rating screen, once the clip's length is known.
    message = run.wait_message_over(rating)
    step(f"refusal: {message}")
    run.snapshot("refusal")
    xs.key(message, "Return")
    run.wait_exit()
    check(not run.results_path.exists(), "temp.csv written for a refused clip")
    check(all(w.name != OUTPUT for w in run.appeared), "results screen shown")


CASES = {case.__name__: case for case in (one_variable, two_variables, open_twice, too_long)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the built dialtrace executable")
    parser.add_argument("--source-dir", required=True, help="the top of the source tree")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix=f"dialtrace-{args.case}-")
    started = time.monotonic()
    with xs.PrivateDisplay():
        run = Run(args.program, args.source_dir, work)
        try:
            CASES[args.case](run)
        except Exception:
            traceback.print_exc()
            if run.process is not None:
                print(run.describe(), flush=True)
            xs.screenshot(Path(work) / "failure.png")
            run.stop()
            print(f"--- dialtrace output ---\n{run.log_text()}--- end ---")
            print(f"FAILED {args.case}; screenshot and files kept in {work}")
            return 1
        finally:
            run.stop()
    print(f"PASSED {args.case} in {time.monotonic() - started:.1f} s")
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
