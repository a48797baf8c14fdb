"""Headless Chromium driven over its DevTools protocol on a pipe (file descriptors
3 and 4 of the browser, messages ended by a NUL byte), with the standard library
only: no port is opened and no network is used.

    with Browser(width=1200, height=800) as browser:
        page = browser.open_page("file:///tmp/x.html")
        page.evaluate("1 + 1")                 # 2
        png = page.screenshot()                # PNG bytes
        page.console_errors                    # errors the page reported
"""
import base64
import json
import os
import select
import shutil
import struct
import subprocess
import tempfile
import time
import zlib

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--hide-scrollbars", "--force-device-scale-factor=1", "--remote-debugging-pipe"]


def find_chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


class ProtocolError(RuntimeError):
    pass


class Browser:
    def __init__(self, width=1200, height=800, timeout=60):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="gw-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()

        def wire_pipes():  # in the child: its fd 3 reads our commands, fd 4 carries its answers
            high_in = os.dup(to_browser_read) if to_browser_read < 5 else to_browser_read
            high_out = os.dup(from_browser_write) if from_browser_write < 5 else from_browser_write
            os.dup2(high_in, 3)
            os.dup2(high_out, 4)

        self.process = subprocess.Popen(
            [find_chromium(), *FLAGS, f"--user-data-dir={self.profile}", f"--window-size={width},{height}",
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=wire_pipes, pass_fds=(3, 4))
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self._page = None
        self.events = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        try:
            self.send("Browser.close")
        except (OSError, ProtocolError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        for fd in (self._to_browser, self._from_browser):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._from_browser], [], [], left)[0]:
                raise ProtocolError("no answer from the browser in time")
            chunk = os.read(self._from_browser, 1 << 20)
            if not chunk:
                raise ProtocolError("the browser closed its pipe")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=None, timeout=None):
        """Sends a command and returns its result; events met meanwhile are kept."""
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self._next_id:
                if "error" in answer:
                    raise ProtocolError(f"{method}: {answer['error']}")
                return answer.get("result", {})
            self.events.append(answer)

    def wait_event(self, method, session=None, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            for k, event in enumerate(self.events):
                if event.get("method") == method and (session is None or event.get("sessionId") == session):
                    return self.events.pop(k)
            self.events.append(self._read_message(deadline))

    def open_page(self, url):
        """Loads `url` in the browser's page (attached to on the first call)."""
        if self._page is None:
            targets = self.send("Target.getTargets")["targetInfos"]
            target = next(t["targetId"] for t in targets if t["type"] == "page")
            session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
            self._page = Page(self, session)
            for domain in ("Page", "Runtime", "Log"):
                self._page.send(f"{domain}.enable")
        self._page.send("Page.navigate", {"url": url})
        self.wait_event("Page.loadEventFired", self._page.session)
        return self._page


class Page:
    def __init__(self, browser, session):
        self.browser = browser
        self.session = session

    def send(self, method, params=None, timeout=None):
        return self.browser.send(method, params, self.session, timeout)

    def evaluate(self, expression, timeout=None):
        """The value of a script expression (awaited when it is a promise)."""
        result = self.send("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, timeout)
        if "exceptionDetails" in result:
            raise ProtocolError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def screenshot(self):
        return base64.b64decode(self.send("Page.captureScreenshot", {"format": "png"})["data"])

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def move_mouse(self, x, y):
        self.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})

    @property
    def console_errors(self):
        """Errors and warnings the page reported: uncaught exceptions, console.error
        and console.warn calls, and the browser's own log entries of those levels."""
        errors = []
        for event in self.browser.events:
            if event.get("sessionId") != self.session:
                continue
            params = event.get("params", {})
            if event["method"] == "Runtime.exceptionThrown":
                errors.append(json.dumps(params["exceptionDetails"]))
            elif event["method"] == "Runtime.consoleAPICalled" and params["type"] in ("error", "warning", "assert"):
                errors.append(" ".join(str(a.get("value", a.get("description"))) for a in params["args"]))
            elif event["method"] == "Log.entryAdded" and params["entry"]["level"] in ("error", "warning"):
                errors.append(params["entry"]["text"])
        return errors


def read_png(data):
    """(width, height, rows) of an 8-bit RGB or RGBA PNG; rows of (r, g, b) tuples."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    at, idat, header = 8, b"", None
    while at < len(data):
        (size,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + size]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + size
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"PNG kind not read here: depth {depth}, colour {colour}, interlace {interlace}")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            up_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else up_left)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows
