#!/usr/bin/env python3
"""Times the real window's two exchanges against the stand-in service on
loopback, beside the same HTTP exchanges made by curl in the same run.

- Get: from the click on Get to the captcha image request arriving at the
  stand-in (share page fetched, cut, pane navigated, image requested).
- Enter: from the Enter key to the decoded address shown, read through Copy
  (the Copy click is handled right after the Enter handler returns). Both
  include the harness's own xdotool calls, printed separately.

curl's figures include starting the curl process, as a person would run it.

It starts its own display and window manager (Xvfb and openbox), and the
stand-in on the port of the loopback host the binary is built for, e.g.
    python3 bench/flow_timing.py build/bin/tovrel tools/stand_in_service.py \\
        127.0.0.1:47631 [runs]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import flow_test as flow  # noqa: E402
from desktop import Display, wait_for  # noqa: E402
from stand_in import StandIn  # noqa: E402


def curl_exchanges(base, jar):
    """Seconds for curl's share-page GET plus image GET, and for its POST."""
    page_file = jar + ".page"

    def curl(*args):
        started = time.perf_counter()
        subprocess.run(["curl", "-s", "-b", jar, "-c", jar, *args], check=True)
        return time.perf_counter() - started

    get = curl("-o", page_file, base + "/s/thunder")
    with open(page_file, encoding="cp936") as f:
        segment = f.read().split("src='/", 1)[1].split('rand="', 1)[0]
    os.remove(page_file)
    get += curl("-o", "/dev/null", base + "/" + segment + "rand=0.8889138259165008")
    code = service_code(base)
    post = curl("-o", "/dev/null", "--data-binary",
                "file_id=1001&randcode=%s&Comfirm.x=109&Comfirm.y=40" % code,
                base + "/guest_loginV2.php")
    return get, post


def service_code(base):
    return subprocess.run(["curl", "-s", base + "/__stand-in/code"], capture_output=True,
                          check=True).stdout.decode()


def main():
    binary, script, host = sys.argv[1:4]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    service = StandIn(host, script)
    display = Display()
    window = None
    gets, enters, clicks, curl_gets, curl_posts = [], [], [], [], []
    jar = tempfile.mktemp()
    try:
        window = flow.Window(display, binary)
        for _ in range(runs):
            images = len(service.requests("GET", "/randcodeV2.php"))
            window.type_into(flow.PAGE_BOX, service.base + "/s/thunder")
            started = time.perf_counter()
            window.click(flow.GET_BUTTON)
            wait_for("the image request",
                     lambda: len(service.requests("GET", "/randcodeV2.php")) > images)
            gets.append(time.perf_counter() - started)

            code = service.code()
            window.type_into(flow.CAPTCHA_BOX, code)
            sentinel = "before %f" % time.monotonic()
            display.set_clipboard(sentinel)
            wait_for("the sentinel", lambda: display.clipboard() == sentinel)
            started = time.perf_counter()
            window.enter()
            window.click(flow.COPY_BUTTON)
            wait_for("the address", lambda: display.clipboard() not in (None, sentinel))
            enters.append(time.perf_counter() - started)

            # What the harness itself costs: a click that starts no exchange.
            started = time.perf_counter()
            window.click(flow.PAGE_BOX)
            clicks.append(time.perf_counter() - started)

            get, post = curl_exchanges(service.base, jar)
            curl_gets.append(get)
            curl_posts.append(post)
    finally:
        if window is not None:
            window.program.end()
        display.close()
        service.stop()
        if os.path.exists(jar):
            os.remove(jar)

    def ms(values):
        return statistics.median(values) * 1000

    print("runs: %d (medians)" % runs)
    print("Get click -> image request: tovrel %.1f ms, curl page+image %.1f ms, ratio %.2f"
          % (ms(gets), ms(curl_gets), ms(gets) / ms(curl_gets)))
    print("Enter -> address shown:     tovrel %.1f ms, curl POST %.1f ms, ratio %.2f"
          % (ms(enters), ms(curl_posts), ms(enters) / ms(curl_posts)))
    print("one xdotool click of the harness: %.1f ms (in both tovrel figures; Enter has two "
          "inputs)" % ms(clicks))
    return 0


if __name__ == "__main__":
    sys.exit(main())
