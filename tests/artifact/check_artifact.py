#!/usr/bin/env python3
"""Checks the built i686 product as a host's loader sees it.

Quillon.RX.dll: PE32 for i386; export directory named "Quillon.RX.dll"; exactly the four exports,
undecorated, with their ordinals; each removes its argument bytes (ret imm16); imports only system
DLLs, borlndmm.dll and ScanReco.dll. borlndmm.dll: the three Delphi memory-manager names.
"""
import argparse
import re
import struct
import subprocess
import sys

EXPORTS = {"ScanInvoice": (1, 0x30), "SetScanMode": (2, 0x38), "SelectScanner": (3, 0x3C), "GetScannerID": (4, 0x38)}
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "shell32.dll",
    "comctl32.dll", "comdlg32.dll", "shlwapi.dll", "version.dll", "imm32.dll", "msvcrt.dll", "winmm.dll",
    "winspool.drv", "uxtheme.dll", "msimg32.dll",
}
ALLOWED_OTHER = {"borlndmm.dll", "scanreco.dll"}
BORLNDMM_NAMES = {"@Borlndmm@SysGetMem$qqri", "@Borlndmm@SysFreeMem$qqrpv", "@Borlndmm@SysReallocMem$qqrpvi"}


class PE:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsect, _, _, _, optsize, self.characteristics = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        if self.magic == 0x10B:
            self.image_base = struct.unpack_from("<I", d, opt + 28)[0]
            dirs = opt + 96
        else:
            self.image_base = struct.unpack_from("<Q", d, opt + 24)[0]
            dirs = opt + 112
        self.dirs = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(16)]
        self.sections = []
        sect = opt + optsize
        for i in range(nsect):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, sect + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("RVA %#x outside every section" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("latin-1")

    def exports(self):
        rva, size = self.dirs[0]
        if not rva:
            return None, {}
        o = self.off(rva)
        _, _, _, _, name_rva, base, nfuncs, nnames, funcs, names, ords = struct.unpack_from("<IIHHIIIIIII", self.data, o)
        func_rvas = [struct.unpack_from("<I", self.data, self.off(funcs) + 4 * i)[0] for i in range(nfuncs)]
        result = {}
        named = set()
        for i in range(nnames):
            nrva = struct.unpack_from("<I", self.data, self.off(names) + 4 * i)[0]
            idx = struct.unpack_from("<H", self.data, self.off(ords) + 2 * i)[0]
            result[self.cstr(nrva)] = (base + idx, func_rvas[idx])
            named.add(idx)
        for idx, f in enumerate(func_rvas):  # exports by ordinal only count too
            if f and idx not in named:
                result["#%d" % (base + idx)] = (base + idx, f)
        return self.cstr(name_rva), result

    def imports(self):
        rva, _ = self.dirs[1]
        dlls = []
        o = self.off(rva)
        while True:
            ilt, _, _, name, iat = struct.unpack_from("<IIIII", self.data, o)
            if not name:
                break
            dlls.append(self.cstr(name))
            o += 20
        return dlls


def ret_sizes(objdump, path, image_base, rva):
    """The immediate of every ret in the function that starts at rva."""
    start = image_base + rva
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", "--start-address=%#x" % start,
                          "--stop-address=%#x" % (start + 0x4000), path],
                         check=True, capture_output=True, text=True).stdout
    rets = []
    seen_first = False
    for line in out.splitlines():
        if re.match(r"^[0-9a-f]+ <.*>:$", line):
            if seen_first:
                break  # the next function begins
            seen_first = True
            continue
        m = re.search(r"\bret[lw]?\s*(\$0x[0-9a-f]+)?\s*$", line)
        if m:
            rets.append(int(m.group(1)[1:], 16) if m.group(1) else 0)
    return rets


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    ap.add_argument("dll")
    ap.add_argument("borlndmm")
    a = ap.parse_args()
    failures = []

    def check(ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            failures.append(what)

    pe = PE(a.dll)
    check(pe.magic == 0x10B, "PE32 optional header (magic %#x)" % pe.magic)
    check(pe.machine == 0x14C, "machine i386 (%#x)" % pe.machine)
    check(bool(pe.characteristics & 0x2000), "image is a DLL")
    name, exports = pe.exports()
    check(name == "Quillon.RX.dll", "export directory names %r" % name)
    check(set(exports) == set(EXPORTS), "exactly the four exports (found %s)" % sorted(exports))
    for export, (ordinal, argbytes) in EXPORTS.items():
        if export not in exports:
            continue
        got_ord, rva = exports[export]
        check(got_ord == ordinal, "%s has ordinal %d (found %d)" % (export, ordinal, got_ord))
        rets = ret_sizes(a.objdump, a.dll, pe.image_base, rva)
        check(bool(rets) and all(r == argbytes for r in rets),
              "%s returns with ret %#x (found %s)" % (export, argbytes, [hex(r) for r in rets]))
    imports = [d.lower() for d in pe.imports()]
    bad = [d for d in imports if d not in SYSTEM_DLLS and d not in ALLOWED_OTHER and not d.startswith("api-ms-win-")]
    check(not bad, "imports only system DLLs, borlndmm.dll and ScanReco.dll (others: %s)" % bad)
    check("borlndmm.dll" in imports, "imports borlndmm.dll")

    mm = PE(a.borlndmm)
    _, mm_exports = mm.exports()
    check(mm.magic == 0x10B and mm.machine == 0x14C, "borlndmm.dll is PE32 i386")
    check(BORLNDMM_NAMES <= set(mm_exports), "borlndmm.dll exports the three memory-manager names")

    if failures:
        print("artifact check failed: %d problem(s)" % len(failures))
        return 1
    print("artifact check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
