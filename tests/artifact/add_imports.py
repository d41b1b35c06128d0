#!/usr/bin/env python3
"""Lists the system functions a built DLL imports that the allowlist (xp-imports.txt) lacks, in the
allowlist's format, so that each can be looked up before it is added by hand."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_artifact as c  # noqa: E402

pe = c.PE(sys.argv[1])
allowed = c.load_allowlist(os.path.join(c.HERE, "xp-imports.txt"))
for dll, names in sorted(pe.imports().items()):
    if dll in c.ALLOWED_OTHER:
        continue
    missing = sorted(n for n in names if n not in allowed.get(dll, set()))
    if missing:
        print("[%s]" % dll)
        print("\n".join(missing))
