#!/usr/bin/python3
"""Imports small iCalendar files written as Google, Outlook and Thunderbird write them and
compares the agenda with an independent expansion (recurring_ical_events); exports them again
and compares the expansion of the export with the agenda; imports the export again."""

import datetime
import os
import re
import shutil
import subprocess
import sys

import icalendar
import recurring_ical_events

TOOL, DB, INI, ICS_DIR, WORK = sys.argv[1:6]
FIRST = datetime.date(2027, 1, 1)
DAYS = 365
failures = []


def run(folder, *args):
    done = subprocess.run([TOOL, folder, *args], capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{args}: exit {done.returncode}: {done.stderr}")
    return done.stdout


def fresh(name):
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy(DB, os.path.join(folder, "user.mdb"))
    shutil.copy(INI, os.path.join(folder, "setup.ini"))
    return folder


def agenda(folder):
    text = run(folder, "--agenda", "--all-layers", "--from", FIRST.isoformat(), "--days", str(DAYS))
    # The date, the time and the subject; the layer and the alarm mark are this program's own.
    return sorted(re.sub(r"  \[[^\]]*\]( !)?$", "", line) for line in text.splitlines())


def expansion(path):
    with open(path, "rb") as f:
        calendar = icalendar.Calendar.from_ical(f.read())
    lines = []
    last = FIRST + datetime.timedelta(days=DAYS)
    for event in recurring_ical_events.of(calendar).between(FIRST, last):
        # A cancelled occurrence or series takes place on no day.
        if str(event.get("STATUS", "")).upper() == "CANCELLED":
            continue
        start = event["DTSTART"].dt
        if isinstance(start, datetime.datetime):
            if start.tzinfo is not None:
                start = start.astimezone()  # the local zone of the test, as the program's
            when = start.strftime("%Y-%m-%d %H:%M")
        else:
            when = start.strftime("%Y-%m-%d") + " --:--"
        lines.append(f"{when}  {event.get('SUMMARY', '')}")
    return sorted(lines)


def check_summary(what, report):
    """The counts of the summary line match the lines of its details."""
    lines = report.splitlines()
    counts = dict((word, int(n)) for n, word in re.findall(r"(\d+) (?:events )?(\w+)", lines[0]))
    changed = {re.match(r'Changed (".*?"(?: on \S+)?):', l).group(1) for l in lines if l.startswith("Changed ")}
    for word, found in (("skipped", sum(l.startswith("Skipped ") for l in lines)),
                        ("unchanged", sum(l.startswith("Unchanged ") for l in lines)),
                        ("changed", len(changed))):
        if counts.get(word, 0) != found:
            failures.append(f"{what}: {counts.get(word, 0)} {word} in the summary, {found} in its details")


def compare(what, ours, theirs):
    if ours != theirs:
        only_ours = [l for l in ours if l not in theirs]
        only_theirs = [l for l in theirs if l not in ours]
        failures.append(f"{what}:\n  only in the agenda: {only_ours}\n  only in the expansion: {only_theirs}")


for name in sorted(os.listdir(ICS_DIR)):
    if not name.endswith(".ics"):
        continue
    source = os.path.join(ICS_DIR, name)
    folder = fresh(name + ".import")
    report = run(folder, "--import-ics", source)
    print(report)
    check_summary(name, report)
    imported = agenda(folder)
    compare(f"{name}: import", imported, expansion(source))

    exported = os.path.join(WORK, name + ".export.ics")
    run(folder, "--export-ics", exported)
    compare(f"{name}: export", imported, expansion(exported))
    with open(exported, encoding="utf-8") as f:
        text = f.read()
    if re.search(r"^(DTSTART|DTEND|RECURRENCE-ID|EXDATE)[^:]*:\d{8}T\d{4}[1-9]", text, re.M):
        failures.append(f"{name}: the export has times with seconds")

    # The program's own export, imported again: nothing new.
    events = text.count("BEGIN:VEVENT")
    report = run(folder, "--import-ics", exported)
    check_summary(f"{name}: own export again", report)
    summary = report.splitlines()[0]
    expected = f"0 events imported, 0 changed (see details), {events} unchanged, 0 skipped"
    if summary != expected:
        failures.append(f"{name}: own export again: {summary!r}, expected {expected!r}")

    # The export into another folder gives the same agenda.
    again = fresh(name + ".again")
    run(again, "--import-ics", exported)
    compare(f"{name}: round trip", agenda(again), imported)

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
