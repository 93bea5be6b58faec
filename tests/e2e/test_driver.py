"""The UI driver and the harness on a small fixture window, before any product runs on them."""
import pytest

from winehost import DriverError, ansi, helper

IDOK = 1
HELLO, QUIT, PATH = 101, 102, 103
LINK = (30, 158)  # client point of the windowless link "ここ"


def start_fixture(driver, wine, *args):
    work = wine.make_dirs(wine.drive_c / "work" / "ソフト")
    driver.start(helper("fixture_app.exe"), work, *args)
    return driver.wait_window(), work


def test_window_controls_and_message_box(driver, wine):
    window, _ = start_fixture(driver, wine)
    assert window["class"] == "VpFixture"
    assert window["text"] == "フィクスチャ"
    assert ansi(window) == "フィクスチャ".encode("cp932")
    assert (window["client"]["w"], window["client"]["h"]) == (400, 200)

    listing = driver.controls(window["hwnd"])
    controls = {c["id"]: c for c in listing["controls"]}
    assert controls[HELLO]["text"] == "挨拶(&H)"
    assert controls[PATH]["rect"] == {"x": 10, "y": 100, "w": 260, "h": 20}
    # "ソ" ends in the byte 0x5C: the ANSI side keeps it as one character's trail byte.
    assert ansi(controls[PATH]) == "C:\\work\\ソフト\\".encode("cp932")
    assert [t["id"] for t in listing["tab_order"]] == [HELLO, QUIT, PATH]

    driver.press(window["hwnd"], HELLO)
    box = driver.wait_dialog()
    assert (box["caption"], box["text"], box["has_icon"]) == ("フィクスチャ", "こんにちは\n二行目", False)
    assert box["owner"] == window["hwnd"]
    assert [b["id"] for b in box["buttons"]] == [IDOK]
    with pytest.raises(DriverError, match="disabled window"):  # the box is modal
        driver.press(window["hwnd"], HELLO)
    driver.dismiss(box)
    assert driver.dialog_within(200) is None

    driver.close(window["hwnd"])
    assert driver.wait_exit() == 3


def test_access_key_cursor_and_colour(driver, wine):
    window, _ = start_fixture(driver, wine)
    hwnd = window["hwnd"]
    driver.key(hwnd, "H", alt=True)
    driver.dismiss(driver.wait_dialog())

    assert driver.cursor(hwnd, *LINK) == "IDC_HAND"
    assert driver.cursor(hwnd, 200, 40) == "IDC_ARROW"
    assert driver.cursor(hwnd, 100, 110) == "IDC_IBEAM"  # over the edit box
    assert driver.color(hwnd, PATH) == "ffffe1"
    assert driver.color(hwnd, 0, 200, 40) != "ffffe1"

    driver.syscommand(hwnd, "SC_CLOSE")
    assert driver.wait_exit() == 3


def test_folder_dialog_tree(driver, wine):
    window, work = start_fixture(driver, wine)
    wine.make_dirs(work / "下")
    driver.click(window["hwnd"], *LINK)
    dialog = driver.wait_dialog()
    assert driver.tree(dialog["hwnd"])["path"][-2:] == ["work", "ソフト"]

    chosen = driver.tree_select(dialog["hwnd"], "デスクトップ", "マイ コンピューター", "(C:)", "work", "ソフト", "下")
    assert chosen["selected"] == "下"
    driver.dismiss(dialog, IDOK)
    assert driver.control(window["hwnd"], PATH)["text"] == "C:\\work\\ソフト\\下"


def test_error_box_before_the_window_and_driver_errors(driver, wine):
    driver.start(helper("fixture_app.exe"), wine.drive_c, "error")
    box = driver.wait_dialog()
    assert (box["owner"], box["text"], box["icon"]) == (None, "起動に失敗しました", "error")
    with pytest.raises(DriverError, match="no control with id 77"):
        driver.press(box["hwnd"], 77)
    with pytest.raises(DriverError, match="unknown command"):
        driver.command("frobnicate")
    with pytest.raises(DriverError, match="already running"):
        driver.start(helper("fixture_app.exe"), wine.drive_c)
    driver.dismiss(box)
    driver.close(driver.wait_window()["hwnd"])
    assert driver.wait_exit() == 3


@pytest.mark.wine_locale("en_US")
def test_texts_under_another_code_page(driver, wine):
    window, _ = start_fixture(driver, wine)
    # An ANSI program's code page 932 bytes read as code page 1252: the W side shows what a
    # user of that locale sees, the A side gives the same bytes back.
    assert window["text"] != "フィクスチャ"
    assert ansi(window) == "フィクスチャ".encode("cp932")
    driver.kill()


def test_shortcut_and_registry_helpers(wine):
    lnk = wine.user_programs / "ベンダー" / "ゲーム.lnk"
    wine.make_shortcut(lnk, "C:\\Games\\ソフト\\game.exe")
    data = lnk.read_bytes()
    assert data[:4] == b"L\0\0\0" and "C:\\Games\\ソフト\\game.exe".encode("cp932") in data

    wine.seed_registry({r"HKEY_CURRENT_USER\Software\VpTest": {
        "Path": "C:\\ソフト\\", "Count": 7, "Programs": ("expand", "%USERPROFILE%\\ソフト")}})
    shown = wine.run("reg", "query", r"HKCU\Software\VpTest", check=True).stdout.decode("cp932")
    assert "REG_SZ    C:\\ソフト\\" in shown
    assert "REG_DWORD    0x7" in shown
    assert "REG_EXPAND_SZ    %USERPROFILE%\\ソフト" in shown
