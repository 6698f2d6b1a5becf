"""Opens the built site in headless Chromium (Debian's chromium, driven through chromium-driver) as a reader would,
served from this machine only, with every other host unreachable: the front page, the API reference, a layer page and
the benchmark page each render with no console error and every image loaded, and a search for add_constraints finds
its API entry. Saves a screenshot of each (and of the search) for a person to look at.

Usage: python scripts/docs_browser.py build/docs/html build/docs/screenshots"""

from __future__ import annotations

import functools
import http.server
import sys
import threading
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PAGES = {"front": "index.html", "api": "api.html", "layer": "modelling-pulp.html", "benchmarks": "benchmarks.html"}
# Images the benchmark page must show: its figures.
FIGURES = 3
SEARCH = "add_constraints"
ENTRY = "api.html#brenlox_copt.Model.add_constraints"
IMAGES_NOT_LOADED = "return Array.from(document.images).filter(i => !(i.complete && i.naturalWidth > 0)).map(i => i.src)"


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args) -> None:
        pass


def browser() -> webdriver.Chrome:
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1280,900", "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1",
                     "--disable-background-networking", "--disable-component-update", "--no-first-run"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(options=options, service=Service(executable_path="/usr/bin/chromedriver"))


def console_errors(driver: webdriver.Chrome) -> list[str]:
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def screenshot(driver: webdriver.Chrome, path: Path) -> None:
    """The whole page, as tall as it is (up to a limit)."""
    height = driver.execute_script("return document.documentElement.scrollHeight")
    driver.set_window_size(1280, min(max(height, 900), 16000))
    driver.save_screenshot(str(path))
    driver.set_window_size(1280, 900)


def main(site: Path, shots: Path) -> int:
    shots.mkdir(parents=True, exist_ok=True)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=str(site)))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}/"
    problems: list[str] = []
    driver = browser()
    try:
        for name, page in PAGES.items():
            driver.get(base + page)
            WebDriverWait(driver, 30).until(lambda d: d.execute_script("return document.readyState") == "complete")
            images = driver.find_elements(By.TAG_NAME, "img")
            broken = driver.execute_script(IMAGES_NOT_LOADED)
            errors = console_errors(driver)
            problems += [f"{page}: image not loaded: {src}" for src in broken]
            problems += [f"{page}: console error: {error}" for error in errors]
            if name == "benchmarks" and len(driver.find_elements(By.CSS_SELECTOR, ".benchmark-figure img")) < FIGURES:
                problems.append(f"{page}: fewer than {FIGURES} figures")
            path = shots / f"{name}.png"
            screenshot(driver, path)
            print(f"docs-browser: {page}: {len(images)} images, all loaded: {not broken}; console errors: "
                  f"{len(errors)}; screenshot {path}")
        driver.get(f"{base}search.html?q={SEARCH}")
        try:
            WebDriverWait(driver, 30).until(
                lambda d: d.find_elements(By.CSS_SELECTOR, "#search-results ul.search li a"))
        except Exception:  # noqa: BLE001 - reported below as no result
            pass
        found = [link.get_attribute("href") for link in
                 driver.find_elements(By.CSS_SELECTOR, "#search-results ul.search li a")]
        errors = console_errors(driver)
        problems += [f"search: console error: {error}" for error in errors]
        if not any(href and href.endswith(ENTRY) for href in found):
            problems.append(f"search for {SEARCH}: no link to {ENTRY} among {found}")
        path = shots / "search.png"
        screenshot(driver, path)
        print(f"docs-browser: search for {SEARCH}: {len(found)} results, the API entry among them: "
              f"{any(href and href.endswith(ENTRY) for href in found)}; screenshot {path}")
    finally:
        driver.quit()
        server.shutdown()
    for problem in problems:
        print(f"docs-browser: {problem}")
    print(f"docs-browser: {len(PAGES)} pages and a search in headless Chromium, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1]), Path(sys.argv[2])))
