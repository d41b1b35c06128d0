#!/usr/bin/env python3
"""Checks the i686 ScanReco.dll as the library's loader sees it: exactly the five engine functions,
exported under their plain names, each removing its own argument bytes (stdcall). The second DLL is
the copy without FpGetNewPage."""
import re
import subprocess
import sys

ARGUMENT_BYTES = {"FpGetVersion": 8, "FpScannerInitialize": 0, "FpSetScannerMode": 4, "FpGetNewPage": 4,
                  "FpScannerTerminate": 4}


def exported_names(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    table = out.split("[Ordinal/Name Pointer] Table", 1)
    return set(re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table[1], re.M)) if len(table) > 1 else set()


def ret_sizes(objdump, path, name):
    """The operand of every ret in the function (and its split-off .cold part); 0 for a bare ret."""
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True, capture_output=True,
                         text=True).stdout
    sizes, inside = [], False
    symbol = re.compile(r"^[0-9a-f]+ <_?%s(@\d+)?(\.cold)?>:$" % name)
    for line in out.splitlines():
        if re.match(r"^[0-9a-f]+ <.*>:$", line):
            inside = bool(symbol.match(line))
        elif inside:
            m = re.search(r"\bret[lw]?\s*(\$0x[0-9a-f]+)?\s*$", line)
            if m:
                sizes.append(int(m.group(1)[1:], 16) if m.group(1) else 0)
    return sizes


def main():
    objdump, full, partial = sys.argv[1:4]
    failures = []

    def check(ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            failures.append(what)

    names = exported_names(objdump, full)
    check(names == set(ARGUMENT_BYTES), "%s exports exactly %s (has %s)" % (full, sorted(ARGUMENT_BYTES), sorted(names)))
    for name, size in ARGUMENT_BYTES.items():
        sizes = ret_sizes(objdump, full, name)
        # A function without arguments may end in a tail jump: it has nothing to pop.
        check((sizes or size == 0) and all(s == size for s in sizes),
              "%s returns with ret %d (found %s)" % (name, size, sizes))
    expected = set(ARGUMENT_BYTES) - {"FpGetNewPage"}
    names = exported_names(objdump, partial)
    check(names == expected, "%s exports exactly %s (has %s)" % (partial, sorted(expected), sorted(names)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
