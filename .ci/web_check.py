#!/usr/bin/python3
"""Browser check: the web build in headless Chromium, in real time, over the DevTools protocol.

Serves the site folder with a plain static server and watches the whole demo
with ?autostart&stats: a screenshot in each scene, compared with the headless
capture's frame as many frames into that scene, and the sound played just
then, compared with the capture's music where the device's position says.
Then each scene's median frame cost against the native SSE2 path's; watching
again after the end; hiding the page in the middle of scene 2, after which
scene, frames and music must still be in step; the failure paths: missing data
files and Escape, no WebAudio and leaving the page, no WebAssembly, no
WebAssembly SIMD; and, in a browser of its own that holds sound back until a
click, that nothing runs before a real click.
"""

import argparse
import base64
import functools
import http.server
import json
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
import wave

import numpy
import websocket
from PIL import Image

BYTES_PER_SECOND = 44100 * 4
# How many frames into each scene the screenshot is taken. Motion advances by
# frames, so the capture's frame as many frames into the scene matches it,
# except for what follows the running angle (the orbiting spheres), which
# counts frames from the start of the demo: the capture's frames within half a
# turn of the angle (0.05 per frame, a turn in 126 frames) include a match.
SHOT_DEPTH = {1: 600, 2: 700, 3: 300, 4: 700}
HALF_TURN = 63
# Frames of the same scene and moment correlate above 0.75 (particles and the
# global angle follow the frame rate); other scenes and moments stay below 0.4.
MIN_SIMILARITY = 0.6
MIN_FRAMES = 4000


class CheckFailed(Exception):
    pass


def check(condition, text):
    if not condition:
        raise CheckFailed(text)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(site):
    """A plain static server on a free port of 127.0.0.1; gives its address."""
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return "http://127.0.0.1:%d/" % server.server_address[1]


class Page:
    """One page target over the DevTools protocol, recording what its console says."""

    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, suppress_origin=True, timeout=30)
        self.next_id = 0
        self.console = []  # (level, text)
        self.send("Runtime.enable")
        self.send("Log.enable")
        self.send("Page.enable")

    def _event(self, message):
        method = message.get("method")
        params = message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
            self.console.append((params["type"], text))
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            text = details.get("exception", {}).get("description", details.get("text", ""))
            self.console.append(("error", "uncaught: " + text))
        elif method == "Log.entryAdded":
            entry = params["entry"]
            self.console.append((entry["level"], entry["text"] + " " + entry.get("url", "")))

    def send(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise CheckFailed("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self._event(message)

    def navigate(self, url):
        self.send("Page.navigate", url=url)
        deadline = time.monotonic() + 20
        while self.evaluate("document.readyState") != "complete":
            check(time.monotonic() < deadline, "%s did not load" % url)
            time.sleep(0.1)

    def evaluate(self, expression, gesture=False):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True, userGesture=gesture)
        if "exceptionDetails" in result:
            raise CheckFailed("page script failed: %s" % result["exceptionDetails"])
        return result["result"].get("value")

    def errors(self):
        return [text for level, text in self.console if level in ("error", "assert")]

    def state(self):
        return self.evaluate(
            "({shown: (window.Module && Module.framesShown) || 0,"
            " scene: (window.Module && Module.sceneShown) || 0,"
            " starts: (window.Module && Module.sceneStarts) || {},"
            " stats: document.getElementById('stats').textContent,"
            " overlay: document.getElementById('overlay').hidden ? '' :"
            " document.getElementById('overlay').textContent})")

    def wait(self, what, predicate, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            state = self.state()
            if predicate(state):
                return state
            time.sleep(0.1)
        raise CheckFailed("%s within %d s (last state: %s)" % (what, seconds, self.state()))

    def screenshot(self, path):
        data = self.send("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def canvas(self):
        """The canvas: its frame's index, scene, index in that scene, and pixels (RGB)."""
        value = self.evaluate("""(() => {
            const c = document.getElementById('screen');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let s = '';
            for (let i = 0; i < d.length; i += 0x8000)
              s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
            const index = Module.framesShown - 1, scene = Module.sceneShown;
            return {index: index, scene: scene, depth: index - Module.sceneStarts[scene],
                    w: c.width, h: c.height, rgba: btoa(s)};
          })()""")
        image = Image.frombytes("RGBA", (value["w"], value["h"]), base64.b64decode(value["rgba"]))
        return value["index"], value["scene"], value["depth"], image.convert("RGB")


def parse_stats(text):
    first = text.split("\n")[0]
    fields = dict(re.findall(r"(frames|scene|audio|late|median) ([0-9.]+)", first))
    return {
        "frames": int(fields.get("frames", 0)),
        "scene": int(fields.get("scene", 0)),
        "audio": int(fields.get("audio", 0)),
        "late": int(fields.get("late", 0)),
        "ended": first.endswith("| ended"),
    }


def similarity(a, b):
    """How alike two pictures' layouts are: the correlation of their brightness
    in 8 x 8 blocks (1 alike, 0 unrelated; 0 for a flat picture)."""
    x = list(a.convert("L").resize((40, 30), Image.BOX).getdata())
    y = list(b.convert("L").resize((40, 30), Image.BOX).getdata())
    mx, my = sum(x) / len(x), sum(y) / len(y)
    sxy = sum((p - mx) * (q - my) for p, q in zip(x, y))
    sxx = sum((p - mx) ** 2 for p in x)
    syy = sum((q - my) ** 2 for q in y)
    return sxy / math.sqrt(sxx * syy) if sxx and syy else 0.0


def colours(image):
    return len(set(image.getdata()))


def capture_reference(capture, data, work):
    """The headless capture's whole run: the index of each scene's first frame,
    and its sound as mono samples (the mean of left and right, over 32768)."""
    path = os.path.join(work, "capture.wav")
    result = subprocess.run([capture, "--stats", "--wav", path], cwd=data, check=True, text=True,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    starts, first = {}, 0
    for line in result.stdout.splitlines():
        match = re.match(r"(\d) \D+ +(\d+) ", line)
        if match:
            starts[int(match.group(1))] = first
            first += int(match.group(2))
    check(sorted(starts) == [1, 2, 3, 4], "no scene frame counts from quarvel-capture --stats")
    with wave.open(path) as f:
        raw = f.readframes(f.getnframes())
    stereo = struct.unpack("<%dh" % (len(raw) // 2), raw)
    os.remove(path)
    return starts, [(stereo[i] + stereo[i + 1]) / 65536.0 for i in range(0, len(stereo), 2)]


# Chromium's position (the context's time) and the samples a tap has seen are
# read together, yet they may disagree by whole render quanta of 128 frames for
# a whole showing: over six page loads, four heard the music exactly where the
# position said, two 512 frames (once 1024) before it; CI runs, 384 and 896
# before. Twice the most seen still places the music within 46 ms.
SOUND_REACH = 2048


def sound_near(heard, position, music, reach=SOUND_REACH):
    """Where in the capture's sound the samples heard just before `position`
    (in frames) are: the best correlation within `reach` frames of the place
    the position says, and how far off it is."""
    h = numpy.array(heard)
    n = len(h)
    first = max(0, position - n - reach)
    stretch = numpy.array(music[first:min(len(music), position + reach)])
    products = numpy.correlate(stretch, h, mode="valid")
    energy = numpy.convolve(stretch * stretch, numpy.ones(n), mode="valid")
    r = products / numpy.maximum(numpy.sqrt(energy * (h * h).sum()), 1e-12)
    best = int(numpy.argmax(r))
    return float(r[best]), first + best - (position - n)


def captured_frames(capture, data, first, last, work):
    """The headless capture's frames first..last, as RGB images."""
    out = tempfile.mkdtemp(dir=work)
    subprocess.run([capture, "--png", out, "--frames", "%d:%d" % (first, last)], cwd=data,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    frames = {}
    for index in range(first, last + 1):
        with Image.open(os.path.join(out, "frame-%05d.png" % index)) as image:
            frames[index] = image.convert("RGB")
    shutil.rmtree(out)
    return frames


# A tap on the page's sound node gives the last 2048 samples it played, and
# the device's position in frames, read together.
TAP = ("window.tap = QuarvelSound.context.createAnalyser(); tap.fftSize = 2048;"
       " QuarvelSound.node.connect(tap); true")
HEARD = ("(() => { const d = new Float32Array(tap.fftSize); tap.getFloatTimeDomainData(d);"
         " return {position: _quarvel_web_sound_frames(), samples: Array.from(d)}; })()")


def whole_demo(page, base, out):
    """Watches the demo to its end; gives the canvas shots and the sound heard, by scene."""
    page.navigate(base + "?autostart&stats")
    page.wait("the first frames", lambda s: s["shown"] > 10, 30)
    page.evaluate(TAP)
    shots, heard = {}, {}
    samples = []  # (seconds, audio bytes) each time the statistics line changes
    last_text = None
    started = time.monotonic()
    while True:
        state = page.state()
        if state["stats"] != last_text and state["stats"]:
            last_text = state["stats"]
            samples.append((time.monotonic(), parse_stats(last_text)))
            if samples[-1][1]["ended"]:
                break
        scene = state["scene"]
        start = state["starts"].get(str(scene))
        if scene in SHOT_DEPTH and scene not in shots and start is not None and \
                state["shown"] - 1 - start >= SHOT_DEPTH[scene]:
            index, shown_scene, depth, image = page.canvas()
            if shown_scene != scene:  # the scene ended just now
                continue
            page.screenshot(os.path.join(out, "scene-%d.png" % scene))
            image.save(os.path.join(out, "canvas-%d.png" % scene))
            shots[shown_scene] = (depth, image)
            heard[shown_scene] = page.evaluate(HEARD)
            print("scene %d: frame %d on the canvas, %d into the scene, %d colours" %
                  (shown_scene, index, depth, colours(image)))
        check(time.monotonic() - started < 150, "the demo has not ended after 150 s")
        check(state["overlay"] in ("", "Loading…") or "ended" in state["overlay"],
              "the page says: %s" % state["overlay"])
        time.sleep(0.1)
    print(last_text)
    return shots, heard, samples, last_text


def check_whole_demo(page, base, out, capture, data, capture_starts, music):
    shots, heard, samples, final = whole_demo(page, base, out)
    stats = parse_stats(final)
    failures = []

    def expect(condition, text):
        if not condition:
            failures.append(text)

    expect(stats["frames"] > MIN_FRAMES, "only %d frames drawn" % stats["frames"])
    expect(stats["late"] == 0, "%d audio frames played before their music arrived" % stats["late"])
    expect(state_ended(page), "the page does not say that the demo has ended")

    # The sound's position advances at the audio clock's rate, every second.
    moving = [(t, s["audio"]) for t, s in samples if s["audio"] > 0 and not s["ended"]]
    expect(len(moving) > 60, "audio bytes advanced in only %d statistics lines" % len(moving))
    for (t0, a0), (t1, a1) in zip(moving, moving[1:]):
        expect(a1 > a0, "audio stood still at %d bytes" % a0)
    if len(moving) > 1:
        rate = (moving[-1][1] - moving[0][1]) / (moving[-1][0] - moving[0][0])
        print("audio: %d bytes, %.0f bytes/s over %d lines" % (moving[-1][1], rate, len(moving)))
        expect(abs(rate / BYTES_PER_SECOND - 1.0) < 0.05, "audio ran at %.0f bytes/s" % rate)

    expect(len(shots) == 4, "screenshots of scenes %s only" % sorted(shots))
    for scene, (depth, image) in sorted(shots.items()):
        expect(colours(image) >= 16, "scene %d looks blank (%d colours)" % (scene, colours(image)))
        first = capture_starts[scene] + depth - HALF_TURN
        reference = captured_frames(capture, data, first, first + 2 * HALF_TURN, out)
        best, index = max((similarity(image, frame), index) for index, frame in reference.items())
        print("scene %d: similarity %.3f to the headless capture's frame %d (of %d..%d)" %
              (scene, best, index, first, first + 2 * HALF_TURN))
        expect(best >= MIN_SIMILARITY, "scene %d differs from the headless capture" % scene)

    # What the page played is the capture's music, where the position says.
    for scene, sound in sorted(heard.items()):
        match, shift = sound_near(sound["samples"], int(sound["position"]), music)
        print("scene %d: the sound before position %d matches the capture's %.4f, %+d frames off" %
              (scene, sound["position"], match, shift))
        expect(match > 0.99, "the sound in scene %d is not the capture's music" % scene)
    check(not failures, "; ".join(failures))
    return final


# The browser's frames, on the WebAssembly SIMD128 kernels, should cost at most
# GOAL_COST_RATIO times the native SSE2 path's (four lanes both), as
# quarvel-capture --stats measures it: frames back to back, by the drawing
# thread's CPU time. The page's figure is wall time, in steps of the 0.1 ms
# that a page's clock gives, on a machine Chromium's own threads share, and its
# frames come after a wait for the animation frame, which alone makes a native
# frame dearer: so one more native run shows the frames in real time too
# (--real-time), like for like. On 2 cores the same code gave scene 1 from
# 1.8x to 3.1x over five runs: the back-to-back figure is the median of
# NATIVE_RUNS runs, and the check fails only past MAX_COST_RATIO of it, a
# regression (the scalar code was 5-12x).
GOAL_COST_RATIO = 2.0
MAX_COST_RATIO = 4.0
NATIVE_RUNS = 3


def native_costs(capture, data, real_time=False):
    """Each scene's median frame cost from one run of quarvel-capture --stats on SSE2."""
    env = dict(os.environ, QUARVEL_VECTOR_PATH="sse2")
    command = [capture, "--stats"] + (["--real-time"] if real_time else [])
    result = subprocess.run(command, cwd=data, env=env, check=True, text=True,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    check("vector path sse2" in result.stdout, "quarvel-capture did not run the SSE2 path")
    costs = {}
    for line in result.stdout.splitlines():
        match = re.match(r"(\d) \D+ +\d+ +([0-9.]+) ", line)
        if match:
            costs[int(match.group(1))] = float(match.group(2))
    check(sorted(costs) == [1, 2, 3, 4], "no per-scene costs from quarvel-capture --stats")
    return costs


def check_frame_costs(final, capture, data):
    """Each scene's median frame cost in the page's last statistics against the
    native SSE2 path's from quarvel-capture --stats, measured now, in this run."""
    check(final, "no statistics from the whole demo")
    runs = [native_costs(capture, data) for _ in range(NATIVE_RUNS)]
    native = {scene: sorted(run[scene] for run in runs)[len(runs) // 2] for scene in runs[0]}
    paced = native_costs(capture, data, real_time=True)
    browser = {int(scene): float(ms) for scene, ms in
               re.findall(r"scene (\d): \d+ frames, median ([0-9.]+) ms", final)}
    check(sorted(browser) == [1, 2, 3, 4], "no per-scene costs in the page's statistics")
    print("| scene | browser (simd128) | native (sse2), median of %d runs | ratio "
          "| native (sse2) in real time | ratio |" % len(runs))
    print("|---|---|---|---|---|---|")
    for scene in sorted(browser):
        print("| %d | %.2f ms | %.2f ms (%s) | %.1fx | %.2f ms | %.1fx |" %
              (scene, browser[scene], native[scene],
               " / ".join("%.2f" % run[scene] for run in runs), browser[scene] / native[scene],
               paced[scene], browser[scene] / paced[scene]))
    for name, reference in (("", native), (" in real time", paced)):
        over_goal = [scene for scene in sorted(browser)
                     if browser[scene] > GOAL_COST_RATIO * reference[scene]]
        if over_goal:
            print("scenes %s cost more than %.0fx the native SSE2 path's%s" %
                  (over_goal, GOAL_COST_RATIO, name))
    slow = [scene for scene in sorted(browser) if browser[scene] > MAX_COST_RATIO * native[scene]]
    check(not slow, "scenes %s cost more than %.0fx the native SSE2 path" % (slow, MAX_COST_RATIO))


def state_ended(page):
    return "ended" in page.state()["overlay"]


def check_missing_files_and_escape(page, base):
    page.navigate(base + "?stats")
    page.wait("the start overlay", lambda s: s["overlay"] == "Click to start", 30)
    page.evaluate("FS.unlink('/star.df'); FS.unlink('/zyl-mirvash2.xm'); true")
    page.evaluate("document.getElementById('overlay').click(); true", gesture=True)
    state = page.wait("two seconds of frames without star.df and the music",
                      lambda s: s["shown"] > 120 and s["stats"], 30)
    check(any("error opening file : star.df" in text for _, text in page.console),
          "no \"error opening file : star.df\" on the console")
    check(parse_stats(state["stats"])["audio"] == 0, "music played without its module")
    check(page.evaluate("getComputedStyle(document.getElementById('screen')).cursor") == "none",
          "the cursor shows over the canvas")
    page.send("Input.dispatchKeyEvent", type="keyDown", key="Escape", code="Escape",
              windowsVirtualKeyCode=27)
    page.send("Input.dispatchKeyEvent", type="keyUp", key="Escape", code="Escape",
              windowsVirtualKeyCode=27)
    state = page.wait("the end after Escape", lambda s: "ended" in s["overlay"], 5)
    print("missing star.df and module: ran silently, no cursor; Escape ended it after %d frames" %
          state["shown"])


def check_no_webaudio_and_leaving(page, base):
    script = page.send("Page.addScriptToEvaluateOnNewDocument",
                       source="delete window.AudioContext; delete window.webkitAudioContext;")
    page.navigate(base + "?autostart&stats")
    state = page.wait("two seconds of frames without WebAudio",
                      lambda s: s["shown"] > 120 and s["stats"], 30)
    check(parse_stats(state["stats"])["audio"] == 0, "audio without WebAudio")
    page.evaluate("document.getElementById('fullscreen').click(); true", gesture=True)
    fullscreen = "(document.fullscreenElement && document.fullscreenElement.id) || ''"
    page.wait("full screen", lambda s: page.evaluate(fullscreen) == "stage", 5)
    shown = page.state()["shown"]
    page.wait("frames in full screen", lambda s: s["shown"] > shown + 30, 10)
    page.evaluate("window.dispatchEvent(new PageTransitionEvent('pagehide')); true")
    state = page.wait("the end after leaving the page", lambda s: "ended" in s["overlay"], 5)
    page.wait("leaving full screen at the end", lambda s: page.evaluate(fullscreen) == "", 5)
    print("no WebAudio: ran silently, also in full screen; leaving the page ended it after %d "
          "frames" % state["shown"])
    page.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])


def check_no_webassembly(page, base):
    script = page.send("Page.addScriptToEvaluateOnNewDocument",
                       source="delete window.WebAssembly;")
    page.navigate(base)
    state = page.wait("the message", lambda s: "needs WebAssembly" in s["overlay"], 10)
    print("no WebAssembly: the page says \"%s\"" % state["overlay"])
    page.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])


def check_no_webassembly_simd(page, base):
    """A browser whose WebAssembly lacks SIMD: the page says so and loads nothing."""
    script = page.send("Page.addScriptToEvaluateOnNewDocument", source=(
        "const validate = WebAssembly.validate;"
        " WebAssembly.validate = (bytes) => !new Uint8Array(bytes).includes(0xfd) &&"
        " validate(bytes);"))
    page.navigate(base)
    state = page.wait("the message", lambda s: "needs WebAssembly SIMD" in s["overlay"], 10)
    time.sleep(1)
    check(page.evaluate("typeof Module === 'undefined' || !Module.calledRun"),
          "the module was loaded without SIMD")
    print("no WebAssembly SIMD: the page says \"%s\"" % state["overlay"])
    page.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])


# --- in step with the viewer: pausing, the click that lets sound play, watching again ---

# The demo's clock, its pictures and the sound device's position (in frames), read together.
SNAPSHOT = ("({clock: QuarvelPage.now(), audio: _quarvel_web_sound_frames(),"
            " shown: Module.framesShown, scene: Module.sceneShown, starts: Module.sceneStarts,"
            " first: Module.firstMs, longest: Module.longestStepMs,"
            " visibility: document.visibilityState,"
            " sound: QuarvelSound.context ? QuarvelSound.context.state : 'none'})")
SCENE_ENDS_S = [15.0, 40.0, 55.0, 80.0]
HIDDEN_S = 10.0
# A browser may take a while to draw again once the page shows: here the first
# animation frames after it come this late, so that the check sees whether the
# clock waits for them.
LATE_FRAME_MS = 100
LATE_FRAMES = ("(() => { const ask = window.requestAnimationFrame.bind(window); let shown = -1e9;"
               " document.addEventListener('visibilitychange', () => {"
               "   if (document.visibilityState === 'visible') shown = performance.now(); });"
               " window.requestAnimationFrame = (then) => ask((t) => {"
               "   const late = shown + %d - performance.now();"
               "   if (late > 0) setTimeout(() => then(performance.now()), late); else then(t); });"
               " return true; })()" % LATE_FRAME_MS)
# Picture and sound stop and start again within a few render quanta of each
# other; the frame loop may skip a frame on a busy machine.
STEP_TOLERANCE_MS = 60.0
# The step across a pause holds what was left of the frame before it and the
# wait for the first animation frame after it: two frames at most, beyond
# the longest step the page took anyway.
PAUSE_STEP_MS = 34.0


def snapshot(page):
    state = page.evaluate(SNAPSHOT)
    state["wall"] = time.monotonic()
    return state


def expected_scene(state):
    seconds = (state["clock"] - state["first"]) / 1000.0
    return next((i + 1 for i, end in enumerate(SCENE_ENDS_S) if seconds < end), 0)


def set_window_state(page, window_state):
    window = page.send("Browser.getWindowForTarget")["windowId"]
    page.send("Browser.setWindowBounds", windowId=window, bounds={"windowState": window_state})


def click_at(page, x, y):
    """A real click: the browser counts it as the viewer's."""
    for kind in ("mousePressed", "mouseReleased"):
        page.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)


def press_escape(page):
    page.send("Input.dispatchKeyEvent", type="keyDown", key="Escape", code="Escape",
              windowsVirtualKeyCode=27)
    page.send("Input.dispatchKeyEvent", type="keyUp", key="Escape", code="Escape",
              windowsVirtualKeyCode=27)


def check_hidden_in_scene_2(page, base):
    """Minimised for 10 s in the middle of scene 2: nothing moves while hidden,
    and afterwards the clock, the pictures, the scene and the music go on from
    where they stopped, together, though the browser draws again only late."""
    page.navigate(base + "?autostart&stats")
    page.wait("scene 2", lambda s: s["scene"] == 2, 40)
    page.evaluate("Module.longestStepMs = 0; true")
    time.sleep(10)  # the middle of the scene's 25 s
    longest_before = page.evaluate("Module.longestStepMs")
    page.evaluate("Module.longestStepMs = 0; true")
    before = snapshot(page)
    check(before["scene"] == 2 and expected_scene(before) == 2,
          "not in scene 2 before hiding: %s" % before)
    page.evaluate(LATE_FRAMES)
    set_window_state(page, "minimized")
    deadline = time.monotonic() + 5
    while page.evaluate("document.visibilityState") != "hidden":
        check(time.monotonic() < deadline, "minimising did not hide the page")
        time.sleep(0.05)
    hidden = snapshot(page)
    time.sleep(HIDDEN_S)
    still = snapshot(page)
    set_window_state(page, "normal")
    shown_again = time.monotonic()
    page.wait("pictures again", lambda s: s["shown"] > still["shown"] + 30, 10)
    time.sleep(3)
    after = snapshot(page)
    print("hidden %.1f s: %d pictures, clock %+.0f ms, sound %+d frames while hidden (%s)" %
          (still["wall"] - hidden["wall"], still["shown"] - hidden["shown"],
           still["clock"] - hidden["clock"], still["audio"] - hidden["audio"], still["sound"]))
    check(still["shown"] == hidden["shown"], "pictures were drawn while hidden")
    check(still["clock"] - hidden["clock"] < 1.0, "the demo's clock ran while hidden")
    check(still["audio"] - hidden["audio"] <= 44100 * STEP_TOLERANCE_MS / 1000,
          "the sound played on while hidden")

    clock = after["clock"] - before["clock"]
    sound_ms = (after["audio"] - before["audio"]) * 1000.0 / 44100
    visible_ms = (after["wall"] - before["wall"] - (shown_again - hidden["wall"])) * 1000.0
    frames = after["shown"] - before["shown"]
    print("from before hiding to 3 s after: clock %+.0f ms, sound %+.0f ms, about %.0f ms visible, "
          "%d pictures, longest step %.1f ms (%.1f ms in the 10 s before), scene %d" %
          (clock, sound_ms, visible_ms, frames, after["longest"], longest_before, after["scene"]))
    check(abs(sound_ms - clock) < STEP_TOLERANCE_MS,
          "picture and sound out of step by %.0f ms" % (sound_ms - clock))
    check(abs(clock - visible_ms) < 1000, "the clock ran %.0f ms for about %.0f ms shown" %
          (clock, visible_ms))
    check(frames <= clock * 61 / 1000 + 2, "%d pictures in %.0f ms" % (frames, clock))
    check(after["longest"] <= max(longest_before, 1000.0 / 60) + PAUSE_STEP_MS,
          "a step of %.0f ms between two pictures" % after["longest"])
    check(after["scene"] == expected_scene(after) == 2 and sorted(after["starts"]) == ["1", "2"],
          "scene %d at %.1f s of demo, scenes started: %s" %
          (after["scene"], (after["clock"] - after["first"]) / 1000, sorted(after["starts"])))
    press_escape(page)
    page.wait("the end after Escape", lambda s: "ended" in s["overlay"], 5)




def check_watch_again(page, base, music):
    """The ended page's button starts picture and music over, without reloading:
    after the whole demo, else after a showing ended by Escape."""
    if not page.evaluate("location.href").startswith(base) or not state_ended(page):
        page.navigate(base + "?autostart&stats")
        page.wait("the first frames", lambda s: s["shown"] > 60, 30)
        press_escape(page)
        page.wait("the end after Escape", lambda s: "ended" in s["overlay"], 5)
    check(page.evaluate("!!document.getElementById('again')"), "no button to watch again")
    page.evaluate("window.sameDocument = true")
    box = page.evaluate("(() => { const r = document.getElementById('again')"
                        ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2];"
                        " })()")
    click_at(page, box[0], box[1])
    state = page.wait("pictures of the second showing", lambda s: s["shown"] > 120, 10)
    check(page.evaluate("window.sameDocument === true"), "the page was reloaded")
    check(state["overlay"] == "", "the page still says: %s" % state["overlay"])
    now = snapshot(page)
    seconds = (now["clock"] - now["first"]) / 1000.0
    print("watching again: %d pictures, %.2f s of demo, scene %d, sound at %.2f s" %
          (now["shown"], seconds, now["scene"], now["audio"] / 44100.0))
    check(now["scene"] == 1 and sorted(now["starts"]) == ["1"] and seconds < 10,
          "the second showing did not start from the beginning: %s" % now)
    check(0 < now["audio"] < (seconds + 1.0) * 44100,
          "the music is at %.2f s after %.2f s of demo" % (now["audio"] / 44100.0, seconds))
    page.evaluate(TAP)
    time.sleep(0.5)
    sound = page.evaluate(HEARD)
    # Early in a sound context the two disagree by more than a few steps.
    match, shift = sound_near(sound["samples"], int(sound["position"]), music, 22050)
    late = page.evaluate("QuarvelSound.lateFrames")
    print("watching again: the sound before position %d matches the capture's %.4f, %+d frames "
          "off; %d frames played late" % (sound["position"], match, shift, late))
    check(match > 0.99, "the second showing's sound is not the capture's music from the start")
    press_escape(page)
    page.wait("the end after Escape", lambda s: "ended" in s["overlay"], 5)


def check_sound_suspended(page, base):
    """The browser suspends the sound mid-scene and keeps it suspended: the
    picture stops with it, the page says so, and a click lets both go on in step."""
    page.navigate(base + "?autostart&stats")
    page.wait("two seconds of pictures", lambda s: s["shown"] > 120, 30)
    before = snapshot(page)
    # A resume that never completes, as where the browser withholds the sound.
    page.evaluate("(() => { const c = QuarvelSound.context;"
                  " c.resume = () => new Promise(() => {}); return c.suspend().then(() => true);"
                  " })()")
    stopped = snapshot(page)
    state = page.wait("the page saying that the sound is held back",
                      lambda s: "sound back" in s["overlay"], 5)
    time.sleep(2)
    still = snapshot(page)
    print("sound suspended: %d pictures, clock %+.0f ms, sound %+d frames in %.1f s; the page "
          "says \"%s\"" % (still["shown"] - stopped["shown"], still["clock"] - stopped["clock"],
                             still["audio"] - stopped["audio"], still["wall"] - stopped["wall"],
                             state["overlay"]))
    check(still["shown"] - stopped["shown"] <= 1 and still["clock"] - stopped["clock"] < 1.0 and
          still["audio"] == stopped["audio"], "the picture went on without the sound")
    page.evaluate("delete QuarvelSound.context.resume; true")
    click_at(page, 512, 300)
    page.wait("pictures after the click", lambda s: s["shown"] > still["shown"] + 60, 10)
    after = snapshot(page)
    clock = after["clock"] - before["clock"]
    sound_ms = (after["audio"] - before["audio"]) * 1000.0 / 44100
    print("after the click: clock %+.0f ms, sound %+.0f ms since before the suspension; the page "
          "says \"%s\"" % (clock, sound_ms, page.state()["overlay"]))
    check(abs(sound_ms - clock) < STEP_TOLERANCE_MS, "picture and sound out of step by %.0f ms" %
          (sound_ms - clock))
    check(page.state()["overlay"] == "", "the message stayed after the click")
    press_escape(page)
    page.wait("the end after Escape", lambda s: "ended" in s["overlay"], 5)


def check_sound_held_back(work, base):
    """In a browser that lets pages play sound only after a click: ?autostart
    waits for the click and says so, and nothing runs before it."""
    process, page = start_chromium(work, autoplay=False, name="profile-no-autoplay")
    try:
        page.navigate(base + "?autostart&stats")
        page.wait("the page asking for a click", lambda s: "click" in s["overlay"].lower(), 30)
        time.sleep(3)
        state = page.state()
        print("sound held back: the page says \"%s\"" % state["overlay"])
        check(state["shown"] == 0 and state["stats"] == "",
              "the demo ran before the click: %s" % state)
        check(page.evaluate("typeof QuarvelSound === 'undefined' || !QuarvelSound.context"),
              "sound was opened before the click")
        click_at(page, 512, 300)
        page.wait("pictures after the click", lambda s: s["shown"] > 120, 20)
        first = snapshot(page)
        time.sleep(2)
        second = snapshot(page)
        sound_ms = (second["audio"] - first["audio"]) * 1000.0 / 44100
        clock = second["clock"] - first["clock"]
        print("after the click: sound %s, clock %+.0f ms, sound %+.0f ms" %
              (second["sound"], clock, sound_ms))
        check(second["sound"] == "running", "the sound is %s after the click" % second["sound"])
        check(clock > 1500 and abs(sound_ms - clock) < STEP_TOLERANCE_MS,
              "picture and sound out of step after the click")
        errors = page.errors()
        check(not errors, "errors on the console:\n  " + "\n  ".join(errors))
    finally:
        process.terminate()
        process.wait(timeout=20)


def start_chromium(work, autoplay=True, name="profile"):
    """A headless Chromium and its first page; with `autoplay`, pages may play
    sound without a click, else the browser's own rule holds."""
    profile = os.path.join(work, name)
    os.makedirs(profile)
    # The page runs in real time: ahead of whatever else the machine is doing.
    command = ["nice", "-n", "-10", "chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
               "--no-first-run", "--disable-background-networking", "--disable-component-update",
               "--disable-sync", "--user-data-dir=" + profile, "--remote-debugging-port=0",
               "--remote-allow-origins=*", "--window-size=1024,820", "about:blank"]
    if autoplay:
        command.insert(-1, "--autoplay-policy=no-user-gesture-required")
    log = open(os.path.join(work, "chromium.log"), "w")
    process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT)
    port_file = os.path.join(profile, "DevToolsActivePort")
    for _ in range(300):
        if os.path.exists(port_file):
            with open(port_file) as f:
                port = f.readline().strip()
            if port:
                break
        check(process.poll() is None, "chromium ended at start (see %s)" % log.name)
        time.sleep(0.1)
    else:
        raise CheckFailed("chromium opened no DevTools port")
    with urllib.request.urlopen("http://127.0.0.1:%s/json/list" % port) as response:
        targets = json.load(response)
    page = next(t for t in targets if t["type"] == "page")
    return process, Page(page["webSocketDebuggerUrl"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--site", required=True, help="the built site folder")
    parser.add_argument("--capture", required=True, help="the quarvel-capture program")
    parser.add_argument("--data", required=True, help="the data files for the capture")
    parser.add_argument("--out", required=True, help="where screenshots go")
    args = parser.parse_args()
    args.capture = os.path.abspath(args.capture)

    os.makedirs(args.out, exist_ok=True)
    # Stopped from outside, still close the browser on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("web_check.py: stopped"))
    capture_starts, music = capture_reference(args.capture, args.data, args.out)
    print("the headless capture's scenes start at frames %s" %
          ", ".join(str(capture_starts[s]) for s in sorted(capture_starts)))
    base = serve(args.site)
    print("serving %s at %s" % (args.site, base))
    process, page = start_chromium(args.out)
    passed = failed = 0
    whole = {}
    try:
        for name, run in [
            ("the whole demo", lambda: whole.update(final=check_whole_demo(
                page, base, args.out, args.capture, args.data, capture_starts, music))),
            ("frame cost against native SSE2",
             lambda: check_frame_costs(whole.get("final"), args.capture, args.data)),
            ("watching again", lambda: check_watch_again(page, base, music)),
            ("hidden in the middle of scene 2", lambda: check_hidden_in_scene_2(page, base)),
            ("sound suspended by the browser", lambda: check_sound_suspended(page, base)),
            ("missing data files and Escape", lambda: check_missing_files_and_escape(page, base)),
            ("no WebAudio and leaving the page", lambda: check_no_webaudio_and_leaving(page, base)),
            ("no WebAssembly", lambda: check_no_webassembly(page, base)),
            ("no WebAssembly SIMD", lambda: check_no_webassembly_simd(page, base)),
            ("sound held back until a click", lambda: check_sound_held_back(args.out, base)),
        ]:
            print("== %s" % name)
            page.console.clear()
            try:
                run()
                errors = page.errors()
                check(not errors, "errors on the console:\n  " + "\n  ".join(errors))
                passed += 1
                print("ok")
            except CheckFailed as failure:
                failed += 1
                print("FAILED: %s" % failure)
    finally:
        process.terminate()
        process.wait(timeout=20)
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
