"""The link word "ここ" and the shell's folder dialog behind it, up to a run into the chosen folder."""
from installer import (CHOOSER_TEXT, GAME_DIR, IDCANCEL, IDOK, LINK_WORD, PAYLOAD_NAME, SENTENCE_END, SENTENCE_START,
                       SUCCEEDED, TARGET_LABEL, expect_message, expect_no_dialog, install_game, open_window, sample,
                       sample_payload)
from winehost import ansi


def open_chooser(window):
    window.click(LINK_WORD)
    dialog = window.driver.wait_dialog()
    assert dialog["owner"] == window.hwnd
    return dialog


def test_the_dialog_names_the_game_and_starts_at_the_shown_directory(driver, wine):
    install_game(wine, wine.user_programs)
    window = open_window(driver, sample(), wine.drive_c)
    assert window.target_dir() == GAME_DIR

    dialog = open_chooser(window)
    statics = [c for c in dialog["controls"] if c["class"] == "Static" and c["visible"]]
    assert CHOOSER_TEXT in [c["text"] for c in statics], statics
    assert CHOOSER_TEXT.encode("cp932") in [ansi(c) for c in statics]
    assert driver.tree(dialog["hwnd"])["path"][-2:] == ["Games", "Sorvane"]
    driver.dismiss(dialog, IDOK)  # the preselected folder, as it is
    driver.sync(window.hwnd)
    assert window.target_dir() == GAME_DIR  # one trailing backslash, not two

    driver.dismiss(open_chooser(window), IDCANCEL)
    driver.sync(window.hwnd)
    assert window.target_dir() == GAME_DIR

    # The rest of the sentence, and the label above the box, open nothing.
    for point in [SENTENCE_START, SENTENCE_END, TARGET_LABEL]:
        window.click(point)
        expect_no_dialog(driver, window.hwnd)
    window.expect_exit_by_cancel()


def test_start_writes_into_the_chosen_directory(driver, wine):
    game = install_game(wine, wine.user_programs)
    # "表" ends in the byte 0x5C, which is its trail byte, not a path delimiter.
    chosen = wine.make_dirs(game / "データ表")
    window = open_window(driver, sample(), wine.drive_c)

    dialog = open_chooser(window)
    path = driver.tree(dialog["hwnd"])["path"]
    assert driver.tree_select(dialog["hwnd"], *path, "データ表")["selected"] == "データ表"
    driver.dismiss(dialog, IDOK)
    driver.sync(window.hwnd)
    assert window.target_dir() == GAME_DIR + "データ表\\"
    assert window.target_dir_bytes() == (GAME_DIR + "データ表\\").encode("cp932")

    window.press_start()
    expect_message(driver, SUCCEEDED)
    assert (chosen / PAYLOAD_NAME).read_bytes() == sample_payload()
    assert sorted(p.name for p in game.iterdir()) == ["Sorvane.exe", "データ表"]
    assert sorted(p.name for p in chosen.iterdir()) == [PAYLOAD_NAME]

    # The link still works after the run, and starts at the chosen directory.
    dialog = open_chooser(window)
    assert driver.tree(dialog["hwnd"])["path"][-3:] == ["Games", "Sorvane", "データ表"]
    driver.dismiss(dialog, IDCANCEL)
    window.expect_exit_by_cancel()
