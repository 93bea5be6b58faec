"""Fixtures of the end-to-end tests: one Wine session per run, a prefix copy and a UI driver per
test, a time limit per test and a screenshot of every failure."""
import os
import signal

import pytest

from winehost import DEFAULT_LOCALE, HELPER_DIR, LOCALES, WineSession

DEFAULT_TEST_SECONDS = float(os.environ.get("VP_E2E_TEST_TIMEOUT", "120"))


class TimeLimitExceeded(Exception):
    pass


def _terminate(signum, frame):
    raise KeyboardInterrupt(f"signal {signum}")


def pytest_configure(config):
    config.addinivalue_line("markers", "wine_locale(name): run the test's prefix under ja_JP (default) or en_US")
    config.addinivalue_line("markers", "e2e_timeout(seconds): time limit of the test, instead of VP_E2E_TEST_TIMEOUT")
    # A `timeout` around the run must still stop Xvfb and the wineservers.
    signal.signal(signal.SIGTERM, _terminate)


@pytest.fixture(scope="session")
def wine_session():
    session = WineSession()
    try:
        yield session
    finally:
        session.close()


@pytest.fixture
def wine(request, wine_session):
    """A fresh prefix for this test, under the locale of its wine_locale marker."""
    marker = request.node.get_closest_marker("wine_locale")
    locale = marker.args[0] if marker else DEFAULT_LOCALE
    if locale not in LOCALES:
        raise ValueError(f"unknown locale {locale}; known: {sorted(LOCALES)}")
    prefix = wine_session.new_prefix(request.node.name, locale)
    try:
        yield prefix
    finally:
        prefix.stop()


@pytest.fixture
def driver(wine):
    ui = wine.driver()
    try:
        yield ui
    finally:
        ui.close_driver()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_call(item):
    marker = item.get_closest_marker("e2e_timeout")
    seconds = float(marker.args[0]) if marker else DEFAULT_TEST_SECONDS

    def expire(signum, frame):
        raise TimeLimitExceeded(f"the test ran longer than {seconds:g} s")

    previous = signal.signal(signal.SIGALRM, expire)
    signal.setitimer(signal.ITIMER_REAL, seconds)
    try:
        yield
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when != "call" or not report.failed or "wine" not in item.fixturenames:
        return
    session = item.funcargs.get("wine_session")
    if session is None or not session.display:
        return
    folder = HELPER_DIR / "artifacts"
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / (item.name.replace("/", "_")[:100] + ".png")
    try:
        session.screenshot(path)
        report.sections.append(("screenshot", str(path)))
    except Exception as error:  # a failed screenshot must not hide the test's own failure
        report.sections.append(("screenshot", f"not taken: {error}"))
