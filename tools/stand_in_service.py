#!/usr/bin/env python3
"""A stand-in for the file-sharing service, for the demo and the tests.

It serves share pages whose script writes the captcha image, the captcha image
itself (a PNG with digits a person can read, a fresh code for each share-page
session), and the guest login form, which answers with the download link when
the form body, the code and both session cookies are right.

    stand_in_service.py [--host 127.0.0.1] [--port 0] [--port-file FILE]

With --port 0 the system picks a free port; the port is printed on the first
line of standard output ("listening on http://HOST:PORT") and written to
--port-file when given. Everything stays in memory and ends with the process.

For tests only, GET /__stand-in/state answers with JSON: the sessions (share
page cookie, file id, key, the current code, the image cookie) and every request
received (method, path, Cookie header, body); /__stand-in/code gives the last
code as plain text, and /__stand-in/log the requests as tab-separated lines.
GET /s/stall is taken and never answered (the connection is closed after
STALL_SECONDS), as a server that hangs.
"""

import argparse
import base64
import hashlib
import http.cookies
import http.server
import json
import os
import random
import secrets
import struct
import sys
import threading
import time
import urllib.parse
import zlib

RAND_TAIL = "+Math.random()+\"' width='120' height='40' />\");"

# Download addresses per file. Some carry Chinese names so that code page 936
# travels the whole way.
FILES = {
    "thunder": ("1001", "thunder", "http://downloads.example.invalid/1001/report.zip"),
    "flashget": ("1002", "flashget", "http://downloads.example.invalid/1002/photos.rar"),
    "qqdl": ("1003", "qqdl", "http://downloads.example.invalid/1003/\u8d44\u6599.7z"),
    "plain": ("1004", "plain", "http://downloads.example.invalid/1004/notes.txt"),
    "utf8": ("1005", "thunder", "http://downloads.example.invalid/1005/\u76f8\u518c.zip"),
    "upper": ("1006", "flashget", "http://downloads.example.invalid/1006/UPPER.bin"),
    "decoy": ("1007", "qqdl", "http://downloads.example.invalid/1007/decoy.iso"),
    "twice": ("1008", "thunder", "http://downloads.example.invalid/1008/first.zip"),
    "noscript": ("1009", "plain", "http://downloads.example.invalid/1009/none.txt"),
    # Links as other sites write them: parameters after the Base64 text, and
    # an address in UTF-8 (given as bytes) rather than code page 936.
    "params": ("1010", "thunder&", "http://downloads.example.invalid/1010/report.zip"),
    "utf8name": ("1011", "qqdl",
                 "http://downloads.example.invalid/1011/\u4e2d\u6587.zip".encode("utf-8")),
    # Answers whose link must not reach the screen.
    "pasted": ("1012", "thunder",
               "http://downloads.example.invalid/1012/a.zip\r\necho PASTED\r\n"),
    "script": ("1013", "qqdl", "javascript:alert(document.cookie)"),
    "utf8thunder": ("1015", "thunder",
                    "http://downloads.example.invalid/1015/\u65e5\u672c\u8a9e.zip".encode("utf-8")),
    # A link whose text is two lines: pasted into a terminal, the second runs.
    "twolines": ("1014", "thunder", "http://x/a.zip\r\necho PASTED\r\n"),
}
SECOND_LINK = "http://downloads.example.invalid/1008/second.zip"
STALL_SECONDS = 300


def wrap_link(kind, address):
    """The link the answer page carries for an address, in code page 936 unless
    given as bytes. Kind "thunder&" appends parameters as some sites do."""
    raw = address if isinstance(address, bytes) else address.encode("cp936")
    if kind == "thunder&":
        return wrap_link("thunder", address) + b"&srcid=119&verno=1"
    if kind == "thunder":
        return b"thunder://" + base64.b64encode(b"AA" + raw + b"ZZ")
    if kind == "flashget":
        body = base64.b64encode(b"[FLASHGET]" + raw + b"[FLASHGET]")
        return b"flashget://" + body + b"&refid"
    if kind == "qqdl":
        return b"qqdl://" + base64.b64encode(raw)
    return raw


# --- captcha image ------------------------------------------------------------

DIGITS = {
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
}


def captcha_png(code, width=120, height=40):
    """A PNG showing the digits of code, dark on a light speckled ground."""
    rng = random.Random(code)
    pixels = [[(235 - rng.randrange(30),) * 3 for _ in range(width)] for _ in range(height)]
    scale = 4
    left = (width - len(code) * 6 * scale) // 2 + scale // 2
    for index, digit in enumerate(code):
        colour = (rng.randrange(20, 90), rng.randrange(20, 90), rng.randrange(60, 140))
        x0 = left + index * 6 * scale
        y0 = (height - 7 * scale) // 2 + rng.randrange(-3, 4)
        for row, bits in enumerate(DIGITS[digit]):
            for col, bit in enumerate(bits):
                if bit != "1":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        y, x = y0 + row * scale + dy, x0 + col * scale + dx
                        if 0 <= y < height and 0 <= x < width:
                            pixels[y][x] = colour
    for _ in range(2):  # two thin noise lines
        y, slope = rng.randrange(height), rng.uniform(-0.3, 0.3)
        for x in range(width):
            yy = int(y + slope * x)
            if 0 <= yy < height:
                pixels[yy][x] = (150, 150, 170)
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


# --- pages ----------------------------------------------------------------------

def captcha_script(fid, key, upper=False):
    script = ("document.write(\"<img id='vfcode' src='/randcodeV2.php?fid=%s&key=%s&rand=\""
              % (fid, key)) + RAND_TAIL
    if upper:
        script = ("DOCUMENT.WRITE(\"<IMG ID='VFCODE' SRC='/RANDCODEV2.PHP?FID=%s&KEY=%s&RAND=\""
                  % (fid, key)) + RAND_TAIL
    return script


def share_page(name, fid, key):
    """The share page of a file: (body bytes, charset)."""
    title = "\u6587\u4ef6\u5206\u4eab"  # 文件分享
    hint = "\u8bf7\u8f93\u5165\u9a8c\u8bc1\u7801\u4e0b\u8f7d"  # 请输入验证码下载
    before = ""
    if name == "decoy":
        before = '<a href="/report.php?fid=9999&key=decoy&from=share">report</a>\n'
    script = "" if name == "noscript" else "<script>%s</script>\n" % captcha_script(
        fid, key, upper=(name == "upper"))
    charset = "utf-8" if name == "utf8" else "gbk"
    html = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=%s">'
            "<title>%s</title></head><body>\n<h1>%s</h1>\n%s<p>%s</p>\n%s</body></html>\n"
            % (charset, title, title, before, hint, script))
    return html.encode("utf-8" if charset == "utf-8" else "cp936"), charset


def answer_page(link, second=None):
    text = "\u4e0b\u8f7d\u5730\u5740".encode("cp936")  # 下载地址
    anchors = b'<a class="thunder" href="' + link + b'" id="thunder_downurl">' + text + b"</a>\n"
    if second is not None:
        anchors += (b'<a class="thunder" href="' + second + b'" id="thunder_downurl">'
                    + text + b"</a>\n")
    return b"<html><body>\n" + anchors + b"</body></html>\n"


WRONG_PAGE = ("<html><body><p>\u9a8c\u8bc1\u7801\u9519\u8bef</p></body></html>\n"  # 验证码错误
              .encode("cp936"))


# --- the server -------------------------------------------------------------------

class Service:
    """The service's state: sessions keyed by the share page's cookie."""

    def __init__(self):
        self.lock = threading.Lock()
        self.sessions = {}  # share cookie -> dict(name, fid, key, code, image_cookie)
        self.requests = []
        self.last_code = ""

    def log_text(self):
        """The requests, one a line: method, path, Cookie header and body,
        separated by tabs (bytes as received)."""
        with self.lock:
            return "".join("%s\t%s\t%s\t%s\n" % (r["method"], r["path"], r["cookie"], r["body"])
                           for r in self.requests).encode("latin-1")

    def state(self):
        with self.lock:
            return {"sessions": self.sessions, "last_code": self.last_code,
                    "requests": self.requests}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "StandIn/1.0"
    service = None  # set by main

    def log_message(self, fmt, *args):  # keep the terminal quiet
        pass

    def cookies(self):
        jar = http.cookies.SimpleCookie()
        try:
            jar.load(self.headers.get("Cookie", ""))
        except http.cookies.CookieError:
            return {}
        return {k: m.value for k, m in jar.items()}

    def entry(self, body=b""):
        """This request as the log keeps it."""
        return {"method": self.command, "path": self.path,
                "cookie": self.headers.get("Cookie", ""),
                "body": body.decode("latin-1"),
                "headers": [[k, v] for k, v in self.headers.items()]}

    def record(self, body=b""):
        with self.service.lock:
            self.service.requests.append(self.entry(body))

    def answer(self, status, body, content_type, set_cookies=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for cookie in set_cookies:
            self.send_header("Set-Cookie", cookie)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/__stand-in/state":
            body = json.dumps(self.service.state(), ensure_ascii=False).encode("utf-8")
            return self.answer(200, body, "application/json; charset=utf-8")
        if url.path == "/__stand-in/code":
            return self.answer(200, self.service.last_code.encode(), "text/plain")
        if url.path == "/__stand-in/log":
            return self.answer(200, self.service.log_text(), "text/plain; charset=iso-8859-1")
        if url.path == "/randcodeV2.php":
            return self.image(urllib.parse.parse_qs(url.query))
        self.record()
        if url.path == "/":
            return self.index()
        if url.path == "/s/stall":
            return self.stall()
        if url.path.startswith("/s/") and url.path[3:] in FILES:
            return self.share(url.path[3:])
        self.answer(404, b"not found\n", "text/plain")

    def index(self):
        port = self.server.server_address[1]
        items = "".join('<li><a href="/s/%s">http://127.0.0.1:%d/s/%s</a></li>' % (n, port, n)
                        for n in FILES)
        self.answer(200, ("<html><body><ul>%s</ul></body></html>" % items).encode(),
                    "text/html; charset=utf-8")

    def stall(self):
        # Nothing is sent; the thread sleeps in pieces so that the process
        # still ends at once when told to.
        deadline = time.monotonic() + STALL_SECONDS
        while time.monotonic() < deadline:
            time.sleep(0.5)
        self.close_connection = True

    def share(self, name):
        fid, _, _ = FILES[name]
        # The key stays the same for a file, so two Gets of one page give one
        # image address; the session lives in the cookie.
        key = hashlib.sha1(name.encode()).hexdigest()[:8]
        share_cookie = secrets.token_hex(8)
        with self.service.lock:
            self.service.sessions[share_cookie] = {
                "name": name, "fid": fid, "key": key, "code": "", "image_cookie": ""}
        body, charset = share_page(name, fid, key)
        self.answer(200, body, "text/html; charset=%s" % charset,
                    ["sharesid=%s; Path=/" % share_cookie])

    def image(self, query):
        # The request enters the log under the same lock as its code, so that
        # whoever sees the request in the log reads this code, not the last.
        share_cookie = self.cookies().get("sharesid", "")
        with self.service.lock:
            self.service.requests.append(self.entry())
            session = self.service.sessions.get(share_cookie)
            valid = (session is not None and query.get("fid") == [session["fid"]]
                     and query.get("key") == [session["key"]]
                     and query.get("rand") is not None)
            if valid:
                session["code"] = "%04d" % secrets.randbelow(10000)
                session["image_cookie"] = secrets.token_hex(8)
                self.service.last_code = session["code"]
                code, image_cookie = session["code"], session["image_cookie"]
        if not valid:
            return self.answer(403, b"no session\n", "text/plain")
        self.answer(200, captcha_png(code), "image/png",
                    ["codesid=%s; Path=/" % image_cookie])

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        self.record(body)
        if urllib.parse.urlsplit(self.path).path != "/guest_loginV2.php":
            return self.answer(404, b"not found\n", "text/plain")
        jar = self.cookies()
        with self.service.lock:
            session = self.service.sessions.get(jar.get("sharesid", ""))
            ok = (session is not None and session["code"] != ""
                  and jar.get("codesid") == session["image_cookie"]
                  and body == ("file_id=%s&randcode=%s&Comfirm.x=109&Comfirm.y=40"
                               % (session["fid"], session["code"])).encode())
            name = session["name"] if session else ""
        if not ok:
            return self.answer(200, WRONG_PAGE, "text/html; charset=gbk")
        _, kind, address = FILES[name]
        second = wrap_link("plain", SECOND_LINK) if name == "twice" else None
        self.answer(200, answer_page(wrap_link(kind, address), second), "text/html; charset=gbk")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    args = parser.parse_args()
    Handler.service = Service()
    server = http.server.ThreadingHTTPServer((args.host, args.port), Handler)
    server.daemon_threads = True
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    print("listening on http://%s:%d" % (args.host, port), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
