#!/usr/bin/python3
"""Drives headless Chromium over its debugging protocol against the remote
server of a running fenwisk_sim --remote: logs in, waits for the scenario's
station, tunes to the other one, checks the page never reloaded, and saves a
screenshot. Usage: remote_browser_check.py DEBUG_PORT SCREENSHOT.png"""
import base64, json, sys, time, urllib.request

import websocket

PORT, SHOT = int(sys.argv[1]), sys.argv[2]
SERVER = "http://127.0.0.2:8080/"


class Page:
    def __init__(self):
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{PORT}/json"))
        page = next(t for t in targets if t["type"] == "page")
        self.ws = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=30, suppress_origin=True)
        self.id = 0

    def call(self, method, **params):
        self.id += 1
        self.ws.send(json.dumps({"id": self.id, "method": method, "params": params}))
        while True:
            reply = json.loads(self.ws.recv())
            if reply.get("id") == self.id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})

    def eval(self, expression):
        r = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return r.get("result", {}).get("value")

    def wait(self, expression, what, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            try:
                if self.eval(expression):
                    print("ok:", what)
                    return
            except Exception:
                pass
            time.sleep(0.25)
        raise SystemExit(f"FAILED: {what}; page shows: {self.eval('document.body && document.body.innerText')!r}")


def text(id):
    return f"(document.getElementById('{id}') || {{}}).textContent"


page = Page()
page.call("Page.enable")
page.call("Emulation.setDeviceMetricsOverride", width=1000, height=720, deviceScaleFactor=1, mobile=False)
page.call("Page.navigate", url=SERVER)
page.wait("document.getElementById('password') !== null", "the log-in page")
page.eval("document.getElementById('password').value = '740915'; document.forms[0].submit()")
page.wait(f"{text('state')} === 'Connected'", "logged in, command socket ready")
page.eval("window.loadedOnce = performance.timeOrigin")
page.wait(f"{text('ps')} === 'RADIO 99' && {text('freq')}.trim() === '87.0'", "PS and frequency of the first station")
page.wait("document.getElementById('player').src === 'http://127.0.0.2:8000/'", "the audio element at the playlist's port")
page.eval("document.getElementById('fin').value = '101.5'; document.getElementById('tune').click()")
page.wait(f"{text('ps')} === 'CLASSIC ' && {text('freq')}.trim() === '101.5'", "tuned: PS and frequency of the second station")
if page.eval("window.loadedOnce") is None:
    raise SystemExit("FAILED: the page reloaded")
png = page.call("Page.captureScreenshot", format="png")["data"]
open(SHOT, "wb").write(base64.b64decode(png))
print("screenshot:", SHOT)
print("1 passed, 0 failed")
