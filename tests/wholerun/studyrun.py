#!/usr/bin/env python3
"""Studies run by the real dialtrace program: refused before anything starts, and interrupted in
the middle by SIGKILL, then gone on with. Usage as wholerun.py."""

import json
import sys

from wholerun import (APP, INSTRUCTIONS, OK, PICTURE, PROCEED, RATING, SIZES, VARIABLES, check,
                      click, journal_rows, main, pixels, poll, type_keys)

PARTICIPANT = "P 7"


def write_study(run, **fields):
    study = dict(title="Pilot", variables=["Mood"], practice="practice.avi",
                 clips=["a.avi", "b.avi"], results="results", **fields)
    (run.work / "study.json").write_text(json.dumps(study))
    return run.work / "study.json"


def step(run):
    """The small screen before a clip, titled as the program is, but not the splash."""
    return poll(lambda: [w for w in run.screens() if w[1] == APP and w[4:6] != SIZES[APP]],
                "the study's own screen")[0]


def press_return(run, window):
    type_keys(window, None, "Return")
    run.wait_gone(window)


def rate(run, samples=1):
    """Starts the clip, sees its film play (a picture that is not one flat colour, and moves),
    waits for its samples; the rating screen."""
    press_return(run, step(run))
    rating = run.wait_for(RATING)
    first = poll(lambda: (shot := pixels(rating, *PICTURE)) and len(set(shot[::3 * 97])) > 8
                 and shot, "a picture on the rating screen")
    poll(lambda: pixels(rating, *PICTURE) != first, "the picture to move")
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
    run.wait_exit(2)


def study_interrupted(run):
    """Every clip shows its film, no key ends one, each ends by itself at its end; killed during
    clip a, the participant goes on: a is rated again and its partial run kept beside."""
    for name, seconds in (("practice.avi", 3), ("a.avi", 5), ("b.avi", 2.4)):
        run.clip(name, seconds)
    study = write_study(run)
    start_study(run, study)
    click(run.wait_for(INSTRUCTIONS), *PROCEED)
    run.wait_gone(rate(run))  # rated to its end, the next screen comes by itself
    rating = rate(run, samples=2)
    type_keys(rating, None, "Tab", "Tab", "Tab", "space", "shift+Tab", "Return", "Escape")
    check(run.wait_for(RATING)[0] == rating[0], "a key ended the run")
    run.process.kill()
    run.wait_exit(None)

    start_study(run, study, recovering=True)
    # "P 7 has done 0 of 2 clips; 1 was interrupted. Go on with the 2 left?"
    type_keys(step(run), None, "alt+y")
    click(run.wait_for(INSTRUCTIONS), *PROCEED)
    run.wait_gone(rate(run))
    run.wait_gone(rate(run))
    type_keys(step(run), None, "Return")  # "Thank you!": Close ends the program
    run.wait_exit()

    results = run.work / "results"
    names = sorted(p.name for p in results.iterdir())
    base = [f"{PARTICIPANT} practice Mood", f"{PARTICIPANT} a Mood (recovered)",
            f"{PARTICIPANT} a Mood", f"{PARTICIPANT} b Mood"]
    for name in base:
        check(f"{name}.csv" in names and f"{name}.events.csv" in names, f"{name} not in {names}")
        run.check_events(results / f"{name}.csv")
    records = [p for p in results.glob(f"{PARTICIPANT} session *.json")]
    check(len(records) == 1, f"session records: {names}")
    record = json.loads(records[0].read_text())
    clips = record["clips"]
    check([c["state"] for c in clips] == ["done", "done", "done"] and
          [c["complete"] for c in clips] == [True, True, True] and
          clips[1]["files"][0] == f"{PARTICIPANT} a Mood.csv" and
          clips[1]["extra"][0] == f"{PARTICIPANT} a Mood (recovered).csv" and
          record["order"] == ["practice.avi", "a.avi", "b.avi"], f"record: {record}")
    check(not (run.work / "app" / "temp.csv").exists(), "temp.csv was written in a study")


if __name__ == "__main__":
    sys.exit(main({case.__name__: case for case in (study_refused, study_interrupted)}))
