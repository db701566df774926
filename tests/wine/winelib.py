"""A scratch Wine prefix with the Japanese locale, the eraser and its driver.

Shared by the Wine tests and the demo. Everything lives under one scratch
folder: the prefix, and HOME (a new prefix links the user's Desktop to it).
Output of Wine commands goes to files, never pipes: services Wine starts
on demand inherit the handles and outlive the command.
"""
import fcntl
import os
import shutil
import subprocess
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SYSTEM_WINE = Path("/usr/lib/wine")
SYSTEM_WINE_LIB = Path("/usr/lib/x86_64-linux-gnu/wine")
# Debian's 32-bit Wine, unpacked with its libraries by tools/wine32.sh;
# nothing 32-bit is installed on the machine.
WINE32_ROOT = ROOT / "build" / "wine32" / "root"
WINE32_DLLS = WINE32_ROOT / "usr" / "lib" / "i386-linux-gnu" / "wine"
WINE_FONTS = WINE32_ROOT / "usr" / "share" / "wine" / "fonts"
# A private copy of Wine's layout, so that the loader Wine starts for a
# 32-bit program is ours (see wine_layout).
LAYOUT = ROOT / "build" / "wine-layout"
WINE_BIN = str(LAYOUT / "usr" / "lib" / "wine")
PROGRAMS = {"win64": ROOT / "build" / "win64" / "eraser.exe",
            "win32": ROOT / "build" / "win32" / "eraser.exe"}

# The 32-bit loader: a wrapper that runs Debian's under qemu, since these
# machines cannot run 32-bit Linux programs (tools/wine32.sh).
LOADER32 = WINE32_ROOT / "usr" / "lib" / "wine" / "wine"


def wine_layout():
    """Builds the layout once: Wine starts the loader for a 32-bit program
    from the folder of its own ntdll, whatever WINELOADER says, so the
    64-bit side runs from a copy whose `wine` is the 32-bit loader's
    wrapper."""
    wine = Path(WINE_BIN)
    if (wine / "wine").is_symlink() and (wine / "wine").resolve() == LOADER32:
        return
    shutil.rmtree(LAYOUT, ignore_errors=True)
    lib = LAYOUT / "usr" / "lib" / "x86_64-linux-gnu" / "wine"
    lib.mkdir(parents=True)
    wine.mkdir(parents=True)
    (LAYOUT / "usr" / "share").mkdir()
    (LAYOUT / "usr" / "share" / "wine").symlink_to("/usr/share/wine")
    for name in ("x86_64-unix", "x86_64-windows", "i386-windows"):
        (lib / name).symlink_to(SYSTEM_WINE_LIB / name)
    # A copy, not a link: the loader finds ntdll relative to its own file.
    shutil.copy(SYSTEM_WINE / "wine64", wine / "wine64")
    (wine / "wineserver").symlink_to(SYSTEM_WINE / "wineserver64")
    (wine / "wine").symlink_to(LOADER32)

PACKAGE = "碧環デスクトップアクセサリー"
MAKER_KEY = r"HKCU\Software\KORVEN"
PACKAGE_KEY = MAKER_KEY + r"\VELDARIN_DESKTOP"
CAPTION = PACKAGE
COMPLETION = ("アプリケーションを削除しました。\nアンインストール処理を完全に終了するためには\n"
              "システムを再起動してください。")
SCREEN_SAVERS = [f"碧環スクリーンセーバー{d}.{e}" for d in "１２３４" for e in ("scr", "dat")]
APP_FILES = ["VELDUNIN.EXE", "VELDPZ.EXE"]
DATA_FILES = ["VELD00.QXP", "VELD01.QXP", "VELD02.QXP", "VELD03.QXP", "VELD04.QXP",
              "VELDPZ.SAV", "VELDPZ.ENV", "VELDPZ.LOG"]
ACC_FILES = ["Clock1.exe", "Clock2.exe"]
GROUP_SHORTCUTS = ["碧環デスクトップパズル", "ミルカ時計", "トア時計", "アンインストール"]
SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"


def as_1252(name):
    """A Japanese name as a system of code page 1252 reads its code page 932
    bytes: what an installer run there without a locale emulator made.
    The five bytes 1252 leaves undefined read as the control characters of
    their value, as Windows reads them."""
    return "".join(chr(b) if b in (0x81, 0x8D, 0x8F, 0x90, 0x9D) else bytes([b]).decode("cp1252")
                   for b in name.encode("cp932"))


def save_file(size=32):
    return (b"BRISK Save " + b"\x01" * size)[:size]


def not_empty_text(path, word="フォルダ"):
    return f"\n{path}\n\nにファイルが残っています。\nこの{word}の削除は実行しません。"


def cannot_delete_text(path):
    return f"\n{path}\n\nが削除できませんでした。"


def still_running_text(path):
    return (f"\n{path}\n\nが実行中です。\nこのプログラムを終了してから削除を続けますか？\n"
            "（［いいえ］を選ぶと、このファイルは削除されずに残ります。）")


class Prefix:
    """A prefix whose C:\\tools\\eraser.exe is the build for arch."""

    def __init__(self, scratch, arch="win64", locale="ja_JP.UTF-8"):
        wine_layout()
        self.arch = arch
        self.program = PROGRAMS[arch]
        self.marker = PROGRAMS[arch].parent / "marker.dll"
        self.scratch = Path(scratch)
        self.prefix = self.scratch / "prefix"
        self.home = self.scratch / "home"
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.prefix), "HOME": str(self.home), "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=", "LC_ALL": locale,
            "PATH": WINE_BIN + os.pathsep + os.environ.get("PATH", ""),
            "WINEDLLPATH": str(WINE32_DLLS),
        })
        self.env.pop("DISPLAY", None)
        self.drive_c = self.prefix / "drive_c"
        self.out = self.scratch / "wine-output.txt"

    # -- Wine commands

    def wine(self, *args, check=True, env=None):
        with open(self.out, "ab") as out:
            start = out.tell()
            rc = subprocess.call([WINE_BIN + "/wine64", *args], env=env or self.env,
                                 stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        if check and rc != 0:
            with open(self.out, "rb") as out:
                out.seek(start)
                said = out.read().decode("utf-8", "replace").strip()[-2000:]
            raise RuntimeError(f"wine64 {' '.join(args)} failed with {rc}: {said!r}")
        return rc

    def create(self, headless=True):
        # One run at a time in a scratch folder: a second one would kill the
        # first one's server and delete its prefix under it, and the first
        # one's next Wine command would fail for no fault of the program.
        # The lock goes with the process, however it ends.
        self.scratch.parent.mkdir(parents=True, exist_ok=True)
        self.lock = open(self.scratch.parent / f"{self.scratch.name}.lock", "w")
        try:
            fcntl.flock(self.lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            print(f"{self.scratch.name}: waiting for another run in {self.scratch} to end",
                  flush=True)
            fcntl.flock(self.lock, fcntl.LOCK_EX)
        if self.scratch.exists():
            self.stop()
            shutil.rmtree(self.scratch)
        self.home.mkdir(parents=True)
        self.wine("wineboot", "-i")
        if headless:
            self.reg_add(r"HKCU\Software\Wine\Drivers", "Graphics", "null")
        # The desktop process started with the prefix keeps the display
        # driver it found; a new server session picks up the setting.
        self.stop()
        subprocess.call([WINE_BIN + "/wineserver", "-p"], env=self.env)
        tools = self.drive_c / "tools"
        tools.mkdir()
        shutil.copy(self.program, tools / "eraser.exe")
        shutil.copy(self.program.with_name("eraser_limited.exe"), tools / "eraser_limited.exe")
        shutil.copy(ROOT / "build" / "win64" / "driver.exe", tools / "driver.exe")
        shutil.copy(self.program.with_name("standin.exe"), tools / "standin.exe")
        # A 32-bit program needs the 32-bit system files, which a new
        # prefix does not always hold.
        wow = self.drive_c / "windows" / "syswow64"
        for dll in (WINE32_DLLS / "i386-windows").iterdir():
            if not (wow / dll.name).exists():
                shutil.copy(dll, wow / dll.name)
        # Wine's own fonts (Marlett draws a title bar's buttons, the VGA
        # fonts the system font): Wine looks for them in C:\windows\Fonts,
        # which a prefix made by this layout leaves empty.
        fonts = self.drive_c / "windows" / "Fonts"
        for font in WINE_FONTS.iterdir():
            if not (fonts / font.name).exists():
                shutil.copy(font, fonts / font.name)
        user = next(p.name for p in (self.drive_c / "users").iterdir()
                    if p.name not in ("Public", "public"))
        self.user = user
        self.desktop_win = rf"C:\users\{user}\Desktop"
        self.programs_win = rf"C:\users\{user}\AppData\Roaming\Microsoft\Windows\Start Menu\Programs"
        self.desktop = self.unix(self.desktop_win)
        self.programs = self.unix(self.programs_win)

    def stop(self):
        subprocess.call([WINE_BIN + "/wineserver", "-k"], env=self.env,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def unix(self, win_path):
        """The Linux path of a C: path (names map to UTF-8)."""
        assert win_path[:3].upper() == "C:\\", win_path
        return self.drive_c.joinpath(*[p for p in win_path[3:].split("\\") if p])

    # -- registry

    def reg_add(self, key, value, data):
        self.wine("reg", "add", key, "/v", value, "/d", data, "/f")

    def reg_add_key(self, key):
        self.wine("reg", "add", key, "/f")

    def reg_delete(self, key, value=None):
        args = ["reg", "delete", key] + (["/v", value] if value else []) + ["/f"]
        self.wine(*args, check=False)

    def reg_exists(self, key, value=None):
        args = ["reg", "query", key] + (["/v", value] if value else [])
        return self.wine(*args, check=False) == 0

    def reg_query(self, key, value):
        out = self.scratch / "reg-query.txt"
        with open(out, "wb") as f:
            subprocess.call([WINE_BIN + "/wine64", "reg", "query", key, "/v", value], env=self.env,
                            stdout=f, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        return out.read_bytes().decode("utf-8", "replace")

    # -- the package

    def install_package(self, install_dir="C:\\Games\\", reading=lambda name: name):
        """Lays the package down as its installer leaves it; reading: how
        the installer's system read its Japanese names."""
        self.reg_add(PACKAGE_KEY, "InstallDir", install_dir)
        app = self.app_dir(install_dir, reading)
        for name in APP_FILES:
            write(app / name, b"MZ installed")
        for name in DATA_FILES:
            write(app / "DATA" / name, b"data " + name.encode())
        for name in ACC_FILES:
            write(app / "ACC" / name, b"MZ clock")
        for name in SCREEN_SAVERS:
            write(self.drive_c / "windows" / reading(name), b"saver")
        write(app / "DATA" / "BRISK00.SAV", save_file(32))
        write(app / "DATA" / "BRISK03.SAV", save_file(512))
        write(app / "DATA" / "BRISK20.SAV", save_file(40))
        write(self.desktop / reading("パズル.LNK"), b"shortcut")
        for name in GROUP_SHORTCUTS:
            write(self.programs / reading(PACKAGE) / reading(f"{name}.LNK"), b"shortcut")
        return app

    def app_dir(self, install_dir="C:\\Games\\", reading=lambda name: name):
        return self.unix(install_dir.rstrip("\\") + "\\KORVEN\\" + reading(PACKAGE)) \
            if install_dir.rstrip("\\") != "C:" else self.drive_c / "KORVEN" / reading(PACKAGE)

    def remove_package(self, install_dir="C:\\Games\\"):
        self.reg_delete(MAKER_KEY)
        base = self.unix(install_dir) if install_dir.rstrip("\\") != "C:" else None
        shutil.rmtree(base if base else self.drive_c / "KORVEN", ignore_errors=True)
        shutil.rmtree(self.drive_c / "KORVEN", ignore_errors=True)
        for name in SCREEN_SAVERS + ["wininit.ini", "WININIT.INI", "wininit.bak"]:
            (self.drive_c / "windows" / name).unlink(missing_ok=True)
        (self.desktop / "パズル.LNK").unlink(missing_ok=True)
        shutil.rmtree(self.programs / PACKAGE, ignore_errors=True)

    # -- running the program

    def start(self, program, *args):
        """Starts a stand-in program (C:\\tools\\standin.exe copied where
        it is wanted) and returns once its window exists."""
        ready = self.drive_c / "tools" / "ready.txt"
        ready.unlink(missing_ok=True)
        with open(self.scratch / "started-output.txt", "ab") as out:
            started = subprocess.Popen([WINE_BIN + "/wine64", program, r"/ready=C:\tools\ready.txt",
                                        *args], env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                       stdin=subprocess.DEVNULL)
        deadline = time.time() + 60
        while not ready.exists():
            if started.poll() is not None or time.time() > deadline:
                started.kill()
                raise RuntimeError(f"{program} did not come up (exit {started.poll()})")
            time.sleep(0.1)
        return started

    def end(self, started):
        """Ends a started program that still runs. Its Linux process is the
        Windows one (for a 32-bit program, the emulator the loader became),
        and the server sees it go."""
        if started.poll() is None:
            started.kill()
            started.wait()

    def run(self, *args, event=None, hold=(), hold_shared=(), program=r"C:\tools\eraser.exe",
            cwd=None, answers=None, on_box=None):
        """Runs the program through the driver; returns boxes, exit code and time.
        on_box(n, text), when given, is called while box n (from 1) is up,
        before the driver closes it."""
        log = self.drive_c / "tools" / "log.txt"
        log.unlink(missing_ok=True)
        opts = [f"--event={event}"] if event else []
        opts += [f"--answers={answers}"] if answers else []
        opts += [f"--hold={h}" for h in hold]
        opts += [f"--hold-shared={h}" for h in hold_shared]
        opts += [f"--cwd={cwd}"] if cwd else []
        ack = self.drive_c / "tools" / "ack"
        shutil.rmtree(ack, ignore_errors=True)
        if on_box:
            ack.mkdir()
            opts.append(r"--ack=C:\tools\ack")
        cmd = [WINE_BIN + "/wine64", r"C:\tools\driver.exe", r"C:\tools\log.txt", *opts, "--",
               program, *args]
        with open(self.out, "ab") as out:
            driver = subprocess.Popen(cmd, env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                      stdin=subprocess.DEVNULL)
            seen = 0
            while on_box and driver.poll() is None:
                boxes = parse_log(log.read_bytes().decode("utf-8", "replace")).boxes \
                    if log.exists() else []
                for caption, text in boxes[seen:]:
                    seen += 1
                    on_box(seen, text)
                    (ack / f"ack-{seen}").write_bytes(b"")
                time.sleep(0.05)
            rc = driver.wait()
        said = log.read_bytes().decode("utf-8", "replace") if log.exists() else "(no log)"
        if rc != 0:
            raise RuntimeError(f"the driver failed with {rc}: {said!r}")
        return parse_log(said)


class Result:
    def __init__(self):
        self.boxes = []  # (caption, text)
        self.generations = []  # of the process that showed each box: 0 the program
        self.processes = []  # (generation, file name) of each process it started, and on
        self.answers = []  # "yes" or "no", for each question
        self.exit = None
        self.elapsed = None
        self.errors = []


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append("\n" if text[i + 1] == "n" else text[i + 1])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def parse_log(text):
    result = Result()
    for line in text.splitlines():
        kind, _, rest = line.partition(" ")
        if kind == "BOX":
            generation, _, rest = rest.partition(" ")
            caption, _, body = rest.partition("\t")
            result.boxes.append((caption, unescape(body)))
            result.generations.append(int(generation))
        elif kind == "PROCESS":
            generation, _, name = rest.partition(" ")
            result.processes.append((int(generation), name))
        elif kind == "ANSWER":
            result.answers.append(rest)
        elif kind == "EXIT":
            result.exit = int(rest)
        elif kind == "ELAPSED":
            result.elapsed = int(rest) / 1000.0
        else:
            result.errors.append(line)
    return result


def write(path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def tree(path):
    """Every file and folder below path, relative, sorted."""
    if not path.exists():
        return []
    return sorted(str(p.relative_to(path)) for p in path.rglob("*"))
