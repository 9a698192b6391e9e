#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web panel in Debian's headless chromium, driven by selenium, against
qmxv217d on the board simulator: the page loads, a click on relay 05 puts
R0010 on the simulator's wire and the switch shows ON, a click on relay 06,
interlocked with 05, says why it is held off, inputs 1 and 4 light within
0.5 s of "inputs 9", "not responding" shows while the simulator is silent,
the list is told when the board answers again, and an open page asks for
the password once the service starts again with one. Screenshots at phone
and desktop width go to the output folder.

Usage: browser_test.py BOARDSIM SERVICE OUTPUT_FOLDER
Exit status 77 (skipped) when chromium or its driver is missing."""

import os
import queue
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed")

CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver") or (
    "/usr/bin/chromedriver" if os.path.exists("/usr/bin/chromedriver") else None)
if not CHROMIUM or not DRIVER:
    skip("chromium and chromium-driver are not installed")


class Simulator:
    """v217-boardsim with its lines read in a thread of their own."""

    def __init__(self, program, config_home):
        env = dict(os.environ, XDG_CONFIG_HOME=config_home)
        self.process = subprocess.Popen(
            [program, "--inputs", "0", "--exit-on-eof", "--port", "4"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env, text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def command(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def wait_for(self, kind, prefix="", bound=10.0):
        """The first line of this kind (and prefix) from now on, or None."""
        deadline = time.monotonic() + bound
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                return None
            parts = line.split(" ", 2)
            if len(parts) >= 2 and parts[1] == kind and (len(parts) > 2 and parts[2] or "").startswith(prefix):
                return line

    def drain(self):
        while not self.lines.empty():
            self.lines.get_nowait()

    def stop(self):
        try:
            self.command("quit")
            self.process.stdin.close()
            self.process.wait(timeout=3)
        except (BrokenPipeError, subprocess.TimeoutExpired):
            self.process.kill()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def main():
    boardsim, service_program, output = sys.argv[1:4]
    os.makedirs(output, exist_ok=True)
    work = tempfile.mkdtemp()
    config_home = os.path.join(work, "config")
    os.makedirs(config_home)
    project = os.path.join(work, "tank.iom")
    with open(project, "w", newline="") as f:
        f.write("0\r\n0\r\n0\r\n[t]\r\n[r]\r\n")
    sim = Simulator(boardsim, config_home)
    check(sim.wait_for("ready", bound=5), "the simulator did not come up")
    port = free_port()
    env = dict(os.environ, XDG_CONFIG_HOME=config_home, XDG_STATE_HOME=work)
    env.pop("JOURNAL_STREAM", None)
    env.pop("NOTIFY_SOCKET", None)

    def start_service(*extra):
        return subprocess.Popen(
            [service_program, "--port", "4", "--project", project, "--name", "tank",
             "--http", "127.0.0.1:%d" % port, "--interlock=05,06", *extra],
            env=env, stderr=subprocess.DEVNULL)

    def stop_service(process):
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()

    service = start_service()
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--window-size=1280,900"):
        options.add_argument(argument)
    browser = webdriver.Chrome(service=Service(DRIVER), options=options)
    try:
        check(sim.wait_for("rx", "I0", bound=10), "the service did not poll the board")
        base = "http://127.0.0.1:%d" % port
        browser.get(base + "/board/tank")
        wait = WebDriverWait(browser, 10, poll_frequency=0.02)
        wait.until(lambda b: b.find_element(By.ID, "availability").text == "responding")

        sim.drain()
        relay = browser.find_element(By.ID, "relay-05")
        relay.click()
        check(sim.wait_for("rx", "R0010", bound=5), "R0010 did not reach the wire")
        wait.until(lambda b: b.find_element(By.ID, "relay-05").get_attribute("aria-checked") == "true")
        check(relay.text.endswith("ON"), "relay 05 does not show ON: " + relay.text)

        # 06 is interlocked with 05: held off, and the page says why.
        browser.find_element(By.ID, "relay-06").click()
        wait.until(lambda b: b.find_element(By.ID, "notice").text
                   == "relay 06 held off: interlock with 05")
        check(browser.find_element(By.ID, "relay-06").get_attribute("aria-checked") == "false",
              "relay 06 shows ON beside 05")

        sim.command("inputs 9")
        start = time.monotonic()
        WebDriverWait(browser, 0.5, poll_frequency=0.01).until(
            lambda b: "high" in b.find_element(By.ID, "input-1").get_attribute("class")
            and "high" in b.find_element(By.ID, "input-4").get_attribute("class"))
        lit = time.monotonic() - start
        check("high" not in browser.find_element(By.ID, "input-2").get_attribute("class"),
              "input 2 lit too")
        print("inputs 1 and 4 lit %.0f ms after 'inputs 9'" % (lit * 1000))

        browser.save_screenshot(os.path.join(output, "board-desktop.png"))
        browser.set_window_size(390, 844)
        browser.save_screenshot(os.path.join(output, "board-phone.png"))
        browser.set_window_size(1280, 900)

        sim.command("silent on")
        WebDriverWait(browser, 10, poll_frequency=0.05).until(
            lambda b: b.find_element(By.ID, "availability").text == "not responding")
        browser.find_element(By.ID, "relay-06").click()
        WebDriverWait(browser, 5, poll_frequency=0.05).until(
            lambda b: "not responding" in b.find_element(By.ID, "notice").text)
        browser.save_screenshot(os.path.join(output, "board-not-responding.png"))

        # The list is told when the board answers again, with no reload.
        # The rows are drawn anew every second: read them in one go.
        browser.get(base + "/")

        def availability(b):
            return b.execute_script(
                "return [...document.querySelectorAll('#boards tbody tr td:nth-child(2)')]"
                ".map((e) => e.textContent);")
        WebDriverWait(browser, 5, poll_frequency=0.05).until(
            lambda b: availability(b) == ["not responding"])
        sim.command("silent off")
        WebDriverWait(browser, 15, poll_frequency=0.05).until(
            lambda b: availability(b) == ["responding"])
        browser.save_screenshot(os.path.join(output, "list-desktop.png"))

        # The service starts again, now with a password: the open list asks
        # for it, and signing in shows the list again.
        password = os.path.join(work, "http.pass")
        with open(password, "w") as f:
            f.write("s3cret\n")
        os.chmod(password, 0o600)
        stop_service(service)
        service = start_service("--http-password-file", password)
        WebDriverWait(browser, 15, poll_frequency=0.05).until(
            lambda b: b.find_elements(By.ID, "password"))
        browser.save_screenshot(os.path.join(output, "login.png"))
        browser.find_element(By.ID, "password").send_keys("s3cret\n")
        WebDriverWait(browser, 10, poll_frequency=0.05).until(
            lambda b: availability(b) == ["responding"])
        print("screenshots in " + output)
    finally:
        browser.quit()
        stop_service(service)
        sim.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
