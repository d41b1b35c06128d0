#!/usr/bin/env python3
"""Fails unless EXE imports exactly the given functions from Quillon.RX.dll: names, or "@N" for an
import by ordinal N (what an import library made it link).

    check_imports.py EXE ScanInvoice SetScanMode ...      check_imports.py EXE @1 @2 ...
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "artifact"))
from check_artifact import PE  # noqa: E402


def main():
    exe, expected = sys.argv[1], sorted(sys.argv[2:])
    found = sorted(PE(exe).imports().get("quillon.rx.dll", []))
    ok = found == expected
    print("%s  %s imports %s from Quillon.RX.dll%s" % ("ok  " if ok else "FAIL", os.path.basename(exe), found,
                                                      "" if ok else " (expected %s)" % expected))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
