"""Runs Windows programs of the build under Wine and Xvfb for the end-to-end tests.

One WineSession per test run owns a temporary directory with the generated locales, a template
prefix and an Xvfb display; each test gets a WinePrefix copied from the template, and drives
the program under test through a Driver (the uidriver.exe protocol: one command line in, one
JSON line out).
"""
from __future__ import annotations

import ctypes
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from pathlib import Path

WINE = Path(os.environ.get("VP_WINE", "/usr/lib/wine/wine64"))
WINESERVER = Path(os.environ.get("VP_WINESERVER", "/usr/lib/wine/wineserver"))
REPO_ROOT = Path(__file__).resolve().parents[2]
BUILD_DIR = Path(os.environ.get("VP_E2E_BUILD", REPO_ROOT / "build" / "win64"))
HELPER_DIR = Path(os.environ.get("VP_E2E_HELPERS", BUILD_DIR / "tests" / "e2e"))

LOCALES = {"ja_JP": "ja_JP.UTF-8", "en_US": "en_US.UTF-8"}
DEFAULT_LOCALE = "ja_JP"

# Keeps Wine from installing Mono and Gecko into a new prefix and from writing .desktop files
# into the home directory for every shortcut saved under the Start menu.
DLL_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"


class WineError(RuntimeError):
    pass


class DriverError(RuntimeError):
    """The driver answered {"error": ...}, or did not answer at all."""


class DriverTimeout(AssertionError):
    """What a test waited for (a window, a dialog box, the exit) did not happen in time."""


def helper(name: str) -> Path:
    """A Windows helper program of tests/e2e (uidriver.exe, mklink.exe, fixture_app.exe)."""
    path = HELPER_DIR / name
    if not path.is_file():
        raise WineError(f"{path} is missing: build the win64 preset first (or set VP_E2E_HELPERS)")
    return path


def build_output(relative: str) -> Path:
    """A file of the win64 build, relative to build/win64 (or VP_E2E_BUILD)."""
    path = BUILD_DIR / relative
    if not path.is_file():
        raise WineError(f"{path} is missing: build the win64 preset first (or set VP_E2E_BUILD)")
    return path


def _die_with_parent():
    """Run in a child before exec: the child gets SIGTERM when this Python process dies."""
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class WineSession:
    """Everything a test run shares: temp dir, locales, template prefix, Xvfb. Use close()."""

    def __init__(self, root: Path | None = None):
        self.root = Path(root) if root else Path(tempfile.mkdtemp(prefix="vp-e2e-"))
        self.locale_dir = self.root / "locale"
        self.home = self.root / "home"
        self.template = self.root / "template"
        self._xvfb: subprocess.Popen | None = None
        self._prefixes: list[Path] = []
        self._copies = 0
        self.display = ""
        self.timings: dict[str, float] = {}
        try:
            self.home.mkdir(parents=True)
            self._timed("locales", self._make_locales)
            self._timed("xvfb", self._start_xvfb)
            self._timed("template", self._make_template)
        except BaseException:
            self.close()
            raise

    def _timed(self, name, step):
        began = time.monotonic()
        step()
        self.timings[name] = time.monotonic() - began

    def _make_locales(self):
        self.locale_dir.mkdir()
        running = []
        for name, full in LOCALES.items():
            target = self.locale_dir / full
            running.append((target, subprocess.Popen(["localedef", "-i", name, "-f", "UTF-8", str(target)],
                                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)))
        for target, process in running:
            _, errors = process.communicate(timeout=120)
            if not (target / "LC_CTYPE").exists():  # exit code 1 only means warnings
                raise WineError(f"localedef for {target.name} failed: {errors.decode(errors='replace')}")

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                preexec_fn=_die_with_parent)
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + 15
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self._xvfb.poll() is not None:
                    raise WineError("Xvfb did not start")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise WineError("Xvfb did not report its display")
                number += chunk
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)
        self.display = ":" + number.decode().strip()

    def env(self, prefix: Path, locale: str = DEFAULT_LOCALE) -> dict[str, str]:
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("LC_", "WINE")) and key not in ("LANG", "LANGUAGE", "DISPLAY")}
        env.update(HOME=str(self.home), LOCPATH=str(self.locale_dir), LANG=LOCALES[locale],
                   LC_ALL=LOCALES[locale], DISPLAY=self.display, WINEPREFIX=str(prefix),
                   WINEDEBUG="-all", WINEDLLOVERRIDES=DLL_OVERRIDES)
        return env

    def _make_template(self):
        self._prefixes.append(self.template)
        env = self.env(self.template)
        _run([WINE, "wineboot", "-i"], env, timeout=180)
        # Without a window manager every hidden or destroyed window costs about 2 s unless Wine
        # leaves its windows unmanaged. A fresh prefix's tooltip colour is white like an edit
        # box; the usual pale yellow lets a test tell them apart.
        _run([WINE, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"], env)
        _run([WINE, "reg", "add", r"HKCU\Control Panel\Colors", "/v", "InfoWindow", "/d", "255 255 225", "/f"], env)
        stop_wineserver(self.template, env)
        if '"Managed"="N"' not in (self.template / "user.reg").read_text(errors="replace"):
            raise WineError("the template prefix did not keep its X11 settings")

    def new_prefix(self, name: str, locale: str = DEFAULT_LOCALE) -> "WinePrefix":
        """A fresh copy of the template: hard links, except the registry files that Wine
        rewrites in place."""
        self._copies += 1
        safe = re.sub(r"[^A-Za-z0-9_.-]+", "_", name)[:80]
        path = self.root / "prefixes" / f"{self._copies:03d}-{safe}"
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cp", "-al", str(self.template), str(path)], check=True)
        for reg in ("user.reg", "system.reg", "userdef.reg"):
            (path / reg).unlink()
            shutil.copy2(self.template / reg, path / reg)
        self._prefixes.append(path)
        return WinePrefix(self, path, locale)

    def screenshot(self, path: Path) -> Path:
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                       check=True, timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def close(self):
        """Stops every wineserver and Xvfb and removes the temp dir (unless VP_E2E_KEEP=1);
        one step that fails does not keep the others from running."""
        for prefix in self._prefixes:
            if prefix.exists():
                try:
                    stop_wineserver(prefix, self.env(prefix))
                except (OSError, subprocess.SubprocessError):
                    pass
        if self._xvfb and self._xvfb.poll() is None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait()
        self._xvfb = None
        if not keep_files():
            shutil.rmtree(self.root, ignore_errors=True)


def keep_files() -> bool:
    return os.environ.get("VP_E2E_KEEP") == "1"


def run_captured(args, env, timeout=60, cwd=None) -> subprocess.CompletedProcess:
    """Runs a program with stdout and stderr going to files, not pipes: a wineserver started
    by the program inherits them and would hold a pipe open, so a reader waiting for its end
    would wait for the server to exit, and the next program would start a new one."""
    args = [str(a) for a in args]
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        try:
            code = process.wait(timeout)
        except BaseException:
            process.kill()
            process.wait()
            raise
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(args, code, out.read(), err.read())


def _run(args, env, timeout=60) -> subprocess.CompletedProcess:
    result = run_captured(args, env, timeout)
    if result.returncode != 0:
        raise WineError(f"{args} failed with {result.returncode}: {result.stderr.decode(errors='replace')}")
    return result


def stop_wineserver(prefix: Path, env: dict[str, str]):
    """Kills the prefix's wineserver and its programs, and waits until it has gone (it saves
    the registry files on the way out)."""
    env = dict(env, WINEPREFIX=str(prefix))
    subprocess.run([str(WINESERVER), "-k"], env=env, timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([str(WINESERVER), "-w"], env=env, timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def _reg_string(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class WinePrefix:
    """One test's own prefix copy; stop() ends its wineserver."""

    def __init__(self, session: WineSession, path: Path, locale: str):
        self.session = session
        self.path = path
        self.locale = locale
        self.env = session.env(path, locale)
        self.drive_c = path / "drive_c"

    # ---- paths ----

    def winpath(self, path: Path | str) -> str:
        """The Windows path of a Unix path: C:\\... inside drive_c, else Z:\\..."""
        path = Path(path).absolute()
        try:
            relative = path.relative_to(self.drive_c)
            return "C:\\" + str(relative).replace("/", "\\") if str(relative) != "." else "C:\\"
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def unixpath(self, windows: str) -> Path:
        """The Unix path of a C:\\ or Z:\\ path."""
        drive, rest = windows[:2].upper(), windows[2:].replace("\\", "/").lstrip("/")
        if drive == "C:":
            return self.drive_c / rest
        if drive == "Z:":
            return Path("/") / rest
        raise ValueError(f"no Unix path for {windows}")

    def make_dirs(self, path: Path) -> Path:
        """Creates a folder with its parents and lists each folder of the chain once: the
        folder dialog's preselection of a folder fails now and then when the shell has never
        listed a freshly created folder (the identifier list stores an access time that its
        own listing changes)."""
        path.mkdir(parents=True, exist_ok=True)
        for folder in [path, *path.parents]:
            os.listdir(folder)
            if folder == self.drive_c:
                break
        return path

    @property
    def user_name(self) -> str:
        users = [p.name for p in (self.drive_c / "users").iterdir() if p.name != "Public" and p.is_dir()]
        if len(users) != 1:
            raise WineError(f"cannot tell the prefix's user from {users}")
        return users[0]

    @property
    def user_programs(self) -> Path:
        """The current user's Programs folder of the Start menu (exists in a fresh prefix)."""
        return (self.drive_c / "users" / self.user_name / "AppData" / "Roaming" / "Microsoft"
                / "Windows" / "Start Menu" / "Programs")

    @property
    def common_programs(self) -> Path:
        """The all-users Programs folder of the Start menu."""
        return self.drive_c / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs"

    # ---- running programs ----

    def run(self, exe: Path | str, *args: str, cwd: Path | None = None, timeout: float = 60,
            check: bool = False) -> subprocess.CompletedProcess:
        """Runs a Windows program to its end; stdout and stderr come back as bytes (the
        program's own code page)."""
        result = run_captured([WINE, exe, *args], self.env, timeout, cwd)
        if check and result.returncode != 0:
            raise WineError(f"{exe} {args} exited with {result.returncode}: "
                            f"{result.stderr.decode(errors='replace')}")
        return result

    def reg_add(self, key: str, name: str | None, data: str | int, kind: str = "REG_SZ"):
        """One value through `reg add` (name None: the key's default value)."""
        args = ["reg", "add", key, "/f", "/t", kind, "/d", str(data)]
        args += ["/ve"] if name is None else ["/v", name]
        self.run(*args, check=True)

    def seed_registry(self, values: dict[str, dict[str | None, str | int | tuple[str, str]]]):
        """Many values at once through a REGEDIT4 file in the prefix's ANSI code page:
        {key: {name: value}} where value is a str (REG_SZ), an int (REG_DWORD) or
        ("expand", text) for REG_EXPAND_SZ; name None is the key's default value."""
        encoding = "cp932" if self.locale == "ja_JP" else "cp1252"
        lines = ["REGEDIT4", ""]
        for key, entries in values.items():
            lines.append(f"[{key}]")
            for name, value in entries.items():
                left = "@" if name is None else _reg_string(name)
                if isinstance(value, bool) or not isinstance(value, (str, int, tuple)):
                    raise TypeError(f"unsupported registry value {value!r}")
                if isinstance(value, int):
                    right = f"dword:{value:08x}"
                elif isinstance(value, tuple):
                    kind, text = value
                    if kind != "expand":
                        raise TypeError(f"unsupported registry value kind {kind!r}")
                    right = "hex(2):" + ",".join(f"{b:02x}" for b in text.encode(encoding) + b"\0")
                else:
                    right = _reg_string(value)
                lines.append(f"{left}={right}")
            lines.append("")
        reg = self.path / "seed.reg"
        reg.write_bytes("\r\n".join(lines).encode(encoding))
        self.run("regedit", "/S", self.winpath(reg), check=True)

    def make_shortcut(self, lnk: Path, target: str, workdir: str = "", arguments: str = ""):
        """Saves a real .lnk at the Unix path lnk pointing at the Windows path target; a target
        "::{CLSID}" makes a shortcut to that shell folder, which has no file-system path."""
        lnk.parent.mkdir(parents=True, exist_ok=True)
        args = [self.winpath(lnk), target]
        if workdir or arguments:
            args.append(workdir)
        if arguments:
            args.append(arguments)
        self.run(helper("mklink.exe"), *args, check=True)

    def driver(self) -> "Driver":
        return Driver(self)

    def stop(self):
        """Ends the prefix's wineserver and removes the prefix (unless VP_E2E_KEEP=1)."""
        stop_wineserver(self.path, self.env)
        if not keep_files():
            shutil.rmtree(self.path, ignore_errors=True)


class Driver:
    """uidriver.exe running in a prefix; one instance drives one program at a time."""

    def __init__(self, prefix: WinePrefix):
        self.prefix = prefix
        self._stderr = open(prefix.path / f"uidriver-{id(self):x}.stderr", "w+b")
        self._process = subprocess.Popen([str(WINE), str(helper("uidriver.exe"))], env=prefix.env,
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=self._stderr)
        self._lines: queue.Queue[bytes] = queue.Queue()
        self._broken = ""
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self._process.stdout:
            self._lines.put(line)
        self._lines.put(b"")

    @staticmethod
    def _token(value) -> str:
        if isinstance(value, int):
            return str(value)
        value = str(value)
        if re.fullmatch(r"[A-Za-z0-9_.:+\-]+", value):
            return value
        return json.dumps(value, ensure_ascii=False)

    def command(self, *words, wait_ms: int = 0) -> dict:
        """Sends one command and returns its answer; an {"error"} answer raises DriverError."""
        line = " ".join(self._token(w) for w in words)
        if self._broken:
            raise DriverError(f"the driver is out of step since {self._broken!r} got no answer")
        if self._process.poll() is not None:
            raise DriverError(f"the driver has exited ({self._process.returncode}): {self.stderr()}")
        self._process.stdin.write(line.encode() + b"\n")
        self._process.stdin.flush()
        answer = self._answer(line, time.monotonic() + wait_ms / 1000 + 20)
        if not answer:
            raise DriverError(f"the driver ended while answering {line!r}: {self.stderr()}")
        result = json.loads(answer)
        if "error" in result:
            raise DriverError(f"{line}: {result['error']}")
        return result

    def _answer(self, line: str, deadline: float) -> bytes:
        # The end of the pipe may come late (a wineserver started by the driver holds it), so
        # the driver's own exit counts as the end too.
        while True:
            try:
                return self._lines.get(timeout=0.2)
            except queue.Empty:
                pass
            if self._process.poll() is not None:
                try:
                    return self._lines.get(timeout=1)  # what it wrote before its exit
                except queue.Empty:
                    return b""
            if time.monotonic() > deadline:
                self._broken = line
                raise DriverError(f"no answer to {line!r}")

    def stderr(self) -> str:
        self._stderr.flush()
        self._stderr.seek(0)
        return self._stderr.read().decode(errors="replace")

    # ---- the program under test ----

    def start(self, exe: Path | str, cwd: Path | str, *args: str) -> int:
        """Starts a program (Unix or Windows paths) with a working directory; returns its pid."""
        def windows_path(path):
            if isinstance(path, str) and re.match(r"[A-Za-z]:\\", path):
                return path
            return self.prefix.winpath(path)
        return self.command("start", windows_path(exe), windows_path(cwd), *args)["pid"]

    def wait_exit(self, ms: int = 5000) -> int:
        code = self.exit_code_within(ms)
        if code is None:
            raise DriverTimeout(f"the program did not exit within {ms} ms")
        return code

    def exit_code_within(self, ms: int) -> int | None:
        answer = self.command("wait-exit", ms, wait_ms=ms)
        return answer["exit_code"] if answer["exited"] else None

    def kill(self):
        self.command("kill")

    # ---- windows ----

    def windows(self) -> list[dict]:
        return self.command("windows")["windows"]

    def wait_window(self, ms: int = 10000, cls: str | None = None) -> dict:
        """The first visible top-level window (not a dialog box unless cls says so)."""
        answer = self.command("wait-window", ms, *([cls] if cls else []), wait_ms=ms)
        if answer.get("timeout"):
            raise DriverTimeout(f"no window within {ms} ms; running={answer['running']}, "
                                f"windows={answer['windows']}")
        return answer["window"]

    def dialog_within(self, ms: int) -> dict | None:
        """The dialog box (message box or folder dialog) that takes input, or None."""
        answer = self.command("wait-dialog", ms, wait_ms=ms)
        return None if answer.get("timeout") else answer

    def wait_dialog(self, ms: int = 10000) -> dict:
        answer = self.command("wait-dialog", ms, wait_ms=ms)
        if answer.get("timeout"):
            raise DriverTimeout(f"no dialog box within {ms} ms; running={answer['running']}, "
                                f"windows={answer['windows']}")
        return answer

    def wait_gone(self, hwnd: int, ms: int = 5000):
        if self.command("wait-gone", hwnd, ms, wait_ms=ms).get("timeout"):
            raise DriverTimeout(f"window {hwnd} still there after {ms} ms")

    def dismiss(self, dialog: dict, button: int = 1):
        """Presses a dialog box's button (OK by default) and waits until the box has gone."""
        self.press(dialog["hwnd"], button)
        self.wait_gone(dialog["hwnd"])

    def controls(self, hwnd: int) -> dict:
        """{"controls": [...], "tab_order": [...], "focus": hwnd, "active": hwnd}."""
        return self.command("controls", hwnd)

    def control(self, hwnd: int, control_id: int) -> dict:
        for control in self.controls(hwnd)["controls"]:
            if control["id"] == control_id:
                return control
        raise DriverError(f"window {hwnd} has no control {control_id}")

    # ---- input ----

    def press(self, hwnd: int, control_id: int):
        self.command("press", hwnd, control_id)

    def click(self, hwnd: int, x: int, y: int) -> dict:
        return self.command("click", hwnd, x, y)

    def close(self, hwnd: int):
        self.command("close", hwnd)

    def syscommand(self, hwnd: int, command: str = "SC_CLOSE"):
        self.command("syscommand", hwnd, command)

    def key(self, hwnd: int, vk: str, alt: bool = False):
        self.command("key", hwnd, vk, *(["alt"] if alt else []))

    def sync(self, hwnd: int):
        self.command("sync", hwnd)

    # ---- what the user sees ----

    def cursor(self, hwnd: int, x: int, y: int) -> str | None:
        """The name of the system cursor (IDC_HAND, IDC_ARROW...) set at a client point."""
        return self.command("cursor", hwnd, x, y)["name"]

    def color(self, hwnd: int, control_id: int, x: int | None = None, y: int | None = None) -> str:
        """The screen colour "rrggbb" at a point of a control (id 0: the window itself)."""
        point = [] if x is None else [x, y]
        return self.command("color", hwnd, control_id, *point)["rgb"]

    def tree(self, hwnd: int) -> dict:
        """The folder dialog's selection: {"selected": text, "path": [texts from the root]}."""
        return self.command("tree", hwnd)

    def tree_select(self, hwnd: int, *texts: str) -> dict:
        return self.command("tree-select", hwnd, *texts)

    # ---- other programs ----

    def hold(self, path: Path | str):
        """Keeps a file (Unix or Windows path) open without sharing, as a running game would,
        until release() or the driver's end."""
        self.command("hold", path if isinstance(path, str) else self.prefix.winpath(path))

    def release(self, path: Path | str):
        self.command("release", path if isinstance(path, str) else self.prefix.winpath(path))

    def close_driver(self):
        """Ends the driver (which ends a program still running)."""
        if self._process.poll() is None:
            try:
                self._process.stdin.write(b"quit\n")
                self._process.stdin.flush()
                self._process.stdin.close()
                self._process.wait(15)
            except (OSError, subprocess.TimeoutExpired):
                self._process.kill()
                self._process.wait()
        self._stderr.close()


def ansi(item: dict, key: str = "text_a") -> bytes:
    """The exact bytes that WM_GETTEXT gave on the ANSI side."""
    return bytes.fromhex(item[key])
