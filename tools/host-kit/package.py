#!/usr/bin/env python3
"""Lays out the release package from a built i686 tree:

    package.py --tree BUILD/i686 --source SOURCE --dist DIST

DIST/Quillon.RX.dll            stripped; .gnu_debuglink names Quillon.RX.dll.debug (and its CRC)
DIST/Quillon.RX.dll.debug      the debug information (objcopy --only-keep-debug)
DIST/include/                  QuillonRX.h, QuillonRXImports.h, QuillonRX.pas
DIST/lib/                      libQuillonRX.a, libQuillonRX-ordinal.a, QuillonRX.def
DIST/redist/borlndmm.dll       for hosts that have no borlndmm.dll of their own (stripped)
DIST/engine-sim/               ScanReco.dll (the simulator, stripped), README.md, samples/*.scenario
DIST/engine-recorder/          ScanReco.dll (the recorder, stripped), README.md
DIST/docs/host-guide.md
DIST/SHA256SUMS                every file above
Prints the DLL's size with and without its debug information. With --xp-exports (the folder of
Windows XP's export lists), the DLLs shipped beside the library must load on XP too: PE versions at
most 5.1 and every system import exported by XP's DLL of that name.
"""
import argparse
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import zlib

TOOLS = "i686-w64-mingw32-"
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "artifact"))
from check_artifact import PE, load_xp_exports  # noqa: E402

COMPANIONS = ("redist/borlndmm.dll", "engine-sim/ScanReco.dll", "engine-recorder/ScanReco.dll")


def run(*cmd):
    subprocess.run(cmd, check=True)


def copy(src, dst):
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    shutil.copyfile(src, dst)


def stripped(src, dst):
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    run(TOOLS + "strip", "--strip-all", "-o", dst, src)


def debuglink(dll):
    """(file name, CRC-32) that the DLL's .gnu_debuglink section holds."""
    out = subprocess.run([TOOLS + "objdump", "-s", "-j", ".gnu_debuglink", dll], check=True, capture_output=True,
                         text=True, env=dict(os.environ, LC_ALL="C")).stdout
    data = b""
    for line in out.splitlines():
        m = re.match(r"^ [0-9a-f]+ ((?:[0-9a-f]{2,8} ){1,4})", line + " ")
        if m:
            data += bytes.fromhex(m.group(1).replace(" ", ""))
    name = data[:data.index(b"\0")].decode()
    crc_at = (len(name) + 1 + 3) // 4 * 4
    return name, int.from_bytes(data[crc_at:crc_at + 4], "little")


def xp_problems(dll, lists, gone, added):
    pe = PE(dll)
    problems = []
    if pe.os_version > (5, 1) or pe.subsystem_version > (5, 1):
        problems.append("OS or subsystem version above 5.1")
    for lib, functions in sorted(pe.imports().items()):
        if lib not in lists:
            problems.append("imports %s, which has no XP export list" % lib)
            continue
        missing = [f for f in functions if (lib, f) not in added and (f not in lists[lib] or (lib, f) in gone)]
        if missing:
            problems.append("imports from %s what XP lacks: %s" % (lib, missing))
    return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tree", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--dist", required=True)
    ap.add_argument("--xp-exports")
    a = ap.parse_args()
    bin_, src, dist = os.path.join(a.tree, "bin"), a.source, a.dist
    shutil.rmtree(dist, ignore_errors=True)
    os.makedirs(dist)

    # The DLL: debug information apart, the stripped image linked to it.
    product = os.path.join(bin_, "Quillon.RX.dll")
    debug = os.path.join(dist, "Quillon.RX.dll.debug")
    dll = os.path.join(dist, "Quillon.RX.dll")
    run(TOOLS + "objcopy", "--only-keep-debug", product, debug)
    stripped(product, dll + ".tmp")
    run(TOOLS + "objcopy", "--add-gnu-debuglink=" + debug, dll + ".tmp", dll)
    os.remove(dll + ".tmp")
    name, crc = debuglink(dll)
    expected = zlib.crc32(open(debug, "rb").read()) & 0xFFFFFFFF
    if name != "Quillon.RX.dll.debug" or crc != expected:
        print("FAIL  .gnu_debuglink names %s (CRC %08x); the debug file's CRC is %08x" % (name, crc, expected))
        return 1

    for f in ("QuillonRX.h", "QuillonRXImports.h", "QuillonRX.pas"):
        copy(os.path.join(src, "include", f), os.path.join(dist, "include", f))
    for f in ("libQuillonRX.a", "libQuillonRX-ordinal.a", "QuillonRX.def"):
        copy(os.path.join(a.tree, "kit", f), os.path.join(dist, "lib", f))
    stripped(os.path.join(bin_, "borlndmm.dll"), os.path.join(dist, "redist", "borlndmm.dll"))
    stripped(os.path.join(bin_, "ScanReco.dll"), os.path.join(dist, "engine-sim", "ScanReco.dll"))
    copy(os.path.join(src, "tools", "engine-sim", "README.md"), os.path.join(dist, "engine-sim", "README.md"))
    for s in sorted(glob.glob(os.path.join(src, "tools", "engine-sim", "samples", "*.scenario"))):
        copy(s, os.path.join(dist, "engine-sim", "samples", os.path.basename(s)))
    stripped(os.path.join(bin_, "engine-recorder", "ScanReco.dll"), os.path.join(dist, "engine-recorder", "ScanReco.dll"))
    copy(os.path.join(src, "tools", "engine-recorder", "README.md"), os.path.join(dist, "engine-recorder", "README.md"))
    copy(os.path.join(src, "docs", "host-guide.md"), os.path.join(dist, "docs", "host-guide.md"))

    if a.xp_exports:
        lists, gone, added = load_xp_exports(a.xp_exports)
        failed = False
        for f in COMPANIONS:
            problems = xp_problems(os.path.join(dist, f), lists, gone, added)
            print("%s  %s loads on Windows XP%s" % ("FAIL" if problems else "ok  ", f, ": " + "; ".join(problems) if problems else ""))
            failed = failed or bool(problems)
        if failed:
            return 1

    files = sorted(os.path.relpath(os.path.join(d, f), dist).replace(os.sep, "/")
                   for d, _, names in os.walk(dist) for f in names)
    with open(os.path.join(dist, "SHA256SUMS"), "w") as out:
        for f in files:
            out.write("%s  %s\n" % (hashlib.sha256(open(os.path.join(dist, f), "rb").read()).hexdigest(), f))

    sizes = (os.path.getsize(product), os.path.getsize(dll), os.path.getsize(debug))
    print("Quillon.RX.dll: %d bytes with debug information, %d bytes stripped (debug file %d bytes)" % sizes)
    print("package: %d files in %s, checksums in SHA256SUMS" % (len(files) + 1, dist))
    return 0


if __name__ == "__main__":
    sys.exit(main())
