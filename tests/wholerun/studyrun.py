#!/usr/bin/env python3
"""Studies run by the real dialtrace program: refused before anything starts, and interrupted in
the middle by SIGKILL, then gone on with. Usage as wholerun.py."""

import json
import sys

from wholerun import (APP, FINISHED, INSTRUCTIONS, OK, PROCEED, RATING, SIZES, VARIABLES, check,
                      click, journal_rows, main, poll, type_keys)

PARTICIPANT = "P 7"


def write_study(run, **fields):
    study = dict(title="Pilot", variables=["Mood"], practice="practice.avi",
                 clips=["a.avi", "b.avi"], results="results", **fields)
    path = run.work / "study.json"
    path.write_text(json.dumps(study))
    return path


def step(run):
    """The small screen before a clip, titled as the program is, but not the splash."""
    return poll(lambda: [w for w in run.screens() if w[1] == APP and w[4:6] != SIZES[APP]],
                "the study's own screen")[0]


def press_return(run, window):
    type_keys(window, None, "Return")
    run.wait_gone(window)


def rate(run, samples=1):
    """Starts the clip, waits for its samples, presses Finished!"""
    press_return(run, step(run))
    rating = run.wait_for(RATING)
    poll(lambda: len(journal_rows(run.app_dir)) >= samples, f"{samples} samples in the journal")
    return rating


def start_study(run, study, recovering=False):
    """Starts the study and types the participant; after a crash, the recovery's message comes
    first."""
    run.start("--study", study)
    if recovering:
        press_return(run, step(run))
    poll(lambda: [w for w in run.screens() if w[4:6] == SIZES[APP]], "the splash")
    form = run.wait_for(VARIABLES)
    type_keys(form, PARTICIPANT)
    click(form, *OK)


def study_refused(run):
    study = write_study(run, order="by chance")
    run.start("--study", study)
    message = run.wait_for(APP)
    check(not (run.work / "results").exists() and sorted(p.name for p in run.app_dir.iterdir())
          == ["Instructions.txt", "dialtrace"], "something was written")
    type_keys(message, None, "Return")
    poll(lambda: run.process.poll() is not None, "dialtrace to end")
    check(run.process.returncode == 2, f"exit status {run.process.returncode}, not 2")


def study_interrupted(run):
    for name, seconds in (("practice.avi", 3), ("a.avi", 30), ("b.avi", 2.4)):
        run.clip(name, seconds)
    study = write_study(run)
    start_study(run, study)
    click(run.wait_for(INSTRUCTIONS), *PROCEED)
    click(rate(run), *FINISHED)
    rate(run, samples=2)
    run.process.kill()
    poll(lambda: run.process.poll() is not None, "dialtrace to end")

    start_study(run, study, recovering=True)
    # "P 7 has done 1 of 2 clips. Go on with the 1 left?"
    type_keys(step(run), None, "alt+y")
    click(run.wait_for(INSTRUCTIONS), *PROCEED)
    click(rate(run), *FINISHED)
    type_keys(step(run), None, "Return")  # "Thank you!": Close ends the program
    run.wait_exit()

    results = run.work / "results"
    names = sorted(p.name for p in results.iterdir())
    base = [f"{PARTICIPANT} practice Mood", f"{PARTICIPANT} a Mood (recovered)",
            f"{PARTICIPANT} b Mood"]
    for name in base:
        check(f"{name}.csv" in names and f"{name}.events.csv" in names, f"{name} not in {names}")
        run.check_events(results / f"{name}.csv")
    records = [p for p in results.glob(f"{PARTICIPANT} session *.json")]
    check(len(records) == 1, f"session records: {names}")
    record = json.loads(records[0].read_text())
    check([c["state"] for c in record["clips"]] == ["done", "recovered", "done"] and
          record["order"] == ["practice.avi", "a.avi", "b.avi"], f"record: {record}")
    check(not (run.app_dir / "temp.csv").exists(), "temp.csv was written in a study")


if __name__ == "__main__":
    sys.exit(main({case.__name__: case for case in (study_refused, study_interrupted)}))
