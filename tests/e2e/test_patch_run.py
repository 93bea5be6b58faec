"""The patch run behind Start: what lands on disk, what the user is told, and the buttons after."""
import stat

import pytest

from installer import (CANCEL, EXIT, FAILED, PAYLOAD_NAME, SUCCEEDED, expect_message, open_window, package,
                       sample_payload)


def test_run_writes_the_payload_into_the_working_directory(driver, wine):
    work = wine.make_dirs(wine.drive_c / "work")
    target = work / PAYLOAD_NAME
    target.write_bytes(b"an older and much longer archive " * 1000)
    window = open_window(driver, package("nolink"), work)
    assert window.target_dir() == ""

    window.press_start()
    box = driver.wait_dialog()
    # While the message is up the run is not over: both buttons are disabled.
    assert not window.start_button()["enabled"] and not window.cancel_button()["enabled"]
    assert (box["owner"], box["text"], box["has_icon"]) == (window.hwnd, SUCCEEDED, False)
    driver.dismiss(box)
    driver.sync(window.hwnd)

    assert target.read_bytes() == sample_payload()
    assert sorted(p.name for p in work.iterdir()) == [PAYLOAD_NAME]
    cancel = window.cancel_button()
    assert (cancel["text"], cancel["enabled"]) == (EXIT, True)
    window.expect_start_stays_disabled()
    window.expect_exit_by_cancel()


def _files(folder):
    """Each file of a folder with its bytes and permission bits."""
    return {p.name: (p.read_bytes(), stat.S_IMODE(p.stat().st_mode)) for p in folder.iterdir() if p.is_file()}


def _read_only_target(wine, driver, work):
    target = work / PAYLOAD_NAME
    target.write_bytes(b"the game's own archive")
    target.chmod(0o444)  # Wine shows a file without write permission as read-only
    shown = wine.run("cmd", "/c", "attrib", wine.winpath(target), check=True).stdout.decode()
    assert "R" in shown.split(wine.winpath(target))[0], shown
    return "nolink", []


def _locked_target(wine, driver, work):
    # The new bytes are written beside the target, which then cannot be replaced: the
    # temporary file has to go again.
    target = work / PAYLOAD_NAME
    target.write_bytes(b"the game's own archive")
    driver.hold(target)
    return "nolink", []


def _missing_subdirectory(wine, driver, work):
    (work / "x.dat").write_bytes(b"not the item's file")  # the item's name, outside its folder
    return "missingdir", []


def _second_payload_missing(wine, driver, work):
    (work / "second.dat").write_bytes(b"old second")
    return "twoitems", ["first.dat"]


@pytest.mark.parametrize(
    "arrange", [_read_only_target, _locked_target, _missing_subdirectory, _second_payload_missing],
    ids=["read-only-target", "locked-target", "missing-subdirectory", "second-payload-missing"])
def test_a_failed_run_keeps_the_old_files(driver, wine, arrange):
    """arrange lays out the working directory and names the package and the files that the run
    writes before it fails."""
    work = wine.make_dirs(wine.drive_c / "work")
    name, written = arrange(wine, driver, work)
    before = _files(work)
    window = open_window(driver, package(name), work)
    window.press_start()
    expect_message(driver, FAILED)
    driver.sync(window.hwnd)

    after = _files(work)
    assert {n: after[n][0] for n in written} == {n: sample_payload() for n in written}
    assert {n: data for n, data in after.items() if n not in written} == before
    assert not (work / "missing").exists()  # no directory is made for an item
    cancel = window.cancel_button()
    assert (cancel["text"], cancel["enabled"]) == (CANCEL, True)
    window.expect_start_stays_disabled()
    window.expect_exit_by_cancel()
