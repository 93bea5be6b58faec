"""Finding the game's directory at start-up from its Start-menu shortcut, made through the real
shell link object in a fresh prefix."""
import pytest

from installer import (CANCEL, FAILED, GAME_DIR, PAYLOAD_NAME, SAMPLE_CAPTION, SAMPLE_LINK, SUCCEEDED, MainWindow,
                       expect_message, install_game, not_found, open_window, package, sample, sample_payload,
                       shortcut_path, visible_windows)

MY_COMPUTER = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"


def test_shortcut_in_the_user_programs_folder(driver, wine):
    game = install_game(wine, wine.user_programs)
    work = wine.make_dirs(wine.drive_c / "work")
    window = open_window(driver, sample(), work)
    assert window.target_dir() == GAME_DIR

    window.press_start()
    expect_message(driver, SUCCEEDED)
    assert (game / PAYLOAD_NAME).read_bytes() == sample_payload()
    assert list(work.iterdir()) == []
    window.expect_exit_by_cancel()


@pytest.mark.parametrize("in_user_folder", [False, True], ids=["all-users-only", "both-folders"])
def test_shortcut_in_the_all_users_programs_folder(driver, wine, in_user_folder):
    install_game(wine, wine.common_programs, "C:\\Program Files\\Miraldo\\Sorvane\\Sorvane.exe")
    if in_user_folder:
        install_game(wine, wine.user_programs)
    window = open_window(driver, sample(), wine.drive_c)
    # The current user's shortcut comes first.
    assert window.target_dir() == (GAME_DIR if in_user_folder else "C:\\Program Files\\Miraldo\\Sorvane\\")
    driver.close(window.hwnd)
    assert driver.wait_exit() == 0


def test_no_shortcut(driver, wine):
    work = wine.make_dirs(wine.drive_c / "work")
    driver.start(sample(), work)
    driver.wait_dialog()
    assert visible_windows(driver) == []  # the message comes before the window
    expect_message(driver, not_found(SAMPLE_LINK))
    window = MainWindow(driver, driver.wait_window())
    assert window.window["text"] == SAMPLE_CAPTION
    assert window.target_dir() == ""

    # Without the out-file list the run fails at once and writes nothing.
    window.press_start()
    expect_message(driver, FAILED)
    driver.sync(window.hwnd)
    assert list(work.iterdir()) == []
    assert not (wine.drive_c / "Games").exists()
    assert window.cancel_button()["text"] == CANCEL
    window.expect_exit_by_cancel()


def _not_a_shortcut(wine):
    path = shortcut_path(wine.user_programs)
    path.parent.mkdir(parents=True)
    path.write_bytes(b"[InternetShortcut]\r\nURL=C:\\Games\\Sorvane\\Sorvane.exe\r\n")
    return sample(), SAMPLE_LINK


def _target_without_a_path(wine):
    wine.make_shortcut(shortcut_path(wine.user_programs), MY_COMPUTER)
    return sample(), SAMPLE_LINK


def _empty_link_path(wine):
    install_game(wine, wine.user_programs)
    return package("emptylink"), ""


@pytest.mark.parametrize("arrange", [_not_a_shortcut, _target_without_a_path, _empty_link_path],
                         ids=["not-a-shortcut", "no-file-system-target", "empty-link-path"])
def test_shortcut_that_gives_no_directory(driver, wine, arrange):
    """arrange lays out the Programs folder and names the installer and its *LinkPath value."""
    exe, link = arrange(wine)
    driver.start(exe, wine.drive_c)
    expect_message(driver, not_found(link))
    window = MainWindow(driver, driver.wait_window())
    assert window.target_dir() == ""
    driver.close(window.hwnd)
    assert driver.wait_exit() == 0
