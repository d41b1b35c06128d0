#!/usr/bin/env python3
"""Checks the built i686 product as a host's loader and a host's call sites see it.

Quillon.RX.dll:
- PE32 for i386, a DLL; subsystem and OS version at most 5.1 (Windows XP's loader refuses more);
- the export directory names "Quillon.RX.dll"; exactly the four exports, undecorated, with their
  ordinals;
- each export removes its argument bytes (ret imm16) and reads its arguments where a stdcall caller
  put them: the 48-byte record at [ebp+8], the first argument after it at [ebp+8+48], nothing
  beyond its last argument;
- imports only from system DLLs, borlndmm.dll and ScanReco.dll, and every imported system function
  is in the allowlist (xp-imports.txt beside this script: functions Microsoft documents as present on
  Windows XP SP3); with --xp-exports, also in the export lists of XP's own DLLs.
borlndmm.dll: the three Delphi memory-manager names.
With --symbols (the debug file of a stripped DLL, as the release package has it), the exports'
code is found through that file's symbol table.
With --record, the SHA-256 of the DLL that passed is written down, so that the hosts that run the
product can make sure they run that very file (same_product.py).
"""
import argparse
import hashlib
import os
import re
import struct
import subprocess
import sys

# name: (ordinal, argument bytes, offsets from ebp of the arguments after the record)
EXPORTS = {
    "ScanInvoice": (1, 0x30, []),
    "SetScanMode": (2, 0x38, [0x38, 0x3C]),
    "SelectScanner": (3, 0x3C, [0x38, 0x3C, 0x40]),
    "GetScannerID": (4, 0x38, [0x38, 0x3C]),
}
RECORD_OFFSET = 0x8
RECORD_SIZE = 48
ALLOWED_OTHER = {"borlndmm.dll", "scanreco.dll"}
BORLNDMM_NAMES = {"@Borlndmm@SysGetMem$qqri", "@Borlndmm@SysFreeMem$qqrpv", "@Borlndmm@SysReallocMem$qqrpvi"}
HERE = os.path.dirname(os.path.abspath(__file__))


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
        (self.os_version, _, self.subsystem_version) = (
            struct.unpack_from("<HH", d, opt + 40), struct.unpack_from("<HH", d, opt + 44),
            struct.unpack_from("<HH", d, opt + 48))
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
        """{dll (lower case): [function name, or "@N" for an import by ordinal N]}"""
        rva, _ = self.dirs[1]
        result = {}
        if not rva:
            return result
        o = self.off(rva)
        thunk_size, ordinal_flag = (4, 0x80000000) if self.magic == 0x10B else (8, 1 << 63)
        while True:
            ilt, _, _, name, iat = struct.unpack_from("<IIIII", self.data, o)
            if not name:
                break
            names = result.setdefault(self.cstr(name).lower(), [])
            t = self.off(ilt or iat)
            while True:
                entry = struct.unpack_from("<I" if thunk_size == 4 else "<Q", self.data, t)[0]
                if not entry:
                    break
                names.append("@%d" % (entry & 0xFFFF) if entry & ordinal_flag else self.cstr((entry & 0x7FFFFFFF) + 2))
                t += thunk_size
            o += 20
        return result


def symbol_ranges(objdump, symbols, pe):
    """{function: (first address, end)} of the code symbols in the symbol table of the file symbols
    (section-relative values; the next symbol ends a function), as addresses of pe's image."""
    out = subprocess.run([objdump, "-t", symbols], check=True, capture_output=True, text=True).stdout
    starts = {}
    for line in out.splitlines():
        m = re.match(r"^\[\s*\d+\]\(sec\s+(\d+)\)\(fl [^)]*\)\(ty\s+20\)\(scl\s+\d+\) \(nx \d+\) 0x([0-9a-f]+) (\S+)$",
                     line)
        if m and int(m.group(1)) >= 1:
            va = pe.sections[int(m.group(1)) - 1][0]
            starts[m.group(3)] = pe.image_base + va + int(m.group(2), 16)
    ordered = sorted(set(starts.values()))
    ends = {a: (ordered[i + 1] if i + 1 < len(ordered) else 1 << 32) for i, a in enumerate(ordered)}
    return {name: (a, ends[a]) for name, a in starts.items()}


def function_text(objdump, path, symbol, ranges=None):
    """The disassembly lines of a function and of its split-off ".cold" part."""
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True, capture_output=True,
                         text=True).stdout
    if ranges is not None:
        spans = [ranges[s] for s in (symbol, symbol + ".cold") if s in ranges]
        lines = []
        for line in out.splitlines():
            m = re.match(r"^\s*([0-9a-f]+):", line)
            if m and any(a <= int(m.group(1), 16) < e for a, e in spans):
                lines.append(line)
        return lines
    lines, inside = [], False
    for line in out.splitlines():
        m = re.match(r"^[0-9a-f]+ <(.*)>:$", line)
        if m:
            inside = m.group(1) in (symbol, symbol + ".cold")
            continue
        if inside:
            lines.append(line)
    return lines


def ret_sizes(lines):
    rets = []
    for line in lines:
        m = re.search(r"\bret[lw]?\s*(\$0x[0-9a-f]+)?\s*$", line)
        if m:
            rets.append(int(m.group(1)[1:], 16) if m.group(1) else 0)
    return rets


def frame_arguments(lines):
    """Every non-negative offset from ebp that the code reads or addresses (arguments and the return
    address live there)."""
    return sorted({int(m.group(1), 16) for line in lines for m in re.finditer(r"[^-]\b(0x[0-9a-f]+)\(%ebp\)", line)})


def load_allowlist(path):
    allowed = {}
    dll = None
    for raw in open(path, encoding="utf-8"):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        m = re.match(r"^\[(.+)\]$", line)
        if m:
            dll = m.group(1).lower()
            allowed.setdefault(dll, set())
        else:
            if dll is None:
                raise ValueError("%s: an entry before the first [dll] header" % path)
            allowed[dll].add(line.split()[0])
    return allowed


def load_xp_exports(folder):
    lists = {}
    for name in os.listdir(folder):
        if name.endswith(".txt") and name != "overrides.txt":
            with open(os.path.join(folder, name), encoding="latin-1") as f:
                lists[name[:-4].lower() + ".dll"] = {
                    l.strip() for l in f if l.strip() and not l.startswith("#")}
    gone, added = set(), set()
    overrides = os.path.join(folder, "overrides.txt")
    if os.path.exists(overrides):
        for l in open(overrides, encoding="latin-1"):
            l = l.strip()
            if l.startswith("-") or l.startswith("+"):
                dll, fn = l[1:].split("!", 1)
                (gone if l[0] == "-" else added).add((dll.lower() + ".dll", fn))
    return lists, gone, added


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    ap.add_argument("--allowlist", default=os.path.join(HERE, "xp-imports.txt"))
    ap.add_argument("--xp-exports", help="folder of XP's export lists, one <dll>.txt each (cross-check)")
    ap.add_argument("--record", help="after a pass, write the checked DLL's SHA-256 to this file")
    ap.add_argument("--symbols", help="the debug file of a stripped DLL: where its functions are")
    ap.add_argument("dll")
    ap.add_argument("borlndmm")
    a = ap.parse_args()
    failures = []
    if a.record and os.path.exists(a.record):
        os.remove(a.record)  # a record stands only for a check that passed now

    def check(ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            failures.append(what)

    pe = PE(a.dll)
    check(pe.magic == 0x10B, "PE32 optional header (magic %#x)" % pe.magic)
    check(pe.machine == 0x14C, "machine i386 (%#x)" % pe.machine)
    check(bool(pe.characteristics & 0x2000), "image is a DLL")
    check(pe.subsystem_version <= (5, 1), "subsystem version %d.%d at most 5.1" % pe.subsystem_version)
    check(pe.os_version <= (5, 1), "OS version %d.%d at most 5.1" % pe.os_version)

    ranges = symbol_ranges(a.objdump, a.symbols, pe) if a.symbols else None
    name, exports = pe.exports()
    check(name == "Quillon.RX.dll", "export directory names %r" % name)
    check(set(exports) == set(EXPORTS), "exactly the four exports (found %s)" % sorted(exports))
    for export, (ordinal, argbytes, offsets) in EXPORTS.items():
        if export not in exports:
            continue
        got_ord, rva = exports[export]
        check(got_ord == ordinal, "%s has ordinal %d (found %d)" % (export, ordinal, got_ord))
        lines = function_text(a.objdump, a.dll, "_%s@%d" % (export, argbytes), ranges)
        rets = ret_sizes(lines)
        check(bool(rets) and all(r == argbytes for r in rets),
              "%s returns with ret %#x (found %s)" % (export, argbytes, [hex(r) for r in rets]))
        seen = frame_arguments(lines)
        args = [o for o in seen if o >= RECORD_OFFSET]
        check(RECORD_OFFSET in args, "%s reads the record at [ebp+%#x]" % (export, RECORD_OFFSET))
        for o in offsets:
            check(o in args, "%s reads its argument at [ebp+%#x]" % (export, o))
        beyond = [hex(o) for o in args if o >= RECORD_OFFSET + argbytes]
        check(not beyond, "%s reads nothing beyond its %d argument bytes (found %s)" % (export, argbytes, beyond))

    imports = pe.imports()
    allowed = load_allowlist(a.allowlist)
    check("borlndmm.dll" in imports, "imports borlndmm.dll")
    for dll in sorted(imports):
        if dll in ALLOWED_OTHER:
            continue
        if dll not in allowed:
            check(False, "import from %s, which is not an allowed system DLL" % dll)
            continue
        for fn in sorted(imports[dll]):
            check(fn in allowed[dll], "import %s!%s is allowed on Windows XP SP3" % (dll, fn))
    if a.xp_exports:
        lists, gone, added = load_xp_exports(a.xp_exports)
        for dll in sorted(imports):
            if dll in ALLOWED_OTHER:
                continue
            if dll not in lists:
                check(False, "no XP export list for %s" % dll)
                continue
            missing = [fn for fn in imports[dll]
                       if (dll, fn) not in added and (fn not in lists[dll] or (dll, fn) in gone)]
            check(not missing, "every import from %s is exported by XP's %s (missing: %s)" % (dll, dll, missing))

    mm = PE(a.borlndmm)
    _, mm_exports = mm.exports()
    check(mm.magic == 0x10B and mm.machine == 0x14C, "borlndmm.dll is PE32 i386")
    check(BORLNDMM_NAMES <= set(mm_exports), "borlndmm.dll exports the three memory-manager names")

    if failures:
        print("artifact check failed: %d problem(s)" % len(failures))
        return 1
    print("artifact check passed")
    if a.record:
        digest = hashlib.sha256(pe.data).hexdigest()
        with open(a.record, "w") as f:
            f.write("%s  %s\n" % (digest, os.path.basename(a.dll)))
        print("recorded %s in %s" % (digest, a.record))
    return 0


if __name__ == "__main__":
    sys.exit(main())
