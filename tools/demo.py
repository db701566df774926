#!/usr/bin/env python3
"""Watch an erase happen: a complete installation in a scratch Wine prefix,
the eraser run on it, every message box shown and pictured, what is left,
and the restart that takes the program's own file away.

Touches nothing outside build/demo/. Where DISPLAY is set the boxes appear
there for you to close; otherwise they are drawn on a virtual display and
saved as PNG pictures under build/demo/.
"""
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))
from winelib import (ROOT, PACKAGE, MAKER_KEY, PACKAGE_KEY, SESSION_MANAGER, WINE_BIN, COMPLETION,
                     Prefix, parse_log, tree, write)

OUT = ROOT / "build" / "demo"
INSTALL_DIR = "C:\\Program Files\\Games\\"
STARTER_COPY = r"C:\windows\temp\VELDUNIN.EXE"   # where a starter runs the uninstaller from


def heading(text):
    print(f"\n== {text}", flush=True)


def show_tree(w, label, path_win):
    path = w.unix(path_win)
    entries = tree(path)
    print(f"{label}: {path_win}" + ("" if path.exists() else "  (gone)"))
    for rel in entries:
        mark = "\\" if (path / rel).is_dir() else ""
        print(f"    {rel.replace('/', chr(92))}{mark}")


def show_keys(w):
    for key in (MAKER_KEY, PACKAGE_KEY):
        if w.reg_exists(key):
            text = w.reg_query(key, "InstallDir") if key == PACKAGE_KEY else ""
            value = next((l.split("REG_SZ")[1].strip() for l in text.splitlines() if "REG_SZ" in l), "")
            print(f"    {key}" + (f"   InstallDir = {value}" if value else ""))
        else:
            print(f"    {key}  (gone)")


def dark_pixels(png):
    """How many pixels of the picture are darker than a quarter grey: a box
    with its text has over a thousand, one drawn without a font a dozen."""
    out = subprocess.run(["convert", str(png), "-colorspace", "Gray", "-threshold", "25%",
                          "-negate", "-format", "%[fx:round(mean*w*h)]", "info:"],
                         capture_output=True, text=True)
    return int(out.stdout) if out.returncode == 0 and out.stdout.strip().isdigit() else 0


def problems(result, pictures):
    """What keeps the demo from having shown an erase: each a sentence."""
    found = []
    if result.exit != 0:
        found.append(f"the eraser ended with exit code {result.exit}, not 0")
    if not result.boxes:
        found.append("the eraser showed no box (could the 32-bit Wine not reach the display?)")
    elif result.boxes[-1][1] != COMPLETION:
        found.append("the last box was not the completion message")
    for png in pictures:
        dark = dark_pixels(png) if png.exists() else None
        if dark is None:
            found.append(f"{png.relative_to(ROOT)} was not taken")
        elif dark < 500:
            found.append(f"{png.relative_to(ROOT)} shows a box without its text "
                         f"({dark} dark pixels; has the 32-bit Wine no font?)")
    return found


def start_display():
    """A virtual display, unless the person has one."""
    if os.environ.get("DISPLAY"):
        return None, os.environ["DISPLAY"]
    display = ":77"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "640x400x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    return xvfb, display


def main():
    started = time.time()
    xvfb, display = start_display()
    manual = xvfb is None
    w = Prefix(OUT / "wine", "win32")  # the x86 program, as users get it
    w.env["DISPLAY"] = display
    heading("Preparing a scratch Windows (Wine, Japanese locale)")
    w.create(headless=False)
    shots = OUT / "shots"
    shutil.rmtree(shots, ignore_errors=True)
    shots.mkdir(parents=True)
    for old in OUT.glob("box-*.png"):
        old.unlink()

    heading("1. The package as its installer leaves it, and one file of the user's")
    app = w.install_package(INSTALL_DIR)
    write(app / "DATA" / "メモ.txt", "パズルの解き方のメモ\r\n".encode("cp932"))
    write(w.unix(STARTER_COPY), w.program.read_bytes())
    base_win = INSTALL_DIR.rstrip("\\")
    show_tree(w, "install folder", base_win)
    show_tree(w, "Start Menu group", w.programs_win + "\\" + PACKAGE)
    print(f"desktop: {w.desktop_win}\\パズル.LNK")
    print("screen savers: C:\\windows\\" + ", ".join(
        p.name for p in sorted((w.drive_c / "windows").glob("碧環*"))))
    print("registry (HKEY_CURRENT_USER):")
    show_keys(w)

    heading("2. The eraser (x86) runs" + (" (close each box yourself)" if manual else ""))
    log = w.drive_c / "tools" / "log.txt"
    log.unlink(missing_ok=True)
    ack = w.drive_c / "tools" / "ack"
    shutil.rmtree(ack, ignore_errors=True)
    ack.mkdir()
    opts = ["--manual"] if manual else [r"--ack=C:\tools\ack"]
    cmd = [WINE_BIN + "/wine64", "explorer", "/desktop=demo,640x400", r"C:\tools\driver.exe",
           r"C:\tools\log.txt", *opts, "--", STARTER_COPY]
    with open(OUT / "explorer-output.txt", "wb") as out:
        run = subprocess.Popen(cmd, env=w.env, stdout=out, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL)
        seen = 0
        deadline = time.time() + (600 if manual else 90)
        while time.time() < deadline:
            result = parse_log(log.read_bytes().decode("utf-8")) if log.exists() else None
            if result and len(result.boxes) > seen:
                caption, text = result.boxes[seen]
                seen += 1
                print(f"\n[box {seen}] {caption}")
                for line in text.split("\n"):
                    print(f"    {line}")
                if not manual:
                    time.sleep(0.7)  # let the box finish drawing
                    png = OUT / f"box-{seen}.png"
                    subprocess.call(["import", "-display", display, "-window", "root", str(png)],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    print(f"    picture: {png.relative_to(ROOT)}")
                    (ack / f"ack-{seen}").write_bytes(b"")
            if result and result.exit is not None:
                break
            time.sleep(0.1)
        run.wait(timeout=30)
    result = parse_log(log.read_bytes().decode("utf-8") if log.exists() else "")
    print(f"\nexit code: {result.exit}")

    heading("3. What is left")
    show_tree(w, "install folder", base_win)
    group = w.programs / PACKAGE
    print(f"Start Menu group: {'still there' if group.exists() else 'gone'}")
    print(f"desktop shortcut: {'still there' if (w.desktop / 'パズル.LNK').exists() else 'gone'}")
    savers = list((w.drive_c / "windows").glob("碧環*"))
    print(f"screen savers: {len(savers)} left")
    print("registry:")
    show_keys(w)
    pending = w.reg_query(SESSION_MANAGER, "PendingFileRenameOperations")
    request = next((l for l in pending.splitlines() if "PendingFileRenameOperations" in l), "")
    print("restart request (Session Manager, PendingFileRenameOperations):")
    print("    " + (request.split("REG_MULTI_SZ")[-1].replace("\\0", " ").strip() or "(none)"))
    copy = w.unix(STARTER_COPY)
    print(f"{STARTER_COPY} before the restart: {'present' if copy.exists() else 'gone'}")
    w.wine("wineboot", "-r")
    print(f"{STARTER_COPY} after the restart:  {'present' if copy.exists() else 'gone'}")
    w.stop()
    if xvfb:
        xvfb.terminate()

    heading("Summary")
    kept = [p for p in tree(w.unix(base_win))]
    print("removed: the package's files, shortcuts, Start Menu group, screen savers, save slots,")
    print("         data files, its registry key and the maker's key; the program itself at restart")
    print("kept:    " + ", ".join(k.replace("/", "\\") for k in kept if k.endswith("メモ.txt"))
          + " (the user's file), so the DATA folder and its parents stay, as the notice said")
    if not manual:
        print(f"pictures: {', '.join(str(p.relative_to(ROOT)) for p in sorted(OUT.glob('box-*.png')))}")
    print(f"demo took {time.time() - started:.0f} s")
    pictures = [] if manual else [OUT / f"box-{n}.png" for n in range(1, len(result.boxes) + 1)]
    found = problems(result, pictures)
    for problem in found:
        print(f"demo FAILED: {problem}", file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
