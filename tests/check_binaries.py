#!/usr/bin/env python3
"""Checks the built programs: PE GUI programs for the right machine that
import only the four system libraries, with the version record and the
manifest, and the x86 program within its size budget."""
import sys

import pefile

ALLOWED = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL", "SHELL32.DLL"}
MACHINES = {"win32": 0x14C, "win64": 0x8664}
X86_BUDGET = 16 * 1024
RT_VERSION, RT_MANIFEST = 16, 24


def check_program(path):
    problems = []
    kind = "win32" if "win32" in path else "win64"
    pe = pefile.PE(path)
    if pe.FILE_HEADER.Machine != MACHINES[kind]:
        problems.append(f"machine {pe.FILE_HEADER.Machine:#x}")
    if pe.OPTIONAL_HEADER.Subsystem != 2:
        problems.append(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, not GUI")
    dlls = {entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    if dlls - ALLOWED:
        problems.append(f"imports from {sorted(dlls - ALLOWED)}")
    types = {entry.id for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries}
    if RT_MANIFEST not in types:
        problems.append("no manifest")
    tables = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                tables[table.LangID.decode().upper()] = {
                    k.decode(): v.decode() for k, v in table.entries.items()}
    strings = tables.get("041103A4")
    if RT_VERSION not in types or strings is None or set(tables) != {"041103A4"}:
        problems.append(f"version string tables {sorted(tables)}")
    else:
        for field in ("FileDescription", "ProductName", "OriginalFilename"):
            if not strings.get(field):
                problems.append(f"version field {field} empty")
        if "碧環デスクトップアクセサリー" not in strings.get("ProductName", ""):
            problems.append(f"product name {strings.get('ProductName')!r}")
        if strings.get("FileVersion") != "1.00" or strings.get("ProductVersion") != "1.00":
            problems.append("version is not 1.00")
        fixed = pe.VS_FIXEDFILEINFO[0]
        if (fixed.FileVersionMS, fixed.ProductVersionMS) != (0x10000, 0x10000):
            problems.append("fixed version is not 1.0")
    manifest = next(e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == RT_MANIFEST) \
        if RT_MANIFEST in types else None
    if manifest:
        data_entry = manifest.directory.entries[0].directory.entries[0].data.struct
        text = pe.get_data(data_entry.OffsetToData, data_entry.Size)
        if b'level="asInvoker"' not in text:
            problems.append("manifest does not ask for asInvoker")
    size = len(open(path, "rb").read())
    if kind == "win32" and size > X86_BUDGET:
        problems.append(f"{size} bytes, over the {X86_BUDGET}-byte budget")
    print(f"{path}: {size} bytes, imports {', '.join(sorted(dlls))}"
          + ("" if not problems else " -- " + "; ".join(problems)))
    return problems


def main():
    failed = sum(1 for path in sys.argv[1:] if check_program(path))
    print(f"binaries: {len(sys.argv) - 1 - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
