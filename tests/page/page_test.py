#!/usr/bin/python3
"""The fleet page in a real browser: headless Chromium through chromedriver and Selenium, against the
real console and simulated projectors on loopback. With --screenshot PATH it only saves the page."""

import argparse
import json
import os
import re
import secrets
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

# Where the browser must be (CI), its absence fails the test instead of skipping it.
SKIP = 1 if os.environ.get("TAVO_REQUIRE_BROWSER") else 77
CHROMEDRIVER = "/usr/bin/chromedriver"
CHROMIUM = "/usr/bin/chromium"

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("SKIP: python3-selenium is not installed (apt-get install python3-selenium)")
    sys.exit(SKIP)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(check, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            if check():
                return
        except Exception:  # the page or the console may be mid-change
            pass
        time.sleep(0.1)
    raise AssertionError(f"not within {seconds} s: {what}")


class Fleet:
    """Three simulated projectors, two in a group, and the console serving them over HTTP; hall-1's line
    is lent on a free loopback port."""

    def __init__(self, console, sim, directory):
        self.console_path = console
        self.directory = directory
        self.sim_log = open(os.path.join(directory, "sim.log"), "w+")
        self.sim = subprocess.Popen([sim, "--listen", "127.0.0.1:0", "--count", "3", "--verbose"],
                                    stdout=subprocess.PIPE, stderr=self.sim_log, text=True)
        self.endpoints = [self.sim.stdout.readline().strip() for _ in range(3)]
        self.fleet = os.path.join(directory, "fleet")
        with open(self.fleet, "w") as f:
            f.write(f"hall-1 {self.endpoints[0]} group=east lend=127.0.0.1:0\n"
                    f"hall-2 {self.endpoints[1]} group=east\nlab-1 {self.endpoints[2]}\n")
        self.token = secrets.token_hex(16)
        token_file = os.path.join(directory, "token")
        with open(os.open(token_file, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write(self.token + "\n")
        self.port = free_port()
        self.arguments = [console, "--fleet", self.fleet, "--watch", "1", "--http", str(self.port),
                          "--http-token-file", token_file]
        self.process = None
        self.console_log = open(os.path.join(directory, "console.log"), "w+")
        self.start()

    def start(self):
        self.process = subprocess.Popen(self.arguments, stdout=subprocess.DEVNULL, stderr=self.console_log)
        wait_until(lambda: all(p["values"].get("lamp_hours") for p in self.projectors()), 10,
                   "the console has every projector's values")

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(5)

    def url(self, path=""):
        return f"http://127.0.0.1:{self.port}{path}"

    def projectors(self):
        with urllib.request.urlopen(self.url("/api/projectors"), timeout=2) as answer:
            return json.load(answer)["projectors"]

    def press(self, name, key):
        request = urllib.request.Request(self.url(f"/api/projectors/{name}/press/{key}"), data=b"{}", method="POST",
                                         headers={"Content-Type": "application/json",
                                                  "Authorization": f"Bearer {self.token}"})
        urllib.request.urlopen(request, timeout=5).close()

    def lend_port(self):
        """The port hall-1's line is lent on, as the console's stderr names it at its last start."""
        found = []

        def said():
            with open(self.console_log.name) as log:
                found[:] = re.findall(r"lending hall-1's line on 127\.0\.0\.1:(\d+)", log.read())
            return found

        wait_until(said, 5, "the console says where hall-1's line is lent")
        return int(found[-1])

    def received(self, endpoint, trace):
        self.sim_log.flush()
        with open(self.sim_log.name) as log:
            return any(line.startswith(endpoint + " ") and f"RX {trace}" in line for line in log)

    def close(self):
        for process in (self.process, self.sim):
            if process and process.poll() is None:
                process.terminate()
                process.wait(5)


def browser():
    for path in (CHROMIUM, CHROMEDRIVER):
        if not os.access(path, os.X_OK):
            print(f"SKIP: {path} is missing (apt-get install chromium chromium-driver)")
            sys.exit(SKIP)
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.set_window_size(1280, 900)
    return driver


def card(driver, name):
    for element in driver.find_elements(By.CSS_SELECTOR, ".card"):
        if element.find_element(By.CSS_SELECTOR, ".name").text == name:
            return element
    raise AssertionError(f"no card for {name}")


def errors(driver):
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def check(fleet, driver):
    driver.get(fleet.url("/"))
    wait_until(lambda: len(driver.find_elements(By.CSS_SELECTOR, ".card")) == 3, 5, "three projectors shown")
    wait_until(lambda: driver.find_element(By.ID, "live").text == "Live", 5, "the page is live")
    for name in ("hall-1", "hall-2", "lab-1"):
        shown = card(driver, name)
        assert shown.find_element(By.CSS_SELECTOR, ".lamp").text == "1234 h", name
        assert shown.find_element(By.CSS_SELECTOR, ".power").text == "standby", name
    groups = [h.text for h in driver.find_elements(By.CSS_SELECTOR, ".group h2")]
    assert groups == ["east", "No group"], groups
    assert not driver.find_elements(By.CSS_SELECTOR, ".card button"), "presses shown without a token"

    request = urllib.request.Request(fleet.url("/api/projectors/hall-1/press/power_on"), data=b"{}",
                                     headers={"Content-Type": "application/json"}, method="POST")
    try:
        urllib.request.urlopen(request, timeout=2)
        raise AssertionError("a press without the token was taken")
    except urllib.error.HTTPError as refused:
        assert refused.code in (401, 403), refused.code
    time.sleep(1.5)
    assert not fleet.received(fleet.endpoints[0], "C 0 0 CR"), "a refused press reached the line"

    driver.find_element(By.ID, "token").send_keys(fleet.token)
    driver.find_element(By.ID, "token-use").click()
    driver.find_element(By.CSS_SELECTOR, "button[aria-label='Power on: hall-1']").click()
    wait_until(lambda: fleet.received(fleet.endpoints[0], "C 0 0 CR"), 3, "power on reaches hall-1's line")
    wait_until(lambda: card(driver, "hall-1").find_element(By.CSS_SELECTOR, ".power").text in ("on", "warming up"),
               2.5, "hall-1 shows its new power state")
    assert errors(driver) == [], errors(driver)

    with socket.create_connection(("127.0.0.1", fleet.lend_port()), timeout=2):
        wait_until(lambda: "lent to 127.0.0.1" in card(driver, "hall-1").text, 5, "hall-1 shows it is lent")
        presses = card(driver, "hall-1").find_elements(By.CSS_SELECTOR, "button")
        assert presses and not any(b.is_enabled() for b in presses), "hall-1's presses are offered while lent"
    wait_until(lambda: "lent to" not in card(driver, "hall-1").text, 5, "hall-1 shows it is taken back")

    driver.set_window_size(375, 800)
    wide = driver.execute_script("return document.documentElement.scrollWidth - window.innerWidth")
    assert wide <= 0, f"{wide} px of horizontal scroll at 375 px"

    fleet.stop()
    wait_until(lambda: "lost" in driver.find_element(By.ID, "live").get_attribute("class"), 5,
               "the page says the console is gone")
    fleet.start()
    wait_until(lambda: driver.find_element(By.ID, "live").text == "Live", 10, "the page is live again")
    wait_until(lambda: len(driver.find_elements(By.CSS_SELECTOR, ".card")) == 3, 5, "three projectors again")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--console", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--screenshot")
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as directory:
        fleet = Fleet(arguments.console, arguments.sim, directory)
        driver = None
        try:
            driver = browser()
            if arguments.screenshot:
                fleet.press("hall-2", "power_on")
                driver.set_window_size(1000, 640)
                driver.get(fleet.url("/"))
                wait_until(lambda: len(driver.find_elements(By.CSS_SELECTOR, ".card")) == 3, 5, "the page")
                wait_until(lambda: "warming up" in driver.page_source, 5, "hall-2 warming on the page")
                driver.save_screenshot(arguments.screenshot)
            else:
                check(fleet, driver)
        finally:
            if driver:
                driver.quit()
            fleet.close()
    print("PASS")


if __name__ == "__main__":
    main()
