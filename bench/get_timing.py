#!/usr/bin/env python3
"""Wall time of one whole exchange through tovrel-get against the stand-in
service on loopback, beside the same exchange made with curl in the same run.

- tovrel-get: from starting the process to its exit, run from pipes with
  --captcha-file; the code is fetched from the stand-in's side channel as soon
  as the prompt appears and written to its standard input. Includes process
  start, share page, image (decoded and written to the file), POST and the
  link's decoding.
- curl: the exchange of bench/curl_baseline.py (three curl processes sharing
  a cookie jar, the fid and key cut out of the page in between), with the same
  side-channel fetch of the code; the link in the answer is not decoded.

    python3 bench/get_timing.py build/bin/tovrel-get [runs]
"""

import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "tools"))
from curl_baseline import curl_exchange  # noqa: E402
from piped import run_piped  # noqa: E402
from stand_in import StandIn  # noqa: E402


def tovrel_get(binary, service, work):
    started = time.perf_counter()
    status, out, err, _ = run_piped(
        [binary, "--service-host", service.host, "--captcha-file",
         os.path.join(work, "captcha.png"), service.page("thunder")],
        lambda _: service.code())
    took = time.perf_counter() - started
    if status != 0 or not out.strip():
        raise RuntimeError("tovrel-get failed: %r" % err)
    return took


def curl_whole(service, work):
    """Seconds for curl's whole exchange, the side-channel fetch included."""
    started = time.perf_counter()
    curl_exchange(service, work, image_file=os.path.join(work, "captcha.png"))
    return time.perf_counter() - started


def main():
    binary = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    ours, theirs = [], []
    with StandIn() as service, tempfile.TemporaryDirectory() as work:
        tovrel_get(binary, service, work)  # warm the caches once, untimed
        curl_whole(service, work)
        for run in range(runs):
            # Alternate which goes first so neither always runs on a warmer machine.
            pair = [lambda: ours.append(tovrel_get(binary, service, work)),
                    lambda: theirs.append(curl_whole(service, work))]
            for step in (pair if run % 2 == 0 else pair[::-1]):
                step()
    ms = lambda values: statistics.median(values) * 1000
    print("one whole exchange, median of %d runs (min-max):" % runs)
    print("  tovrel-get           %6.1f ms  (%.1f-%.1f)" % (ms(ours), min(ours) * 1000,
                                                           max(ours) * 1000))
    print("  curl x3 (baseline)   %6.1f ms  (%.1f-%.1f)" % (ms(theirs), min(theirs) * 1000,
                                                           max(theirs) * 1000))


if __name__ == "__main__":
    main()
