#!/usr/bin/env python3
"""Times the real window's two exchanges against the stand-in service on
loopback, beside the same HTTP exchanges made by curl in the same run.

- Get: from the click on Get to the captcha image request arriving at the
  stand-in (share page fetched, cut, pane navigated, image requested).
- Enter: from the Enter key to the decoded address shown, read through Copy
  (the Copy click is handled right after the Enter handler returns). Both
  include the harness's own xdotool calls, printed separately.

The curl figures come from bench/curl_baseline.py (page and image GETs, then
the POST, each curl process started as a person would run it); tovrel and
curl take turns at going first from one round to the next.

It starts its own display and window manager (Xvfb and openbox), and the
stand-in on the port of the loopback host the binary is built for, e.g.
    python3 bench/flow_timing.py build/bin/tovrel tools/stand_in_service.py \\
        127.0.0.1:47631 [runs]
"""

import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import flow_test as flow  # noqa: E402
from curl_baseline import curl_exchange  # noqa: E402
from desktop import (CAPTCHA_BOX, COPY_BUTTON, GET_BUTTON, PAGE_BOX,  # noqa: E402
                     Display, wait_for)
from stand_in import StandIn  # noqa: E402


def tovrel_round(window, display, service, times):
    """One Get and Enter in the window, and one click of the harness alone."""
    images = len(service.requests("GET", "/randcodeV2.php"))
    window.type_into(PAGE_BOX, service.page("thunder"))
    started = time.perf_counter()
    window.click(GET_BUTTON)
    wait_for("the image request",
             lambda: len(service.requests("GET", "/randcodeV2.php")) > images)
    times["get"].append(time.perf_counter() - started)

    code = service.code()
    window.type_into(CAPTCHA_BOX, code)
    sentinel = "before %f" % time.monotonic()
    display.set_clipboard(sentinel)
    wait_for("the sentinel", lambda: display.clipboard() == sentinel)
    started = time.perf_counter()
    window.enter()
    window.click(COPY_BUTTON)
    wait_for("the address", lambda: display.clipboard() not in (None, sentinel))
    times["enter"].append(time.perf_counter() - started)

    # What the harness itself costs: a click that starts no exchange.
    started = time.perf_counter()
    window.click(PAGE_BOX)
    times["click"].append(time.perf_counter() - started)


def curl_round(service, work, times):
    get, post = curl_exchange(service, work)
    times["curl get"].append(get)
    times["curl post"].append(post)


def main():
    binary, script, host = sys.argv[1:4]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    service = StandIn(host, script)
    display = Display()
    window = None
    times = {"get": [], "enter": [], "click": [], "curl get": [], "curl post": []}
    work = tempfile.TemporaryDirectory(prefix="tovrel-flow-timing.")
    try:
        window = flow.Window(display, binary)
        for run in range(runs):
            # Alternate which goes first so neither always runs on a warmer machine.
            pair = [lambda: tovrel_round(window, display, service, times),
                    lambda: curl_round(service, work.name, times)]
            for step in (pair if run % 2 == 0 else pair[::-1]):
                step()
    finally:
        if window is not None:
            window.program.end()
        display.close()
        service.stop()
        work.cleanup()

    def ms(name):
        return statistics.median(times[name]) * 1000

    print("runs: %d (medians)" % runs)
    print("Get click -> image request: tovrel %.1f ms, curl page+image %.1f ms, ratio %.2f"
          % (ms("get"), ms("curl get"), ms("get") / ms("curl get")))
    print("Enter -> address shown:     tovrel %.1f ms, curl POST %.1f ms, ratio %.2f"
          % (ms("enter"), ms("curl post"), ms("enter") / ms("curl post")))
    print("one xdotool click of the harness: %.1f ms (in both tovrel figures; Enter has two "
          "inputs)" % ms("click"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
