#!/usr/bin/env python3
"""A scripted HTTP server for the request routine's tests and benchmarks.

Listens on 127.0.0.1, port 0, in plain HTTP and, when given a certificate and
key, also in TLS. Prints "ports PLAIN TLS" (TLS 0 without a certificate) on
standard output, then reads commands from standard input, one a line:

  queue HEX MODE   ("-" for no bytes) answer the next request (on either port) with the bytes HEX;
                   MODE "close" closes the connection after them, "stall"
                   keeps it open without sending more, "hang" reads the
                   request and never answers, "trickle" sends the bytes one
                   at a time, 10 a second, then keeps the connection open,
                   "endless" sends the bytes and then blocks of "z" until the
                   client goes away.
  reset            forget queued answers.
Each command is confirmed with "ok". Every request received is printed as
"request PORTKIND HEX" (PORTKIND "plain" or "tls"), with its exact bytes: the
head up to the blank line and as many body bytes as Content-Length says.
A request with no answer queued gets a 500 answer.
"""
import queue
import socket
import ssl
import sys
import threading
import time

queue_lock = threading.Lock()
answers = []
hanging = []


lines_out = queue.Queue()


def say(line):
    # Written by one thread of its own, so that a reader that is busy (the
    # test, while its request runs) never holds up the answers.
    lines_out.put(line)


def write_loop():
    while True:
        line = lines_out.get()
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return data
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + body


def serve(conn, kind):
    try:
        request = read_request(conn)
        if not request:
            conn.close()
            return
        say("request %s %s" % (kind, request.hex()))
        with queue_lock:
            answer = answers.pop(0) if answers else (
                b"HTTP/1.1 500 Unscripted\r\nContent-Length: 0\r\n\r\n", "close")
        data, mode = answer
        if mode == "hang":
            hanging.append(conn)
            return
        if mode == "trickle":
            for i in range(len(data)):
                conn.sendall(data[i:i + 1])
                time.sleep(0.1)
            hanging.append(conn)
            return
        conn.sendall(data)
        if mode == "endless":
            block = b"z" * 65536
            while True:
                conn.sendall(block)
        if mode == "stall":
            hanging.append(conn)
            return
        try:
            conn.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        conn.close()
    except (OSError, ssl.SSLError):
        conn.close()


def accept_loop(listener, kind, context):
    while True:
        conn, _ = listener.accept()
        if context is not None:
            try:
                conn.settimeout(10)
                conn = context.wrap_socket(conn, server_side=True)
                conn.settimeout(None)
            except (OSError, ssl.SSLError):
                conn.close()
                continue
        threading.Thread(target=serve, args=(conn, kind), daemon=True).start()


def listen():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    return listener


def main():
    threading.Thread(target=write_loop, daemon=True).start()
    plain = listen()
    threading.Thread(target=accept_loop, args=(plain, "plain", None), daemon=True).start()
    tls_port = 0
    if len(sys.argv) == 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[1], sys.argv[2])
        secure = listen()
        tls_port = secure.getsockname()[1]
        threading.Thread(target=accept_loop, args=(secure, "tls", context), daemon=True).start()
    say("ports %d %d" % (plain.getsockname()[1], tls_port))
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        if words[0] == "queue":
            with queue_lock:
                data = b"" if words[1] == "-" else bytes.fromhex(words[1])
                answers.append((data, words[2]))
        elif words[0] == "reset":
            with queue_lock:
                answers.clear()
        say("ok")


if __name__ == "__main__":
    main()
