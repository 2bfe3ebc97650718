#!/usr/bin/env python3
"""The report page of the demo run in a real browser (headless Chromium, driven through the
DevTools protocol over --remote-debugging-pipe): it opens with no console error, every image
loads, sorting the table by time puts the slowest tile first, and clicking a tile on the overview
scrolls to its row. Exit 77 (skipped) when Chromium is not installed.

  usage: report_page_test.py BUILD_DIR SOURCE_DIR [--screenshot OUT.png]
"""
import base64
import fcntl
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
TIMEOUT_SECONDS = 60
VIEWPORT = (1200, 800)


class Browser:
    """Headless Chromium, spoken to by JSON messages ending in NUL on its fds 3 and 4."""

    def __init__(self, chromium, profile):
        to_browser, self._to_browser = os.pipe()
        self._from_browser, from_browser = os.pipe()

        def on_fds_3_and_4():
            # Moved out of the way first: either end may already sit on fd 3 or 4.
            read_end = fcntl.fcntl(to_browser, fcntl.F_DUPFD, 10)
            write_end = fcntl.fcntl(from_browser, fcntl.F_DUPFD, 10)
            os.dup2(read_end, 3)
            os.dup2(write_end, 4)

        self.process = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--remote-debugging-pipe", f"--user-data-dir={profile}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=on_fds_3_and_4)
        os.close(to_browser)
        os.close(from_browser)
        self._buffer = b""
        self._next_id = 0
        self.events = []

    def _receive(self):
        while b"\0" not in self._buffer:
            ready, _, _ = select.select([self._from_browser], [], [], TIMEOUT_SECONDS)
            chunk = os.read(self._from_browser, 1 << 16) if ready else b""
            if not chunk:
                raise RuntimeError("the browser stopped answering")
            self._buffer += chunk
        message, _, self._buffer = self._buffer.partition(b"\0")
        message = json.loads(message)
        if "method" in message:
            self.events.append(message)
        return message

    def send(self, method, params=None, session=None):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        while True:
            answer = self._receive()
            if answer.get("id") == self._next_id:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer["result"]

    def wait_for(self, method):
        while not any(event["method"] == method for event in self.events):
            self._receive()

    def close(self):
        try:
            self.send("Browser.close")
            self.process.wait(timeout=TIMEOUT_SECONDS)
        except Exception:  # a browser that will not close is ended
            self.process.kill()
            self.process.wait()


class Page:
    def __init__(self, browser, url):
        self.browser = browser
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = browser.send("Target.attachToTarget",
                                    {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Runtime.enable", "Log.enable", "Page.enable"):
            self.send(domain)
        width, height = VIEWPORT
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.send("Page.navigate", {"url": url})
        browser.wait_for("Page.loadEventFired")

    def send(self, method, params=None):
        return self.browser.send(method, params, self.session)

    def evaluate(self, script):
        result = self.send("Runtime.evaluate",
                           {"expression": script, "awaitPromise": True, "returnByValue": True})
        if "exceptionDetails" in result:
            raise RuntimeError(f"script failed: {result['exceptionDetails']}")
        return result["result"].get("value")

    def click(self, selector):
        """A real mouse click at the middle of the element, scrolled into view first."""
        x, y = self.evaluate(f"""(() => {{
            const element = document.querySelector('{selector}');
            element.scrollIntoView({{block: 'center'}});
            const box = element.getBoundingClientRect();
            return [box.x + box.width / 2, box.y + box.height / 2];
        }})()""")
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent",
                      {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def errors(self):
        found = []
        for event in self.browser.events:
            params = event.get("params", {})
            if event["method"] == "Runtime.exceptionThrown":
                found.append(params["exceptionDetails"].get("text", "exception"))
            elif event["method"] == "Runtime.consoleAPICalled" and params["type"] in ("error", "assert"):
                found.append(str(params.get("args")))
            elif event["method"] == "Log.entryAdded" and params["entry"]["level"] == "error":
                found.append(params["entry"]["text"] + " " + params["entry"].get("url", ""))
        return found


def run_demo(build_dir, source_dir, output_root):
    demo = subprocess.run(["bash", os.path.join(source_dir, "scripts", "demo.sh"), build_dir,
                           output_root], capture_output=True, text=True, check=True)
    page = next(line.split(": ", 1)[1] for line in demo.stdout.splitlines()
                if line.startswith("Report page: "))
    return os.path.abspath(page), os.path.join(os.path.dirname(page), "report.jsonl")


def slowest_tiles(report):
    """The tiles whose steps' latest records took longest together, and that time."""
    latest = {}
    with open(report) as lines:
        for line in lines:
            record = json.loads(line)
            if "input" in record:  # a file's record, not the run's start or end
                tile = os.path.basename(record["input"]).split(".")[0]
                latest[(tile, record["step"])] = record["seconds"]
    totals = {}
    for (tile, _), seconds in latest.items():
        totals[tile] = totals.get(tile, 0) + seconds
    longest = max(totals.values())
    return {tile for tile, seconds in totals.items() if abs(seconds - longest) < 1e-9}, longest


def check(page, report):
    failures = []
    images = page.evaluate("""(async () => {
        const images = Array.from(document.images);
        for (const image of images) image.loading = 'eager';
        await Promise.all(images.map((image) => image.decode().catch(() => null)));
        return images.map((image) => [image.getAttribute('src'), image.naturalWidth]);
    })()""")
    if len(images) != 7:  # the overview, then two pictures of each of the three tiles
        failures.append(f"expected 7 images, found {images}")
    failures += [f"image {src} did not load" for src, width in images if width <= 0]

    page.click("#time")
    name, seconds = page.evaluate("""(() => {
        const row = document.querySelector('#tiles tbody tr');
        return [row.cells[0].textContent, Number(row.cells[document.getElementById('time').cellIndex].dataset.v)];
    })()""")
    slowest, longest = slowest_tiles(report)
    if name not in slowest or abs(seconds - longest) > 1e-6:
        failures.append(f"sorted by time, the first row is {name} ({seconds} s), "
                        f"not the slowest of {slowest} ({longest} s)")

    for row in range(3):
        where = f"""(() => {{
            const box = document.getElementById('row-{row}').getBoundingClientRect();
            return [box.top, box.bottom, innerHeight, location.hash];
        }})()"""
        page.evaluate("window.scrollTo(0, 0)")
        top, _, height, _ = page.evaluate(where)
        if 0 <= top < height:
            failures.append(f"row {row} is in view before its tile is clicked")
        page.evaluate("""window.hashChanged = new Promise(
            (done) => addEventListener('hashchange', done, {once: true})); true""")
        page.click(f"#map-{row}")
        page.evaluate("window.hashChanged")
        top, bottom, height, hash = page.evaluate(where)
        if hash != f"#row-{row}" or not (0 <= top and bottom <= height):
            failures.append(f"clicking tile {row} on the overview left {hash}, its row at "
                            f"{top}..{bottom} of {height}")
    failures += [f"console error: {text}" for text in page.errors()]
    return failures


def main():
    build_dir, source_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    screenshot = sys.argv[4] if len(sys.argv) > 4 and sys.argv[3] == "--screenshot" else None
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        print("SKIPPED: chromium is not installed (./run test installs it)")
        return SKIPPED
    work = tempfile.mkdtemp(prefix="terravox-browser-")
    browser = None
    try:
        page_path, report = run_demo(build_dir, source_dir, os.path.join(work, "demo"))
        browser = Browser(chromium, os.path.join(work, "profile"))
        page = Page(browser, "file://" + page_path)
        if screenshot:
            # The top of the page: the verdict, the totals, the overview and the table.
            shot = page.send("Page.captureScreenshot", {
                "format": "png", "captureBeyondViewport": True,
                "clip": {"x": 0, "y": 0, "width": VIEWPORT[0], "height": 1500, "scale": 1}})
            with open(screenshot, "wb") as out:
                out.write(base64.b64decode(shot["data"]))
            return 0
        failures = check(page, report)
    finally:
        if browser:
            browser.close()
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAILED:", failure)
    print("report page in the browser:", "failed" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
