#!/usr/bin/python3
"""Drives headless Chromium over its debugging protocol against the remote
server of a running fenwisk_sim --remote-address ADDR: tries a wrong password,
logs in (neither password kept in the address or the history), waits for the
scenario's first station and every pushed value under its own label, scans
from 87.0 and steps afterwards, tunes to the other station, switches to RBDS
and back (the PI caption follows the pushed PI), checks the page never
reloaded, and saves a screenshot.
Usage: remote_browser_check.py DEBUG_PORT ADDR SCREENSHOT.png
       remote_browser_check.py --free-address   (prints a loopback address
       whose HTTP, command and audio ports are free)"""
import base64, json, random, socket, sys, time, urllib.request


def free_address():
    for _ in range(50):
        addr = f"127.{random.randint(1, 254)}.{random.randint(0, 255)}.{random.randint(2, 254)}"
        socks = []
        try:
            for port in (8080, 8001, 8000):
                s = socket.socket()
                socks.append(s)
                s.bind((addr, port))
            return addr
        except OSError:
            pass
        finally:
            for s in socks:
                s.close()
    raise SystemExit("no loopback address with free ports")


if sys.argv[1:] == ["--free-address"]:
    print(free_address())
    sys.exit(0)

import websocket  # only the check itself needs it

PORT, ADDR, SHOT = int(sys.argv[1]), sys.argv[2], sys.argv[3]
SERVER = f"http://{ADDR}:8080/"


class Page:
    def __init__(self):
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{PORT}/json", timeout=10))
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

    def wait(self, expression, what, timeout=20, lamps=False):
        end = time.time() + timeout
        while time.time() < end:
            try:
                if self.eval(expression):
                    print("ok:", what)
                    return
            except Exception:
                pass
            time.sleep(0.2)
        if lamps: print(self.eval("['lStereo', 'lRds', 'lUsb'].map(l => document.getElementById(l).className).join()"))
        raise SystemExit(f"FAILED: {what}; page shows: {self.eval('document.body && document.body.innerText')!r}")


def text(id):
    return f"(document.getElementById('{id}') || {{}}).textContent"


# Every pushed value's element and the label of its row, as the main window
# names them; the value must be there too.
LABELS = {"pty": "PTY", "tp": "TP", "ta": "TA", "ms": "MS", "di": "DI", "rta": "RT A", "rtb": "RT B",
          "ct": "CT", "afn": "AF count", "af": "AF", "ber": "BER", "dev": "Deviation", "devTime": "Measured",
          "devDist": "Reached"}
LABELLED = " && ".join(f"(e => e && e.closest('tr').cells[0].textContent === '{label}' && e.textContent.trim() !== '')"
                       f"(document.getElementById('{id}'))" for id, label in LABELS.items())

page = Page()
page.call("Page.enable")
page.call("Emulation.setDeviceMetricsOverride", width=1000, height=900, deviceScaleFactor=1, mobile=False)
page.call("Page.navigate", url=SERVER)
page.wait("document.getElementById('password') !== null", "the log-in page")


def no_password_kept(what):
    """The password tried is gone from the address the browser shows and from
    every entry of its history."""
    page.wait("location.search === '' && !location.href.includes('password')", f"{what}: the address without it")
    kept = [e["url"] for e in page.call("Page.getNavigationHistory")["entries"] if "password" in e["url"]]
    if kept:
        raise SystemExit(f"FAILED: {what}: the history keeps {kept}")
    print(f"address after {what}:", page.eval("location.href"))


# A mistyped password is close to the real one: it is not kept either.
page.eval("document.getElementById('password').value = '740916'; document.forms[0].submit()")
page.wait("/Wrong password/.test(document.body.innerText)", "the wrong-password page")
no_password_kept("a wrong password")
page.eval("document.getElementById('password').value = '740915'; document.forms[0].submit()")
page.wait(f"{text('state')} === 'Connected'", "logged in, command socket ready")
no_password_kept("the log-in")
page.eval("window.loadedOnce = performance.timeOrigin")
page.wait(f"{text('ps')} === 'RADIO 99' && {text('freq')}.trim() === '87.0'", "PS and frequency of the first station")
page.wait(f"document.getElementById('player').src === 'http://{ADDR}:8000/'", "the audio element at the playlist's port")
page.wait(LABELLED, "every pushed value under its own label")
page.wait(f"/^[0-9]\\.[0-9]{{4}}$/.test({text('ber')})", "BER without a doubled label")
page.wait(f"{text('piCap')} === 'PI' && {text('pi')} === 'D318' && /dB/.test({text('lvl')})", "PI and level")
page.wait("['lStereo', 'lRds', 'lUsb'].every(l => document.getElementById(l).classList.contains('on'))", "the lamps", lamps=True)
page.wait("document.getElementById('rta').closest('tr') !== document.getElementById('rtb').closest('tr')",
          "RT A and RT B on rows of their own")

# A scan from 87.0, ended by the client: the receiver is tuned again.
page.eval("document.getElementById('scanStart').click()")
page.wait(f"/points/.test({text('scanState')})", "scan points arrive")
page.eval("document.getElementById('scanStop').click(); document.getElementById('lvl').textContent = ''")
page.wait(f"/dB/.test({text('lvl')})", "the level is pushed again after the scan")
page.eval("document.querySelector('[data-step=R]').click()")
page.wait(f"{text('freq')}.trim() === '87.1'", "a step after the scan tunes")

page.eval("document.getElementById('fin').value = '101.5'; document.getElementById('tune').click()")
page.wait(f"{text('ps')} === 'CLASSIC ' && {text('freq')}.trim() === '101.5'", "tuned: PS and frequency of the second station")
# The mode is switched without a query: the caption follows the pushed PI.
page.eval("send('RBDS=1')")
page.wait(f"{text('pi')} === 'KRYM' && {text('piCap')} === 'CALL'", "RBDS: call letters under CALL")
page.eval("send('RBDS=0')")
page.wait(f"{text('pi')} === '3F60' && {text('piCap')} === 'PI' && {text('ps')} === 'CLASSIC '",
          "RDS: the PI code under PI")
if page.eval("window.loadedOnce") is None:
    raise SystemExit("FAILED: the page reloaded")
png = page.call("Page.captureScreenshot", format="png")["data"]
open(SHOT, "wb").write(base64.b64decode(png))
print("screenshot:", SHOT)
print("1 passed, 0 failed")
