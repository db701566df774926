#!/usr/bin/env python3
"""The eraser under Wine: real files, keys, message boxes and restarts.

Runs the x86-64 and the x86 build of the program, each through the driver
in a scratch prefix of its own with the Japanese locale, through the same
scenarios, and checks files, keys, exit codes and every box.
"""
import shutil
import subprocess
import sys
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from winelib import (ROOT, PROGRAMS, PACKAGE, MAKER_KEY, PACKAGE_KEY, CAPTION, COMPLETION, as_1252,
                     SCREEN_SAVERS, GROUP_SHORTCUTS, SESSION_MANAGER, Prefix, cannot_delete_text,
                     not_empty_text, save_file, still_running_text, tree, wine_layout, write)

W = None  # the prefix
TESTS = []
TESTS_1252 = []  # run in a second prefix, whose ANSI code page is 1252


def test(fn):
    TESTS.append(fn)
    return fn


def test_in_1252(fn):
    TESTS_1252.append(fn)
    return fn


def test_each(*values):
    """One scenario per value, named NAME[value]."""
    def register(fn):
        for value in values:
            case = (lambda v: lambda: fn(v))(value)
            case.__name__ = f"{fn.__name__}[{value}]"
            TESTS.append(case)
        return fn
    return register


class Failed(Exception):
    pass


class Skipped(Exception):
    """A scenario that does not apply to this program says so."""


def check(cond, message):
    if not cond:
        raise Failed(message)


def expect_boxes(result, texts):
    got = [text for _, text in result.boxes]
    check(got == texts, f"boxes:\n  got      {got!r}\n  expected {texts!r}")
    for caption, _ in result.boxes:
        check(caption == CAPTION, f"caption {caption!r}")


def completed(result, warnings=()):
    check(result.exit == 0, f"exit code {result.exit}")
    expect_boxes(result, list(warnings) + [COMPLETION])


def fresh_package(install_dir="C:\\Games\\"):
    W.remove_package()
    W.reg_delete(SESSION_MANAGER, "PendingFileRenameOperations")
    return W.install_package(install_dir)


# ---- switches, the wait, and finding the installation

@test
def delete_mode_deletes_exactly_the_named_file():
    folder = W.drive_c / "d test" / "a b" / "x"
    target = folder / "メモソ.txt"      # ソ is 83 5C in code page 932
    for p in (target, folder / "メモ.txt", folder / "other.txt"):
        write(p, b"keep")
    fresh_package()
    r = W.run(r'/d"C:\d test/a b\x\メモソ.txt"', "/s")
    check(r.exit == 0, f"exit {r.exit}")
    expect_boxes(r, [])
    check(not target.exists(), "the named file is still there")
    check(sorted(p.name for p in folder.iterdir()) == ["other.txt", "メモ.txt"], "a sibling went")
    check(W.reg_exists(PACKAGE_KEY), "the package was touched")


@test
def delete_mode_never_cuts_an_overlong_path():
    folder = W.drive_c / "long"
    write(folder / "a.txt", b"keep")
    r = W.run("/D" + "C:\\long\\" + "a.txt" + "x" * 800)
    check(r.exit == 0 and not r.boxes, f"exit {r.exit} boxes {r.boxes}")
    check((folder / "a.txt").exists(), "a file was deleted")


@test
def no_installation_ends_with_minus_one_and_touches_nothing():
    W.remove_package()
    W.install_package()
    W.reg_delete(MAKER_KEY)
    before = tree(W.drive_c)
    r = W.run()
    check(r.exit == -1, f"exit {r.exit} with no key")
    expect_boxes(r, [])
    W.reg_add(PACKAGE_KEY, "InstallDir", "")
    r = W.run("/S")
    check(r.exit == -1, f"exit {r.exit} with an empty value")
    expect_boxes(r, [])
    check(tree(W.drive_c) == before, "files changed")
    check(W.reg_exists(PACKAGE_KEY, "InstallDir"), "the key was touched")


@test
def overlong_install_folder_is_no_installation():
    W.remove_package()
    # Beyond the 767 bytes a path may take as UTF-8 below the package folder.
    W.reg_add(PACKAGE_KEY, "InstallDir", "C:\\" + "a" * 730)
    r = W.run()
    check(r.exit == -1 and not r.boxes, f"exit {r.exit} boxes {r.boxes}")


@test
def handle_is_waited_on_for_at_most_five_seconds():
    # Measured against a run without /H, since a start costs more for a
    # 32-bit program (it runs under emulation here).
    elapsed = {}
    for mode, args in (("none", [r"/DC:\w.txt"]), ("signalled", [r"/DC:\w.txt", "/h{H}"]),
                       ("unsignalled", ["/H{H}", r"/DC:\w.txt"])):
        write(W.drive_c / "w.txt", b"x")
        r = W.run(*args, event=None if mode == "none" else mode)
        check(r.exit == 0 and not r.boxes, f"{mode}: exit {r.exit} boxes {r.boxes}")
        check(not (W.drive_c / "w.txt").exists(), f"{mode}: not deleted")
        elapsed[mode] = r.elapsed
    waited = elapsed["unsignalled"] - min(elapsed["none"], elapsed["signalled"])
    check(elapsed["signalled"] - elapsed["none"] < 1.5, f"a signalled handle delayed it: {elapsed}")
    check(elapsed["unsignalled"] >= 4.9 and waited <= 7.0, f"waited {waited:.1f} s: {elapsed}")


# ---- the erase run

def package_gone(app, base):
    check(not app.exists(), f"package folder left: {tree(app)}")
    check(not (base / "KORVEN").exists(), "maker folder left")
    check(base.is_dir(), "the install folder itself was removed")
    for name in SCREEN_SAVERS:
        check(not (W.drive_c / "windows" / name).exists(), f"{name} left")
    check(not (W.desktop / "パズル.LNK").exists(), "desktop shortcut left")
    check(not (W.programs / PACKAGE).exists(), "Start Menu group left")
    check(W.programs.is_dir(), "the Start Menu programs folder went")


@test
@test_in_1252
def clean_erase_removes_everything_the_package_owns():
    app = fresh_package()
    r = W.run()
    completed(r)
    package_gone(app, W.drive_c / "Games")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")
    check(not W.reg_exists(MAKER_KEY), "maker key left")


@test
def bystanders_survive_with_the_right_notices():
    app = fresh_package()
    maker = app.parent
    write(maker / "Other Game" / "game.exe", b"other product")
    write(app / "DATA" / "my notes.txt", "ユーザーのメモ".encode("cp932"))
    write(app / "DATA" / "BRISK04.SAV", b"BRISK save " + b"y" * 40)  # not the header
    write(W.programs / PACKAGE / "Web Site.LNK", b"user shortcut")
    W.reg_add(MAKER_KEY, "Serial", "1234")
    r = W.run()
    data_win = rf"C:\Games\KORVEN\{PACKAGE}\DATA"
    completed(r, [not_empty_text(rf"{W.programs_win}\{PACKAGE}", "スタートメニュー"),
                  not_empty_text(data_win)])
    check((maker / "Other Game" / "game.exe").read_bytes() == b"other product", "other product")
    check((app / "DATA" / "my notes.txt").read_bytes() == "ユーザーのメモ".encode("cp932"), "notes")
    check((app / "DATA" / "BRISK04.SAV").exists(), "a file without the header was removed")
    check((W.programs / PACKAGE / "Web Site.LNK").read_bytes() == b"user shortcut", "shortcut")
    check(sorted(p.name for p in (app / "DATA").iterdir()) == ["BRISK04.SAV", "my notes.txt"],
          f"DATA holds {tree(app / 'DATA')}")
    check(not (app / "ACC").exists() and not (app / "VELDPZ.EXE").exists(), "package files left")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")
    check(W.reg_exists(MAKER_KEY, "Serial"), "maker key with a value was deleted")


@test
def other_product_keeps_the_maker_folder():
    app = fresh_package()
    write(app.parent / "Other Game" / "game.exe", b"other")
    r = W.run()
    completed(r, [not_empty_text(r"C:\Games\KORVEN")])
    check(not app.exists(), "package folder left")
    check((app.parent / "Other Game" / "game.exe").exists(), "other product removed")


@test
def file_held_open_is_reported_and_the_run_goes_on():
    app = fresh_package()
    held = rf"C:\Games\KORVEN\{PACKAGE}\VELDPZ.EXE"
    r = W.run(hold=[held])
    completed(r, [cannot_delete_text(held), not_empty_text(rf"C:\Games\KORVEN\{PACKAGE}")])
    check((app / "VELDPZ.EXE").exists(), "held file is gone")
    check(not (app / "DATA").exists() and not (app / "ACC").exists(), "the run did not go on")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")


# A save slot is read first, through a handle that keeps no program out;
# only a save file is opened again, for deletion, and its notice names the
# file as the folder lists it. A folder in a slot's place is no save file.
@test_each("held", "folder", "read-only")
def save_slot_that_stays(case):
    app = fresh_package()
    data_win = rf"C:\Games\KORVEN\{PACKAGE}\DATA"
    slot = {"held": "BRISK05.SAV", "folder": "BRISK05.SAV", "read-only": "brisk20.sav"}[case]
    (app / "DATA" / "BRISK20.SAV").unlink()
    if case == "folder":
        write(app / "DATA" / slot / "note.txt", b"the user's")
    else:
        write(app / "DATA" / slot, save_file(64))
    if case == "read-only":
        (app / "DATA" / slot).chmod(0o444)
    try:
        r = W.run(hold_shared=[data_win + "\\" + slot] if case == "held" else [])
    finally:
        (app / "DATA" / slot).chmod(0o755)
    stays = [] if case == "folder" else [cannot_delete_text(data_win + "\\" + slot)]
    completed(r, stays + [not_empty_text(data_win)])
    check(sorted(p.name for p in (app / "DATA").iterdir()) == [slot], f"{tree(app)}")
    check(not (app / "ACC").exists(), "the run did not go on")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")


# A value of one byte names no folder above the package's: the package
# folder is looked for from the Windows folder, and it stays, with the
# maker folder, without a notice.
@test
def install_folder_of_one_byte():
    W.remove_package("C:\\windows\\G\\")
    app = fresh_package("C:\\windows\\G\\")
    W.reg_add(PACKAGE_KEY, "InstallDir", "G")
    r = W.run()
    completed(r)
    check(tree(app.parent.parent) == ["KORVEN", f"KORVEN/{PACKAGE}"], f"{tree(app.parent.parent)}")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")
    W.remove_package("C:\\windows\\G\\")


# /L is a switch of quiet runs alone: elsewhere what follows it is read as
# it always was.
@test
def log_switch_without_quiet_takes_nothing_along():
    app = fresh_package()
    write(W.drive_c / "x.txt", b"x")
    before = tree(app)
    r = W.run(r"/L/DC:\x.txt")
    check(r.exit == 0 and not r.boxes, f"exit {r.exit} boxes {r.boxes}")
    check(not (W.drive_c / "x.txt").exists(), "the /D file is still there")
    check(tree(app) == before and W.reg_exists(PACKAGE_KEY), "the package was touched")


@test
def drive_root_install():
    app = fresh_package("C:\\")
    r = W.run()
    completed(r)
    check(not (W.drive_c / "KORVEN").exists(), f"left: {tree(W.drive_c / 'KORVEN')}")
    check((W.drive_c / "windows").is_dir(), "drive damaged")


@test
def install_value_without_trailing_separator():
    W.remove_package()
    app = fresh_package("C:\\Games")
    r = W.run()
    completed(r)
    package_gone(app, W.drive_c / "Games")


@test_each("DATA", "package")
def link_in_the_package_tree_is_not_followed(which):
    # The folder is moved elsewhere and a link put in its place: on Windows
    # a junction, here a Unix symbolic link, which Wine reports as a folder
    # with the reparse point attribute. Nothing in the target may go.
    app = fresh_package()
    folder = app / "DATA" if which == "DATA" else app
    target = W.drive_c / "elsewhere" / folder.name
    shutil.rmtree(target.parent, ignore_errors=True)
    target.parent.mkdir()
    folder.rename(target)
    folder.symlink_to(target, target_is_directory=True)
    before = tree(target)
    r = W.run()
    link_win = rf"C:\Games\KORVEN\{PACKAGE}" + ("\\DATA" if which == "DATA" else "")
    completed(r, [not_empty_text(link_win)])
    check(tree(target) == before, f"removed in the target: {sorted(set(before) - set(tree(target)))}")
    check(folder.is_symlink(), "the link itself went")
    if which == "DATA":
        check(not (app / "ACC").exists() and not (app / "VELDPZ.EXE").exists(), "package files left")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")
    folder.unlink()
    shutil.rmtree(target.parent)


@test_each("DATA", "maker", "install")
def folder_swapped_for_a_link_while_a_notice_is_up(which):
    # Another program of the user's waits for a notice (a save file marked
    # read-only), renames a folder of the package tree and puts a link to
    # a folder of its own in its place: files there bear the package's
    # names. Through Wine the rename is refused, since the run holds the
    # folder; from outside Wine it goes through, and still nothing of the
    # other folder may go.
    app = fresh_package()
    base = W.drive_c / "Games"
    folder = {"DATA": app / "DATA", "maker": app.parent, "install": base}[which]
    below = {"DATA": "", "maker": PACKAGE + "/DATA", "install": "KORVEN/" + PACKAGE + "/DATA"}[which]
    decoy = W.drive_c / "decoy"
    shutil.rmtree(decoy, ignore_errors=True)
    for name in ("VELDPZ.SAV", "VELDPZ.ENV", "VELDPZ.LOG"):
        write(decoy / below / name, b"another's " + name.encode())
    write(decoy / below / "BRISK05.SAV", save_file(64))
    write(decoy / below / "BRISK03.SAV", save_file(64))
    before = tree(decoy)
    read_only = app / "DATA" / "BRISK00.SAV"
    read_only.chmod(0o444)
    moved = folder.with_name(folder.name + ".moved")
    refused = []

    def swap(n, text):
        if n != 1:
            return
        folder_win = "C:\\" + str(folder.relative_to(W.drive_c)).replace("/", "\\")
        W.wine("cmd", "/c", "move", folder_win, folder_win + ".moved", check=False)
        refused.append(folder.is_dir() and not folder.is_symlink() and not moved.exists())
        if moved.exists():
            moved.rename(folder)
        folder.rename(moved)
        folder.symlink_to(decoy, target_is_directory=True)

    try:
        r = W.run(on_box=swap)
    finally:
        if folder.is_symlink():
            folder.unlink()
        if moved.exists():
            moved.rename(folder)
        read_only.chmod(0o644)
    data_win = rf"C:\Games\KORVEN\{PACKAGE}\DATA"
    check(tree(decoy) == before, f"removed in the other folder: {sorted(set(before) - set(tree(decoy)))}")
    check(refused == [True], "another program renamed a folder the run holds")
    completed(r, [cannot_delete_text(data_win + r"\BRISK00.SAV"), not_empty_text(data_win)])
    check(not W.reg_exists(PACKAGE_KEY), "package key left")
    shutil.rmtree(decoy)


@test
def virtual_store_mirror_goes_by_the_install_folders_rules():
    # What Vista and later keep for old programs that wrote into protected
    # folders, laid out by hand: under Wine it is just folders.
    app = fresh_package()
    store_win = rf"C:\users\{W.user}\AppData\Local\VirtualStore"
    store = W.unix(store_win)
    mirror = store / "Games" / "KORVEN" / PACKAGE
    owned = [mirror / "DATA" / "BRISK01.SAV", mirror / "DATA" / "VELDPZ.ENV",
             mirror / "DATA" / "VELD02.QXP", mirror / "ACC" / "Clock1.exe",
             mirror / "VELDPZ.EXE", store / "windows" / SCREEN_SAVERS[3]]
    for path in owned:
        write(path, save_file(64))
    write(mirror / "DATA" / "メモ.txt", b"the user's")
    try:
        r = W.run()
        completed(r, [not_empty_text(store_win + rf"\Games\KORVEN\{PACKAGE}\DATA")])
        package_gone(app, W.drive_c / "Games")
        check(not [p for p in owned if p.exists()], f"left: {[str(p) for p in owned if p.exists()]}")
        check(tree(store / "Games") == ["KORVEN", f"KORVEN/{PACKAGE}", f"KORVEN/{PACKAGE}/DATA",
                                        f"KORVEN/{PACKAGE}/DATA/メモ.txt"], f"{tree(store)}")
        check((store / "windows").is_dir(), "the mirror of the Windows folder went")
    finally:
        shutil.rmtree(store, ignore_errors=True)


@test_each("yes", "no", "ignored", "elsewhere")
def running_clock_is_asked_about_first(case):
    # A stand-in with a window in the place of the clock: the question comes
    # first; Yes closes it (WM_CLOSE) and its file goes, No leaves it, and
    # one that ignores WM_CLOSE is waited for ten seconds and never ended.
    # The same program elsewhere is none of the package's.
    app = fresh_package()
    clock_win = rf"C:\Games\KORVEN\{PACKAGE}\ACC\Clock1.exe"
    started_win = clock_win if case != "elsewhere" else r"C:\other\Clock1.exe"
    write(W.unix(started_win), (W.drive_c / "tools" / "standin.exe").read_bytes())
    clock = W.start(started_win, *(["/ignore"] if case == "ignored" else []))
    try:
        r = W.run(answers="N" if case == "no" else "Y")
        still_running = clock.poll() is None
    finally:
        W.end(clock)
        shutil.rmtree(W.drive_c / "other", ignore_errors=True)
    if case in ("yes", "elsewhere"):
        completed(r, [still_running_text(clock_win)] if case == "yes" else [])
        package_gone(app, W.drive_c / "Games")
        check(still_running == (case == "elsewhere"), f"running after the erase: {still_running}")
    else:
        completed(r, [still_running_text(clock_win), cannot_delete_text(clock_win),
                      not_empty_text(rf"C:\Games\KORVEN\{PACKAGE}\ACC")])
        check(still_running, "the clock was ended")
        check(sorted(p.name for p in (app / "ACC").iterdir()) == ["Clock1.exe"], f"{tree(app)}")
        if case == "ignored":
            check(r.elapsed >= 9.5, f"waited only {r.elapsed:.1f} s for the clock to end")
    check(r.answers == ([] if case == "elsewhere" else ["no" if case == "no" else "yes"]),
          f"answers {r.answers}")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")


# Names of libraries the system loads, on demand or as imports of its own
# libraries, SHELL32 among them. The program's own imports are left out:
# Windows always takes those from the system folder.
PLANTED = ["shell32", "shlwapi", "shcore", "version", "uxtheme", "comctl32", "dwmapi",
           "cryptbase", "propsys", "profapi", "userenv", "winmm", "msimg32", "imm32", "oleaut32",
           "ole32", "combase", "setupapi", "cfgmgr32", "wtsapi32", "sspicli", "secur32",
           "apphelp", "dbghelp", "bcrypt", "crypt32", "wintrust", "msasn1", "rpcrt4", "sechost",
           "windows.storage", "kernel.appcore", "usp10", "lpk", "msctf", "netapi32", "mpr",
           "shfolder", "linkinfo", "ntshrui", "cscapi", "iertutil", "urlmon", "wininet", "ws2_32",
           "comdlg32", "gdiplus", "riched20", "clbcatq", "powrprof", "oleacc", "textshaping",
           "edputil", "wldp", "dxgi", "d3d11", "explorerframe", "srvcli", "umpdc"]


@test
def libraries_left_beside_the_program_never_run():
    # The way a starter runs it: a copy in the temporary folder. Markers
    # lie there and in the working folder; each writes C:\markers\<name>
    # if it is ever loaded.
    fresh_package()
    temp, work, markers = (W.drive_c / "windows" / "temp", W.drive_c / "work",
                           W.drive_c / "markers")
    shutil.rmtree(markers, ignore_errors=True)
    markers.mkdir()
    write(temp / "VELDUNIN.EXE", W.program.read_bytes())
    for folder in (temp, work):
        for name in PLANTED:
            write(folder / f"{name}.dll", W.marker.read_bytes())
    try:
        r = W.run(program=r"C:\windows\temp\VELDUNIN.EXE", cwd=r"C:\work")
        completed(r)
        check(not list(markers.iterdir()), f"foreign code ran: {tree(markers)}")
        package_gone(W.app_dir(), W.drive_c / "Games")
    finally:
        shutil.rmtree(work, ignore_errors=True)
        for name in PLANTED:
            (temp / f"{name}.dll").unlink(missing_ok=True)
        (temp / "VELDUNIN.EXE").unlink(missing_ok=True)


@test
def limited_token_hands_the_machine_items_to_one_elevated_copy():
    # Wine gives no limited token and refuses nothing: a test build answers
    # "not elevated" and takes every item for refused, and the elevation
    # ("runas") starts the copy at once, without a prompt. Started the way
    # a starter does, from the temporary folder. The copy removes the
    # machine's items, with its notice, and places the restart request;
    # the user's items and the completion message stay with the first.
    app = fresh_package()
    write(app / "ACC" / "mine.txt", b"the user's")
    write(W.programs / PACKAGE / "mine.LNK", b"the user's")
    limited = W.drive_c / "tools" / "eraser_limited.exe"
    copy = W.drive_c / "windows" / "temp" / "VELDUNIN.EXE"
    write(copy, limited.read_bytes())
    r = W.run(program=r"C:\windows\temp\VELDUNIN.EXE")
    completed(r, [not_empty_text(rf"C:\Games\KORVEN\{PACKAGE}\ACC"),
                  not_empty_text(rf"{W.programs_win}\{PACKAGE}", "スタートメニュー")])
    check(r.generations == [1, 0, 0], f"boxes shown by generations {r.generations}")
    copies = [g for g, name in r.processes if name.lower() == "veldunin.exe"]
    check(copies == [1], f"copies started: {r.processes}")
    # The ACC folder that stays ends the folder removal: DATA stays, empty.
    check(tree(app) == ["ACC", "ACC/mine.txt", "DATA"], f"left: {tree(app)}")
    check(not (W.desktop / "パズル.LNK").exists(), "desktop shortcut left")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")
    pending = W.reg_query(SESSION_MANAGER, "PendingFileRenameOperations")
    check(r"C:\windows\temp\VELDUNIN.EXE".lower() in pending.lower(), f"not pending: {pending!r}")
    copy.unlink()
    W.reg_delete(SESSION_MANAGER, "PendingFileRenameOperations")
    shutil.rmtree(W.programs / PACKAGE, ignore_errors=True)


# ---- the quiet run

# On the NT family the log is UTF-8, marked so at the start of a new file.
def quiet_log():
    path = W.drive_c / "tools" / "quiet.log"
    if not path.exists():
        return []
    data = path.read_bytes()
    check(data.startswith(b"\xef\xbb\xbf") and data.count(b"\xef\xbb\xbf") == 1,
          f"no UTF-8 mark at the start of the log: {data[:8]!r}")
    return data[3:].decode("utf-8").split("\r\n")


def quiet_run(program=r"C:\tools\eraser.exe"):
    (W.drive_c / "tools" / "quiet.log").unlink(missing_ok=True)
    r = W.run("/Q", r'/L"C:\tools\quiet.log"', program=program)
    check(r.boxes == [], f"boxes in a quiet run: {r.boxes}")
    return r, quiet_log()


@test
@test_in_1252
def quiet_clean_run_shows_nothing_and_logs():
    app = fresh_package()
    r, log = quiet_run()
    check(r.exit == 0, f"exit code {r.exit}")
    package_gone(app, W.drive_c / "Games")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")
    check(log[0].endswith('\t/Q /L"C:\\tools\\quiet.log"') and log[-2:] == ["RESULT 0", ""],
          f"log: {log}")
    check(f"DELETED\tC:\\Games\\KORVEN\\{PACKAGE}\\ACC\\Clock1.exe" in log, f"log: {log}")
    check("AT RESTART\tC:\\tools\\eraser.exe" in log, f"log: {log}")


@test
def quiet_run_keeps_a_locked_file_and_the_key():
    app = fresh_package()
    held = rf"C:\Games\KORVEN\{PACKAGE}\VELDPZ.EXE"
    (W.drive_c / "tools" / "quiet.log").unlink(missing_ok=True)
    r = W.run("/Q", r'/L"C:\tools\quiet.log"', hold=[held])
    log = quiet_log()
    check(r.exit == 1603 and r.boxes == [], f"exit code {r.exit}, boxes {r.boxes}")
    check((app / "VELDPZ.EXE").exists(), "held file is gone")
    check(W.reg_exists(PACKAGE_KEY), "the key of a run that left something went")
    check(any(line.startswith("KEPT\t" + held + "\t") for line in log), f"log: {log}")
    pending = W.reg_query(SESSION_MANAGER, "PendingFileRenameOperations")
    check("veldpz" not in pending.lower(), f"put off to the restart: {pending!r}")


@test
def quiet_run_without_an_installation_ends_with_1605():
    W.remove_package()
    r, log = quiet_run()
    check(r.exit == 1605, f"exit code {r.exit}")
    check(log[-2].startswith("RESULT 1605\t"), f"log: {log}")


@test
def quiet_run_without_the_rights_touches_nothing():
    app = fresh_package()
    before = tree(app)
    r, log = quiet_run(program=r"C:\tools\eraser_limited.exe")
    check(r.exit == 740, f"exit code {r.exit}")
    check(tree(app) == before and W.reg_exists(PACKAGE_KEY), "touched without the rights")
    check(r.processes == [], f"started {r.processes}")


@test
def quiet_run_closes_a_running_clock_without_asking():
    app = fresh_package()
    clock_win = rf"C:\Games\KORVEN\{PACKAGE}\ACC\Clock1.exe"
    write(W.unix(clock_win), (W.drive_c / "tools" / "standin.exe").read_bytes())
    clock = W.start(clock_win)
    try:
        r, log = quiet_run()
        still_running = clock.poll() is None
    finally:
        W.end(clock)
    check(r.exit == 0 and not still_running, f"exit code {r.exit}, clock running: {still_running}")
    check("CLOSED\t" + clock_win in log, f"log: {log}")
    package_gone(app, W.drive_c / "Games")


# ---- self-removal at restart

def erase_with_copy(name):
    """Runs an erase from a copy of the program, which it then schedules."""
    copy = W.drive_c / "tmp" / name
    write(copy, W.program.read_bytes())
    return copy, W.run(program="C:\\tmp\\" + name)


def as_version(name, version):
    key = rf"HKCU\Software\Wine\AppDefaults\{name}"
    W.reg_delete(key)
    if version != "default":
        W.reg_add(key, "Version", version)


def erased_with_request(name, version, wininit=None):
    """An erase from a copy under one of Wine's version settings."""
    app = fresh_package()
    if wininit:
        write(W.drive_c / "windows" / "WININIT.INI", wininit)
    as_version(name, version)
    copy, r = erase_with_copy(name)
    completed(r)
    package_gone(app, W.drive_c / "Games")
    check(not W.reg_exists(MAKER_KEY), "maker key left")
    return copy


# The NT family asks for the delayed delete, the older one writes the
# request into WININIT.INI.
NT_VERSIONS = ("default", "nt40", "win2k", "winxp", "vista", "win7", "win10", "win11")
OLDER_VERSIONS = ("win95", "win98", "winme")


@test_each(*NT_VERSIONS)
def nt_family_requests_delayed_delete_and_restart_removes_the_program(version):
    copy = erased_with_request("VELDUNIN.EXE", version)
    pending = W.reg_query(SESSION_MANAGER, "PendingFileRenameOperations")
    check(r"C:\tmp\VELDUNIN.EXE".lower() in pending.lower(), f"not pending: {pending!r}")
    check(not (W.drive_c / "windows" / "wininit.ini").exists(), "WININIT.INI written on NT")
    check(copy.exists(), "gone before the restart")
    W.wine("wineboot", "-r")
    check(not copy.exists(), "still there after the restart")


def wininit_lines():
    for name in ("wininit.ini", "WININIT.INI"):
        path = W.drive_c / "windows" / name
        if path.exists():
            return path.read_bytes()
    return None


@test_each(*OLDER_VERSIONS)
def other_family_creates_wininit_and_restart_removes_the_program(version):
    copy = erased_with_request("erase98.exe", version)
    # An 8.3 name is its own short form.
    check(wininit_lines() == b"[Rename]\r\nNUL=C:\\tmp\\erase98.exe\r\n",
          f"WININIT.INI holds {wininit_lines()!r}")
    W.wine("wineboot", "-r")
    check(not copy.exists(), "still there after the restart")


@test_each(*OLDER_VERSIONS)
def other_family_rewrites_an_existing_wininit(version):
    old = b"[boot]\r\nshell=explorer.exe\r\n[rename]\r\nC:\\tmp\\new.txt=C:\\tmp\\old.txt\r\n[x]\r\ny=1\r\n"
    write(W.drive_c / "tmp" / "old.txt", b"moved at restart")
    copy = erased_with_request("eraser long name.exe", version, wininit=old)
    text = wininit_lines()
    lines = text.split(b"\r\n")
    check(lines[:3] == [b"[boot]", b"shell=explorer.exe", b"[rename]"], f"{text!r}")
    check(lines[3].startswith(b"NUL=C:\\tmp\\") and b"~" in lines[3], f"not a short name: {text!r}")
    check(lines[4:] == [b"C:\\tmp\\new.txt=C:\\tmp\\old.txt", b"[x]", b"y=1", b""], f"{text!r}")
    check(not list((W.drive_c / "windows").glob("_QX*")), "a temporary file was left")
    W.wine("wineboot", "-r")
    check(not copy.exists(), "still there after the restart")
    check((W.drive_c / "tmp" / "new.txt").exists(), "the earlier request was lost")


# ---- code pages: every name exact, every box in Japanese

USER_SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"


def utf8_copy(name):
    """A copy of the program whose manifest asks for the ANSI code page
    UTF-8, as Windows 10 1903 and later honour it (and Wine 8): the
    manifest's indentation makes room for the line."""
    data = W.program.read_bytes()
    start, end = data.index(b"<?xml"), data.index(b"</assembly>") + len(b"</assembly>")
    old = data[start:end]
    setting = (b'<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">'
               b"UTF-8</activeCodePage>")
    new = b"\n".join(line.strip() for line in old.split(b"\n"))
    new = new.replace(b"</windowsSettings>", setting + b"</windowsSettings>")
    check(len(new) <= len(old), "no room in the manifest")
    copy = W.drive_c / "tmp" / name
    write(copy, data[:start] + new + b" " * (len(old) - len(new)) + data[end:])
    return "C:\\tmp\\" + name


@test
def utf8_code_page_erases_with_japanese_boxes():
    app = fresh_package()
    completed(W.run(program=utf8_copy("erase65001.exe")))
    package_gone(app, W.drive_c / "Games")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")


@test
def names_outside_code_page_932_reach_their_files():
    # A desktop folder and a program folder with letters code page 932
    # lacks: an A call would hand back "Bureau ete ～" (WAVE DASH has no
    # code there and best-fits to FULLWIDTH TILDE's) and "C:\tmp\e".
    app = fresh_package()
    desktop = rf"C:\users\{W.user}\Bureau été 〜"
    twin = desktop.replace("é", "e").replace("〜", "～")
    write(W.unix(desktop) / "パズル.LNK", b"shortcut")
    write(W.unix(twin) / "パズル.LNK", b"another's")
    W.reg_add(USER_SHELL_FOLDERS, "Desktop", desktop)
    program = W.drive_c / "tmp" / "é" / "eraser.exe"
    write(program, W.program.read_bytes())
    decoy = W.drive_c / "tmp" / "e" / "eraser.exe"
    write(decoy, b"another's")
    try:
        completed(W.run(program=r"C:\tmp\é\eraser.exe"))
    finally:
        W.reg_delete(USER_SHELL_FOLDERS, "Desktop")
    check(not (W.unix(desktop) / "パズル.LNK").exists(), "the desktop's shortcut left")
    check((W.unix(twin) / "パズル.LNK").exists(), "another folder's went")
    check(not app.exists(), "package folder left")
    # The restart request names the program's own file, not its best fit.
    W.wine("wineboot", "-r")
    check(not program.exists(), "the program is still there after the restart")
    check(decoy.exists(), "another file went at the restart")


@test_in_1252
def package_installed_without_an_emulator_on_code_page_1252():
    W.remove_package()
    W.reg_delete(SESSION_MANAGER, "PendingFileRenameOperations")
    app = W.install_package(reading=as_1252)
    completed(W.run())
    check(not app.exists(), f"package folder left: {tree(app)}")
    check(not (W.drive_c / "Games" / "KORVEN").exists(), "maker folder left")
    for name in SCREEN_SAVERS:
        check(not (W.drive_c / "windows" / as_1252(name)).exists(), f"{name} left")
    check(not (W.desktop / as_1252("パズル.LNK")).exists(), "desktop shortcut left")
    check(not (W.programs / as_1252(PACKAGE)).exists(), "Start Menu group left")
    check(not W.reg_exists(PACKAGE_KEY), "package key left")


def run_tests(arch, tests, only):
    passed = failed = skipped = 0
    for fn in tests:
        if only and not any(o in fn.__name__ for o in only):
            continue
        t = time.time()
        try:
            fn()
            passed += 1
            print(f"{arch}: ok    {fn.__name__} ({time.time() - t:.1f} s)", flush=True)
        except Skipped as e:
            skipped += 1
            print(f"{arch}: skip  {fn.__name__}: {e}", flush=True)
        except Failed as e:
            failed += 1
            print(f"{arch}: FAIL  {fn.__name__}: {e}", flush=True)
        except Exception:
            failed += 1
            print(f"{arch}: ERROR {fn.__name__}:\n{traceback.format_exc()}", flush=True)
    return passed, failed, skipped


def run_suite(arch, only):
    global W
    totals = [0, 0, 0]
    for tests, scratch, locale in ((TESTS, f"wine-tests-{arch}", "ja_JP.UTF-8"),
                                   (TESTS_1252, f"wine-tests-{arch}-1252", "C.UTF-8")):
        if only and not any(o in fn.__name__ for fn in tests for o in only):
            continue
        W = Prefix(ROOT / "build" / scratch, arch, locale)
        started = time.time()
        W.create()
        print(f"{arch}: wine prefix ({locale}) ready in {time.time() - started:.1f} s", flush=True)
        for k, n in enumerate(run_tests(arch, tests, only)):
            totals[k] += n
        W.stop()
    passed, failed, skipped = totals
    print(f"{arch}: {passed} passed, {failed} failed, {skipped} skipped", flush=True)
    return 1 if failed else 0


def main():
    """run_tests.py [--arch=win32|win64] [NAME...]: both programs at once,
    each in its own prefix, unless one is named; NAME picks scenarios."""
    arch = next((a.split("=", 1)[1] for a in sys.argv[1:] if a.startswith("--arch=")), None)
    only = [a for a in sys.argv[1:] if not a.startswith("--")]
    if arch:
        return run_suite(arch, only)
    wine_layout()
    suites = [subprocess.Popen([sys.executable, __file__, f"--arch={a}", *only]) for a in PROGRAMS]
    try:
        # Every suite to its end: one left running would share its prefix
        # with the next run's.
        codes = [suite.wait() for suite in suites]
    finally:
        for suite in suites:
            if suite.poll() is None:
                suite.terminate()
                suite.wait()
    return 1 if any(codes) else 0


if __name__ == "__main__":
    sys.exit(main())
