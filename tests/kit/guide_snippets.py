#!/usr/bin/env python3
"""Extracts the code of docs/host-guide.md: every ```c block, in order, into one C file, and every
```pascal block into one Pascal unit, for the tests to compile (and, for C, run). A code block in any
other language fails, except command lines (```bat, ```sh), so no snippet escapes the compilers.

    guide_snippets.py GUIDE OUT_C OUT_PAS
"""
import re
import sys

COMPILED = {"c": [], "pascal": []}
COMMANDS = {"bat", "sh"}


def main():
    guide, out_c, out_pas = sys.argv[1:4]
    text = open(guide, encoding="utf-8").read()
    errors = []
    for m in re.finditer(r"^( *)```(\w*)\n(.*?)^\1```$", text, re.S | re.M):
        indent, lang, body = m.group(1), m.group(2), m.group(3)
        line = text.count("\n", 0, m.start()) + 1
        if lang in COMPILED:
            body = "\n".join(l[len(indent):] for l in body.splitlines())
            directive = '#line %d "%s"\n' % (line + 1, guide) if lang == "c" else ""
            COMPILED[lang].append(directive + body + "\n")
        elif lang not in COMMANDS:
            errors.append("%s:%d: a code block in %r, which no test compiles" % (guide, line, lang or "no language"))
    for lang, blocks in COMPILED.items():
        if not blocks:
            errors.append("%s: no %s code" % (guide, lang))
    if errors:
        print("\n".join(errors))
        return 1
    open(out_c, "w", encoding="utf-8").write("\n".join(COMPILED["c"]))
    open(out_pas, "w", encoding="utf-8").write("\n".join(COMPILED["pascal"]))
    print("%d C and %d Pascal blocks" % (len(COMPILED["c"]), len(COMPILED["pascal"])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
