"""The baseline the timing benchmarks measure the programs against: one whole
exchange with the stand-in service made by three curl processes sharing a
fresh cookie jar (share page, captcha image, POST of the code), the file id
and key cut out of the page in between as the program cuts them, and the code
read from the stand-in's side channel. curl's figures include starting each
curl process, as a person would run it; the link in the answer is not decoded."""

import os
import subprocess
import time

# Where the share page's script writes the captcha image, and what the image
# address and the form carry besides the file id, key and code.
SCRIPT_START = b"document.write(\"<img id='vfcode' src='/"
SCRIPT_END = b'rand="'
RAND_TAIL = "&rand=0.8889138259165008"
FORM_TAIL = "&Comfirm.x=109&Comfirm.y=40"


def between(text, start, end):
    """What stands between the first start and the first end after it, ASCII
    case ignored; empty when either is missing."""
    folded = text.lower()
    first = folded.find(start.lower())
    if first < 0:
        return b""
    first += len(start)
    last = folded.find(end.lower(), first)
    return text[first:last] if last >= 0 else b""


def curl_exchange(service, work, page="thunder", image_file=os.devnull):
    """One exchange for a share page: (seconds for the page and image GETs,
    seconds for the POST). The image goes to image_file; the jar lives in
    work. Raises RuntimeError when the page has no captcha script or the
    answer no link."""
    jar = os.path.join(work, "curl-jar")
    if os.path.exists(jar):
        os.remove(jar)

    def curl(*args):
        started = time.perf_counter()
        out = subprocess.run(["curl", "-s", "-b", jar, "-c", jar, *args], check=True,
                             capture_output=True).stdout
        return out, time.perf_counter() - started

    body, get = curl(service.page(page))
    segment = between(body, SCRIPT_START, SCRIPT_END)
    if not segment:
        raise RuntimeError("no captcha script on the share page for curl")
    fid = between(segment, b"fid=", b"&").decode("latin-1")
    key = between(segment, b"key=", b"&").decode("latin-1")
    _, took = curl("-o", image_file, "%s/randcodeV2.php?fid=%s&key=%s%s"
                   % (service.base, fid, key, RAND_TAIL))
    get += took
    code = service.code()
    answer, post = curl("--data-binary", "file_id=%s&randcode=%s%s" % (fid, code, FORM_TAIL),
                        service.base + "/guest_loginV2.php")
    if b'id="thunder_downurl"' not in answer:
        raise RuntimeError("curl's exchange gave no link")
    return get, post
