"""What the end-to-end tests of the installer share: its executables, the texts that it shows, the
sample game's place, and a handle on its main window."""
from __future__ import annotations

from pathlib import Path

from winehost import Driver, DriverError, WinePrefix, ansi, build_output

APP_TITLE = "velkinPatch"
SAMPLE_CAPTION = "Sorvane 修正プログラム ver 1.1"
START = "修正開始(&S)"
CANCEL = "中止(&C)"
EXIT = "終了(&X)"
SUCCEEDED = "修正処理が正常に終了しました"
FAILED = "修正に失敗しました"
OUTFILES_MISSING = "初期化に失敗しました\n\"OutFiles\"セクションが見つかりません"
BACKGROUND_MISSING = "RESOURCE_BACKGROUND リソースが見つかりません."
CHOOSER_TEXT = "\"Sorvane\"がインストールされているディレクトリを指定してください"

SAMPLE_LINK = "Miraldo\\Sorvane\\Sorvane.lnk"
GAME_DIR = "C:\\Games\\Sorvane\\"
GAME_EXE = GAME_DIR + "Sorvane.exe"
PAYLOAD_NAME = "sov_patch.xp3"

# Client points inside the labels of the sentence under the edit box and above it.
LINK_WORD = (314, 286)        # "ここ" at (304, 280), about 20 x 12
SENTENCE_START = (150, 286)   # "↑このパスが自動検索されましたが、間違っている場合は"
SENTENCE_END = (390, 286)     # "を押して変更してください"
TARGET_LABEL = (50, 246)      # "修正対象ディレクトリ"

IDOK, IDCANCEL = 1, 2


def not_found(link: str) -> str:
    return (f"プログラムメニュー内に{link}が見つかりません\n"
            "対象ソフトがインストールされていない可能性があります")


def sample() -> Path:
    return build_output("velkinPatch.exe")


def stub() -> Path:
    return build_output("velkinPatch-stub.exe")


def package(name: str) -> Path:
    """The installer of one test package (tests/e2e/packages)."""
    return build_output(f"tests/e2e/packages/pkg-{name}.exe")


def sample_payload() -> bytes:
    return build_output(f"sample/{PAYLOAD_NAME}").read_bytes()


def install_game(wine: WinePrefix, programs: Path, target: str = GAME_EXE) -> Path:
    """Puts the game's program at the Windows path target and its shortcut under a Programs
    folder; returns the game's directory (Unix path)."""
    exe = wine.unixpath(target)
    wine.make_dirs(exe.parent)
    exe.write_bytes(b"MZ")
    wine.make_shortcut(shortcut_path(programs), target)
    return exe.parent


def shortcut_path(programs: Path) -> Path:
    """The Unix path of the sample's shortcut under a Programs folder."""
    return programs.joinpath(*SAMPLE_LINK.split("\\"))


def visible_windows(driver: Driver) -> list[dict]:
    """The program's visible top-level windows that are not dialog boxes."""
    return [w for w in driver.windows() if w["visible"] and w["class"] != "#32770"]


def expect_message(driver: Driver, text: str, icon: str | None = None) -> dict:
    """Waits for the program's message box, checks it and presses its OK button."""
    box = driver.wait_dialog()
    assert (box["caption"], box["text"], box["icon"]) == (APP_TITLE, text, icon)
    assert box["has_icon"] == (icon is not None)
    assert [b["id"] for b in box["buttons"]] == [IDOK]
    driver.dismiss(box)
    return box


def expect_no_dialog(driver: Driver, hwnd: int):
    """What was posted to the window has been handled, and no dialog box has opened."""
    driver.sync(hwnd)
    assert driver.dialog_within(300) is None


class MainWindow:
    """The installer's main window: its buttons and edit box, found by what they show."""

    def __init__(self, driver: Driver, window: dict):
        self.driver = driver
        self.window = window
        self.hwnd = window["hwnd"]
        controls = driver.controls(self.hwnd)["controls"]
        buttons = {c["text"]: c["id"] for c in controls if c["class"] == "Button"}
        edits = [c["id"] for c in controls if c["class"] == "Edit"]
        assert START in buttons and CANCEL in buttons and len(edits) == 1, controls
        self.start_id, self.cancel_id, self.edit_id = buttons[START], buttons[CANCEL], edits[0]

    def control(self, control_id: int) -> dict:
        return self.driver.control(self.hwnd, control_id)

    def start_button(self) -> dict:
        return self.control(self.start_id)

    def cancel_button(self) -> dict:
        return self.control(self.cancel_id)

    def target_dir(self) -> str:
        return self.control(self.edit_id)["text"]

    def target_dir_bytes(self) -> bytes:
        return ansi(self.control(self.edit_id))

    def press_start(self):
        self.driver.press(self.hwnd, self.start_id)

    def press_cancel(self):
        self.driver.press(self.hwnd, self.cancel_id)

    def click(self, point: tuple[int, int]):
        self.driver.click(self.hwnd, *point)

    def expect_start_stays_disabled(self):
        assert not self.start_button()["enabled"]
        try:
            self.press_start()
        except DriverError as error:
            assert "disabled" in str(error)
        else:
            raise AssertionError("Start could be pressed a second time")

    def expect_exit_by_cancel(self):
        self.press_cancel()
        assert self.driver.wait_exit() == 0


def open_window(driver: Driver, exe: Path, cwd: Path) -> MainWindow:
    """Starts an installer that shows no message at start-up and returns its window."""
    driver.start(exe, cwd)
    return MainWindow(driver, driver.wait_window())
