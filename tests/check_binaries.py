#!/usr/bin/env python3
"""Checks the built programs: PE GUI programs for the right machine that
import only three system libraries, and from them only what Windows 95 has, with the version record and the
manifest, hardened, and the x86 program within its size budget and free of
any instruction a 386 lacks.

  check_binaries.py PROGRAM...                     every program passes
  check_binaries.py --rejects=KIND PROGRAM...      each program fails for
                                                   KIND (instructions or
                                                   hardening), showing the
                                                   check can tell
"""
import re
import subprocess
import sys

import pefile

# Functions the program may import, each in the first release of its
# library (Windows 95); anything newer is looked up at run time. SHELL32 is
# loaded at run time from the system folder, never imported: an import is
# loaded, with what it imports, before the program's first line runs.
WINDOWS_95 = {
    "KERNEL32.DLL": {
        "CloseHandle", "CreateFileA", "DeleteFileA", "ExitProcess", "FindClose",
        "FindFirstFileA", "FindNextFileA", "GetACP", "GetCPInfo", "GetCommandLineA",
        "GetCurrentProcess", "GetCurrentProcessId", "GetExitCodeProcess", "GetFileAttributesA",
        "GetFileInformationByHandle", "GetLastError", "GetLocalTime", "GetTempPathA",
        "GetModuleFileNameA", "GetModuleHandleA", "GetProcAddress",
        "GetShortPathNameA", "GetSystemDirectoryA", "GetTickCount", "GetVersion",
        "GetVersionExA", "GetWindowsDirectoryA", "IsValidCodePage", "LoadLibraryExA",
        "MoveFileA", "MoveFileExA", "MultiByteToWideChar", "WideCharToMultiByte",
        "OpenProcess", "ReadFile", "RemoveDirectoryA",
        "SetCurrentDirectoryA", "SetErrorMode", "SetFilePointer", "WaitForSingleObject", "WriteFile",
        "WritePrivateProfileStringA", "lstrcmpiA", "lstrcpynA"},
    "USER32.DLL": {"EnumWindows", "GetWindowThreadProcessId", "MessageBoxA", "MessageBoxW",
                   "PostMessageA"},
    "ADVAPI32.DLL": {"GetUserNameA", "RegCloseKey", "RegDeleteKeyA", "RegOpenKeyExA",
                     "RegQueryInfoKeyA", "RegQueryValueExA"},
}
ALLOWED = set(WINDOWS_95)
MACHINES = {"win32": 0x14C, "win64": 0x8664}
# What the manifest must say: the user's own rights (the program asks for
# elevation itself when it needs it), crisp text on a scaled display, the
# current look of the OK button, and every Windows from Vista to 11.
MANIFEST = {
    "asInvoker": rb'<requestedExecutionLevel level="asInvoker" uiAccess="false"/>',
    "system DPI awareness": rb"<dpiAware[^>]*>true</dpiAware>",
    "Common Controls 6": rb'name="Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0"',
}
MANIFEST.update({f"supportedOS {name}": rb'<supportedOS Id="\{' + guid + rb'\}"/>' for name, guid in (
    ("Vista", b"e2011457-1546-43c5-a5fe-008deee3d3f0"), ("7", b"35138b9a-5d96-4fbd-8e2d-a2440225f93a"),
    ("8", b"4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"), ("8.1", b"1f676c76-80e1-4239-95bb-83d0f6d0da78"),
    ("10 and 11", b"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"))})
X86_BUDGET = 36 * 1024
RT_VERSION, RT_MANIFEST = 16, 24

# Optional header DLL characteristics.
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE = 0x20, 0x40, 0x100, 0x8000
HARDENING = {"win32": {"DYNAMIC_BASE": DYNAMIC_BASE, "NX_COMPAT": NX_COMPAT,
                       "TERMINAL_SERVER_AWARE": TERMINAL_SERVER_AWARE}}
HARDENING["win64"] = dict(HARDENING["win32"], HIGH_ENTROPY_VA=HIGH_ENTROPY_VA)
IMAGE_FILE_RELOCS_STRIPPED = 0x1

# What a 386 cannot run: the 486 brought BSWAP, CMPXCHG and XADD; the
# Pentium CPUID, RDTSC, RDMSR and CMPXCHG8B; the Pentium Pro CMOV, FCMOV,
# FCOMI, SYSENTER and the long NOP (0F 1F); MMX and SSE their registers.
NOT_ON_A_386 = re.compile(
    r"^(cmov\w*|fcmov\w*|f(u)?comip?|cmpxchg\w*|xadd\w*|bswap|cpuid|rdtscp?|rdpmc|rdmsr|wrmsr"
    r"|sysenter|sysexit|syscall|sysret|emms)$")
SIMD_REGISTER = re.compile(r"%[xyz]?mm\d")


def x86_instruction_problems(path):
    """Every instruction in the code that a 386 would fault on."""
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-d", "-j", ".text", path],
                             capture_output=True, text=True, check=True).stdout
    found = []
    for line in listing.splitlines():
        parts = line.split("\t")
        if len(parts) < 3 or not parts[0].strip().endswith(":"):
            continue
        address, code, text = parts[0].strip()[:-1], parts[1].split(), parts[2]
        mnemonic = (text.split() or [""])[0]
        long_nop = code[:2] == ["0f", "1f"] or code[:3] == ["66", "0f", "1f"]
        if NOT_ON_A_386.match(mnemonic) or SIMD_REGISTER.search(text) or long_nop:
            found.append(f"{address} {text.strip()}")
    return found


def check_program(path):
    """The problems found; hardening and instruction problems say so first."""
    problems = []
    kind = "win64" if "win64" in path else "win32"
    pe = pefile.PE(path)
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    missing = [name for name, bit in HARDENING[kind].items() if not flags & bit]
    if missing:
        problems.append(f"hardening: no {', '.join(missing)}")
    reloc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    if reloc.Size == 0 or pe.FILE_HEADER.Characteristics & IMAGE_FILE_RELOCS_STRIPPED:
        problems.append("hardening: no relocation section")
    if kind == "win32":
        found = x86_instruction_problems(path)
        if found:
            problems.append(f"instructions: {len(found)} that a 386 lacks, first "
                            + "; ".join(found[:3]))
    if pe.FILE_HEADER.Machine != MACHINES[kind]:
        problems.append(f"machine {pe.FILE_HEADER.Machine:#x}")
    if pe.OPTIONAL_HEADER.Subsystem != 2:
        problems.append(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, not GUI")
    dlls = {entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    if dlls - ALLOWED:
        problems.append(f"imports from {sorted(dlls - ALLOWED)}")
    newer = sorted(f"{entry.dll.decode()}!{imp.name.decode() if imp.name else imp.ordinal}"
                   for entry in pe.DIRECTORY_ENTRY_IMPORT
                   for imp in entry.imports
                   if (imp.name.decode() if imp.name else None)
                   not in WINDOWS_95.get(entry.dll.decode().upper(), ()))
    if newer:
        problems.append(f"imports: not known to Windows 95: {', '.join(newer)}")
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
        for what, pattern in MANIFEST.items():
            if not re.search(pattern, text):
                problems.append(f"manifest: no {what}")
    size = len(open(path, "rb").read())
    if kind == "win32" and size > X86_BUDGET:
        problems.append(f"{size} bytes, over the {X86_BUDGET}-byte budget")
    print(f"{path}: {size} bytes, imports {', '.join(sorted(dlls))}"
          + ("" if not problems else " -- " + "; ".join(problems)))
    return problems


def main():
    args = sys.argv[1:]
    rejects = next((a.split("=", 1)[1] for a in args if a.startswith("--rejects=")), None)
    paths = [a for a in args if not a.startswith("--")]
    if rejects:
        # Each program is built to be refused; it must be, and for that reason.
        missed = [p for p in paths if not any(q.startswith(rejects + ":") for q in check_program(p))]
        for path in missed:
            print(f"{path}: not refused for {rejects}")
        print(f"refusals: {len(paths) - len(missed)} passed, {len(missed)} failed")
        return 1 if missed else 0
    failed = sum(1 for path in paths if check_program(path))
    print(f"binaries: {len(paths) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
