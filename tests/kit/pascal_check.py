#!/usr/bin/env python3
"""Compiles include/QuillonRX.pas with Free Pascal in Delphi mode for i386 and runs LayoutCheck.pas,
which asserts the unit against the C header as the C compiler sees it:

- the i686 mingw compiler compiles a file that uses QuillonRX.h (-g); its debug information gives
  TScanDLLParams' size and every field's offset, EXCEPTION_RECORD's offsets, and the values of
  QRX_WM_NEWPAGE and QRX_EXCEPTION_CODE;
- those become layout-expected.inc, the checks LayoutCheck.pas makes on the Pascal declarations;
- the unit is compiled twice, importing the exports by name and by ordinal (QRX_IMPORT_BY_ORDINAL).

The program is an i386 Linux program: the unit's DLL imports are linked against empty stand-ins
(--as-needed drops them), and LayoutCheck.pas itself stands in for borlndmm.dll.

    pascal_check.py --fpc FPC_ROOT --work DIR --include INCLUDE_DIR --tests TESTS_KIT_DIR
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

CC = "i686-w64-mingw32-gcc"
OBJDUMP = "i686-w64-mingw32-objdump"

C_SOURCE = r"""
#include "QuillonRX.h"
TScanDLLParams qrx_params;
EXCEPTION_RECORD qrx_exception_record;
enum { QRX_C_WM_NEWPAGE = QRX_WM_NEWPAGE, QRX_C_EXCEPTION_CODE = QRX_EXCEPTION_CODE };
int qrx_use_constants = QRX_C_WM_NEWPAGE;
"""

# C struct -> (Pascal type, the pointer LayoutCheck.pas names for it)
STRUCTS = {"TScanDLLParams": ("TScanDLLParams", "P"), "_EXCEPTION_RECORD": ("TQrxExceptionRecord", "R")}
CONSTANTS = {"QRX_C_WM_NEWPAGE": "QRX_WM_NEWPAGE", "QRX_C_EXCEPTION_CODE": "QRX_EXCEPTION_CODE"}


def run(cmd, **kw):
    print("$ " + " ".join(cmd), flush=True)
    return subprocess.run(cmd, check=True, **kw)


def c_layout(work, include):
    """{struct: (size, [(member, offset)])}, {enumerator: value} from the C compiler's DWARF."""
    src = os.path.join(work, "layout.c")
    obj = os.path.join(work, "layout.o")
    with open(src, "w") as f:
        f.write(C_SOURCE)
    run([CC, "-g", "-c", "-I", include, src, "-o", obj])
    # The untranslated dump: the tests run with LANG=zh_CN.UTF-8, and binutils speaks it.
    dwarf = subprocess.run([OBJDUMP, "--dwarf=info", obj], check=True, capture_output=True, text=True,
                           env=dict(os.environ, LC_ALL="C")).stdout
    structs, constants = {}, {}
    die, level, current = None, 0, None
    attrs = {}

    def close():
        nonlocal current
        if die == "DW_TAG_structure_type" and level == 1 and attrs.get("DW_AT_name") in STRUCTS:
            current = attrs["DW_AT_name"]
            structs.setdefault(current, (int(attrs["DW_AT_byte_size"]), []))
        elif die == "DW_TAG_member" and level == 2 and current and "DW_AT_data_member_location" in attrs:
            structs[current][1].append((attrs["DW_AT_name"], int(attrs["DW_AT_data_member_location"])))
        elif die == "DW_TAG_enumerator" and attrs.get("DW_AT_name") in CONSTANTS:
            constants[attrs["DW_AT_name"]] = int(attrs["DW_AT_const_value"], 0)
        if level <= 1 and not (die == "DW_TAG_structure_type" and attrs.get("DW_AT_name") in STRUCTS):
            current = None

    for line in dwarf.splitlines():
        m = re.match(r"^\s*<(\d+)><[0-9a-f]+>: Abbrev Number: \d+ \((\w+)\)", line)
        if m:
            close()
            level, die, attrs = int(m.group(1)), m.group(2), {}
            continue
        m = re.match(r"^\s*<[0-9a-f]+>\s+(DW_AT_\w+)\s*:\s*(?:\(indirect string, offset: [0-9a-fx]+\): )?(.*?)\s*$", line)
        if m and die:
            attrs[m.group(1)] = m.group(2)
    close()
    missing = [s for s in STRUCTS if s not in structs] + [c for c in CONSTANTS if c not in constants]
    if missing:
        raise SystemExit("FAIL  the C compiler's debug information lacks %s" % missing)
    return structs, constants


def expected_inc(structs, constants):
    lines = []
    for c_name, (size, members) in sorted(structs.items()):
        pascal, ptr = STRUCTS[c_name]
        lines.append("Check('SizeOf(%s)', SizeOf(%s), %d);" % (pascal, pascal, size))
        for member, offset in members:
            lines.append("Check('%s.%s', PtrUInt(@%s^.%s), %d);" % (pascal, member, ptr, member, offset))
    for c_name, pascal in sorted(CONSTANTS.items()):
        lines.append("Check('%s', %s, %d);" % (pascal, pascal, constants[c_name]))
    return "\n".join(lines) + "\n"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--fpc", required=True, help="where fetch-fpc.sh unpacked Free Pascal")
    ap.add_argument("--work", required=True)
    ap.add_argument("--include", required=True)
    ap.add_argument("--tests", required=True)
    a = ap.parse_args()
    lib = os.path.join(a.fpc, "root/usr/lib/i386-linux-gnu/fpc/3.2.2")
    ppc386 = os.path.join(lib, "ppc386")
    units = os.path.join(lib, "units/i386-linux")
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)

    structs, constants = c_layout(a.work, a.include)
    for c_name, (size, members) in structs.items():
        print("C: %s is %d bytes: %s" % (c_name, size, ", ".join("%s@%d" % m for m in members)))
    with open(os.path.join(a.work, "layout-expected.inc"), "w") as f:
        f.write(expected_inc(structs, constants))

    # Empty i386 shared objects for the DLLs the unit names; with --as-needed nothing depends on them.
    stubs = os.path.join(a.work, "stubs")
    os.makedirs(stubs)
    empty = os.path.join(stubs, "empty.o")
    run(["as", "--32", "-o", empty, "/dev/null"])
    for dll in ("Quillon.RX.dll", "borlndmm.dll", "kernel32.dll"):
        run(["ld", "-m", "elf_i386", "-shared", "-o", os.path.join(stubs, "lib%s.so" % dll), empty])

    failed = False
    for variant, defines in (("by-name", []), ("by-ordinal", ["-dQRX_IMPORT_BY_ORDINAL"])):
        out = os.path.join(a.work, variant)
        os.makedirs(out)
        cmd = [ppc386, "-Mdelphi", "-vew", "-Sew", "-n", "-Fu" + os.path.join(units, "rtl"),
               "-Fu" + a.include, "-Fi" + a.work, "-Fl" + stubs, "-k--as-needed", "-XX", "-CX", "-FE" + out,
               "-FU" + out] + defines + [os.path.join(a.tests, "LayoutCheck.pas")]
        run(cmd)
        r = subprocess.run([os.path.join(out, "LayoutCheck")])
        print("%s: LayoutCheck exited %d" % (variant, r.returncode), flush=True)
        failed = failed or r.returncode != 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
