"""The installer's main window as a user meets it: layout, texts, start-up messages, the picture
on screen, the link word's cursor and the ways to end the program."""
import subprocess

import pytest

from installer import (APP_TITLE, BACKGROUND_MISSING, CANCEL, GAME_DIR, LINK_WORD, OUTFILES_MISSING,
                       SAMPLE_CAPTION, SAMPLE_LINK, SENTENCE_END, SENTENCE_START, START, SUCCEEDED, MainWindow,
                       expect_message, expect_no_dialog, install_game, not_found, open_window, package, sample,
                       stub, visible_windows)
from winehost import ansi, build_output

WS_MAXIMIZEBOX, WS_MINIMIZEBOX, WS_THICKFRAME, WS_SYSMENU, WS_CAPTION = 0x10000, 0x20000, 0x40000, 0x80000, 0xC00000
ES_READONLY = 0x800
SCREEN_W, SCREEN_H = 1024, 768


def test_sample_window_layout(driver, wine):
    install_game(wine, wine.user_programs)
    window = open_window(driver, sample(), wine.drive_c)
    top = window.window
    assert top["text"] == SAMPLE_CAPTION
    assert ansi(top) == SAMPLE_CAPTION.encode("cp932")
    assert (top["client"]["w"], top["client"]["h"]) == (600, 300)
    # Fixed size, system menu and minimise box only; centred on the screen.
    assert top["style"] & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX) == WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
    assert top["style"] & (WS_THICKFRAME | WS_MAXIMIZEBOX) == 0
    frame = top["rect"]
    assert abs(frame["x"] - (SCREEN_W - frame["w"]) // 2) <= 1
    assert abs(frame["y"] - (SCREEN_H - frame["h"]) // 2) <= 1

    listing = driver.controls(window.hwnd)
    controls = {c["id"]: c for c in listing["controls"]}
    start, cancel, edit = controls[window.start_id], controls[window.cancel_id], controls[window.edit_id]
    button = lambda y: {"x": 488, "y": y, "w": 107, "h": 25}
    assert (start["class"], start["text"], start["rect"]) == ("Button", START, button(240))
    assert (cancel["class"], cancel["text"], cancel["rect"]) == ("Button", CANCEL, button(272))
    assert ansi(start) == START.encode("cp932") and ansi(cancel) == CANCEL.encode("cp932")
    assert (edit["class"], edit["rect"]) == ("Edit", {"x": 8, "y": 256, "w": 473, "h": 20})
    assert edit["text"] == GAME_DIR
    assert edit["style"] & ES_READONLY
    assert all(c["enabled"] and c["visible"] for c in (start, cancel, edit))
    assert [t["id"] for t in listing["tab_order"]] == [window.start_id, window.cancel_id, window.edit_id]
    assert driver.color(window.hwnd, window.edit_id) == "ffffe1"  # the tooltip colour of the prefix

    window.expect_exit_by_cancel()


def screen_pixels(session):
    """A screenshot of the whole Xvfb screen, as a function (x, y) -> (r, g, b)."""
    ppm = subprocess.run(["import", "-display", session.display, "-window", "root", "-depth", "8", "ppm:-"],
                         check=True, timeout=30, capture_output=True).stdout
    fields = ppm.split(maxsplit=4)
    assert fields[0] == b"P6" and fields[3] == b"255", fields[:4]
    width, height = int(fields[1]), int(fields[2])
    data = fields[4]
    assert len(data) == width * height * 3
    return lambda x, y: tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3])


def picture_pixels():
    """The sample's background picture (24 bits, bottom-up rows of 600 pixels)."""
    bmp = build_output("sample/background.bmp").read_bytes()
    offset, width, height = int.from_bytes(bmp[10:14], "little"), 600, 300

    def pixel(x, y):
        at = offset + (height - 1 - y) * width * 3 + x * 3
        b, g, r = bmp[at:at + 3]
        return (r, g, b)
    return pixel


def test_picture_with_the_labels_over_it(driver, wine, wine_session):
    driver.start(sample(), wine.drive_c)
    expect_message(driver, not_found(SAMPLE_LINK))
    window = MainWindow(driver, driver.wait_window())
    driver.sync(window.hwnd)
    client = window.window["client"]
    screen = screen_pixels(wine_session)
    shown = lambda x, y: screen(client["x"] + x, client["y"] + y)
    picture = picture_pixels()

    # The sky near the top, the sun, the hills and the light panel under the labels.
    for x, y in [(40, 4), (300, 10), (590, 30), (430, 150), (100, 215), (560, 236)]:
        assert shown(x, y) == picture(x, y), (x, y)
    r, g, b = shown(40, 4)
    assert b > r and b > g  # evening blue

    # "修正対象ディレクトリ": dark text drawn straight onto the picture, which shows around it.
    label = [(x, y) for x in range(8, 113) for y in range(240, 252)]
    dark = [p for p in label if max(shown(*p)) < 100]
    untouched = [p for p in label if shown(*p) == picture(*p)]
    assert len(dark) >= 40, len(dark)
    assert len(untouched) >= len(label) // 2, len(untouched)
    # The link word is blue.
    link = [shown(x, y) for x in range(304, 324) for y in range(280, 292)]
    assert sum(1 for r, g, b in link if b > 150 and r < 100 and g < 100) >= 15

    driver.syscommand(window.hwnd, "SC_CLOSE")
    assert driver.wait_exit() == 0


def test_link_cursor_and_access_key(driver, wine):
    window = open_window(driver, package("nolink"), wine.drive_c)
    x, y = LINK_WORD
    for point in [(x, y), (x - 6, y - 3), (x + 6, y + 3)]:
        assert driver.cursor(window.hwnd, *point) == "IDC_HAND", point
    for point in [SENTENCE_START, SENTENCE_END, (x, y + 10), (300, 100)]:
        assert driver.cursor(window.hwnd, *point) == "IDC_ARROW", point

    driver.key(window.hwnd, "C", alt=True)  # Alt+C presses Cancel
    assert driver.wait_exit() == 0


def test_missing_out_file_list(driver, wine):
    driver.start(package("nooutfiles"), wine.drive_c)
    box = driver.wait_dialog()
    assert visible_windows(driver) == []  # shown before the window opens
    assert (box["caption"], box["text"], box["has_icon"]) == (APP_TITLE, OUTFILES_MISSING, False)
    assert ansi(box, "caption_a") == APP_TITLE.encode()
    driver.dismiss(box)
    window = MainWindow(driver, driver.wait_window())
    assert window.window["text"] == SAMPLE_CAPTION
    # The list is empty, so a run writes nothing and succeeds.
    window.press_start()
    expect_message(driver, SUCCEEDED)
    assert list(wine.drive_c.glob("*.xp3")) == []
    driver.close(window.hwnd)
    assert driver.wait_exit() == 0


@pytest.mark.parametrize("exe", [lambda: package("nobackground"), stub], ids=["package", "stub"])
def test_missing_background(driver, wine, exe):
    driver.start(exe(), wine.drive_c)
    box = driver.wait_dialog()
    assert visible_windows(driver) == []
    assert (box["caption"], box["text"], box["icon"]) == (APP_TITLE, BACKGROUND_MISSING, "error")
    driver.dismiss(box)
    # The script is never read: no caption from it, no search for the sample's shortcut, and
    # patch type 0, whose run does nothing and says nothing.
    window = MainWindow(driver, driver.wait_window())
    assert window.window["text"] == "FormMain"
    expect_no_dialog(driver, window.hwnd)
    assert window.target_dir() == ""
    window.press_start()
    expect_no_dialog(driver, window.hwnd)
    assert not window.start_button()["enabled"] and window.cancel_button()["enabled"]
    window.expect_exit_by_cancel()


@pytest.mark.wine_locale("en_US")
def test_texts_under_another_code_page(driver, wine):
    driver.start(sample(), wine.drive_c)
    box = driver.wait_dialog()
    assert (box["caption"], box["text"]) == (APP_TITLE, not_found(SAMPLE_LINK))
    driver.dismiss(box)
    window = MainWindow(driver, driver.wait_window())
    assert window.window["text"] == SAMPLE_CAPTION
    assert (window.start_button()["text"], window.cancel_button()["text"]) == (START, CANCEL)
    driver.close(window.hwnd)
    assert driver.wait_exit() == 0
