#!/usr/bin/env python3
"""Writes docs/reliability.md and docs/performance.md from the outputs of a run (scripts/report makes
the run): the rows that the fault-matrix, fault and bad-input tests wrote on each architecture, the
fuzz runs, the soak and the benchmarks' figures.

    report.py BUILD_DIR OUTPUT_DIR FIGURES_DIR
FIGURES_DIR holds the captured outputs: soak-<arch>.txt, bench-<arch>.txt, ctest.txt, ctest-log.txt.
"""
import datetime
import glob
import os
import re
import sys

ARCHES = [("i686", "i686-host", "the shipped i686 DLL under 32-bit wine"),
          ("x86_64", "x86_64", "the x86_64 twin under wine64")]


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def matrix_rows(build, tree):
    rows = []
    for path in sorted(glob.glob(os.path.join(build, tree, "bin", "test-output", "fault-matrix-*.tsv"))):
        for line in read(path).splitlines():
            cells = line.split("\t")
            if len(cells) == 5:
                rows.append(cells)
    return rows


def cell(text):
    return text.replace("|", "\\|")


def table(rows, areas):
    out = ["| fault | expected | observed | |", "|---|---|---|---|"]
    for area, fault, expected, observed, verdict in rows:
        if area in areas:
            out.append("| %s | %s | %s | %s |" % (cell(fault), cell(expected), cell(observed), verdict))
    return out


def soak_lines(text):
    rows = []
    for line in text.splitlines():
        if line.startswith("soak: "):
            rows.append(line[6:].split("\t"))
    return rows


def fuzz_budgets(log):
    """(harness, passed, executions) for each libFuzzer run in ctest's log."""
    rows = []
    for part in re.split(r"^\d+/\d+ Testing: ", log, flags=re.M)[1:]:
        name = part.split("\n", 1)[0].strip()
        if not name.startswith("fuzz."):
            continue
        execs = re.findall(r"stat::number_of_executed_units:\s*(\d+)", part)
        rows.append((name[5:], "Test Passed." in part, execs[-1] if execs else ""))
    return rows


def environment_line(figures):
    text = read(os.path.join(figures, "environment.txt")).strip()
    return text or "(environment not recorded)"


def reliability(build, figures, when):
    out = ["# Reliability", "",
           "Written by `scripts/report` from a run on %s (%s). Each row was checked by a test; the " % (when, environment_line(figures)) +
           "observed column is what that test saw, so a row reads `FAIL` if the run saw something else.", ""]
    ctest = read(os.path.join(figures, "ctest.txt"))
    summary = [l for l in ctest.splitlines() if "tests passed" in l]
    if summary:
        out += ["The tests behind this report: `%s`." % summary[-1].strip(), ""]
    sections = [
        ("Fault matrix", ["catalogue", "engine", "files"],
         "Every statement of the catalogue failing (the ADO bridge rejects it, breaks its rows off, or drops "
         "the connection), the engine's ends of a scan, the file system refusing each write. (A structured "
         "exception at each of the engine's five calls and from the host's page handler is "
         "`tests/e2e/scanfault_test.cpp`'s: nine cases on each architecture, in the run's ctest summary.) For each row the host's "
         "windows must be enabled again afterwards and a second run must leak no string block, handle or window."),
        ("Bad input", ["bad input"],
         "A record with junk in every slot, strings of awkward lengths, invalid GBK, options documents that "
         "are not what they should be, catalogues that are."),
    ]
    for title, areas, intro in sections:
        out += ["## " + title, "", intro, ""]
        for arch, tree, what in ARCHES:
            rows = matrix_rows(build, tree)
            mine = [r for r in rows if r[0] in areas]
            passed = sum(1 for r in mine if r[4] == "pass")
            out += ["### %s: %s (%d rows, %d passing)" % (arch, what, len(mine), passed), ""]
            out += table(rows, areas) if mine else ["(no rows: the tests did not run)"]
            out.append("")
    out += ["## Files written in place, and what a crash leaves", "",
            "- The result file: rewritten in place, the same file for every page, as hosts have always found "
            "it. The bytes beyond the old end are written first: on a disk without room for them the write "
            "fails before the old content is touched, the file keeps the previous page whole (or, at the first "
            "page, is not left behind) and the error reaches the host. A crash in the middle of a write may "
            "leave a mix of two pages; it takes the host down with it, the page message was not sent, and the "
            "next scan starts by deleting the file. A write beside and a move into place would keep the name "
            "and the nine lines hosts rely on, but cost every page four more round trips to the wine server "
            "(open, descriptor, rename, close) and give the file a new identity every page.",
            "- `simple.cfg` (and the Panasonic driver's `PANA_S2025.INI`): the system's profile functions "
            "rewrite the whole file in place for every entry, and on a full disk wine cuts the file short "
            "and reports success (everything after the cut is lost). The library writes the entry into a "
            "copy beside the file when the disk has room for the copy to be rewritten, and the copy then "
            "takes the file's place: the engine and the drivers read the file by name through the same "
            "profile functions, and it keeps every line but the entry written. The section copy into "
            "`[Scan]` is written the same way. A crash in the middle leaves the old file and at most a "
            "`simple.cfg.qrxtmp` beside it.",
            "- `Win.ini` (the TWAIN default source on Windows before 2000) is the system's own file and is "
            "written in place through the profile functions, as the system keeps it.", ""]
    out += ["## Fuzzing", ""]
    runs = read(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fuzz", "RUNS.md"))
    if runs:
        # Its headings one level down, under this section's.
        runs = re.sub(r"^(#+) ", r"#\1# ", runs, flags=re.M)
        out += ["The longer runs made while the harnesses were built (`tests/fuzz/RUNS.md`):", "", runs.strip(), ""]
    budgets = fuzz_budgets(read(os.path.join(figures, "ctest-log.txt")))
    if budgets:
        out += ["### This run's CI budgets", "", "`fuzz.<harness>` under ctest, from the corpus in the repository:", "",
                "| harness | result | executions |", "|---|---|---|"]
        for name, passed, execs in budgets:
            out.append("| %s | %s | %s |" % (name, "clean" if passed else "FAILED", execs or "?"))
        out.append("")
    out += ["## Soak", "",
            "10,000 calls of each export through the host (`bench/soak_bench.cpp`); growth of what the process "
            "holds from before the first call to after the last. Under wine GetGuiResources answers 0 (USER "
            "and GDI); the thread's top-level windows stand in for them. The 10,000-page scan is in "
            "[performance.md](performance.md).", ""]
    for arch, tree, what in ARCHES:
        rows = soak_lines(read(os.path.join(figures, "soak-%s.txt" % arch)))
        out += ["### " + arch, ""]
        if not rows:
            out += ["(not run)", ""]
            continue
        out += ["| export | calls | ms/call | private KB | handles | USER | GDI | windows | string blocks |",
                "|---|---|---|---|---|---|---|---|---|"]
        for r in rows:
            out.append("| " + " | ".join(r) + " |")
        out.append("")
    return "\n".join(out) + "\n"


def performance(figures, when):
    out = ["# Performance", "",
           "Written by `scripts/report` from a run on %s (%s), from the benchmarks' own output " % (when, environment_line(figures)) +
           "(`bench/`). Under wine every file operation and every handle call is a round trip to the wine "
           "server, whose cost swings 2-5x with the machine's load: the ratios compare work measured in turn "
           "in one process, and are the figures that carry over.", "",
           "Targets: a page costs at most 1.5x the bare copy of the engine's image plus the write of the result "
           "file; GetScannerID at most 1.25x the bare ADO query. Both bare loops are the benchmarks' own code "
           "(no library code), run in turn with the library in the same process and folders.", ""]
    for arch, tree, what in ARCHES:
        text = read(os.path.join(figures, "bench-%s.txt" % arch)).strip()
        out += ["## %s: %s" % (arch, what), "", "```", text or "(not run)", "```", ""]
    return "\n".join(out) + "\n"


def main():
    build, output, figures = sys.argv[1:4]
    when = datetime.date.today().isoformat()
    with open(os.path.join(output, "reliability.md"), "w", encoding="utf-8") as f:
        f.write(reliability(build, figures, when))
    with open(os.path.join(output, "performance.md"), "w", encoding="utf-8") as f:
        f.write(performance(figures, when))
    return 0


if __name__ == "__main__":
    sys.exit(main())
