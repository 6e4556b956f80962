"""A run of tovrel-get from pipes that answers each captcha prompt as it
appears."""

import os
import selectors
import subprocess
import time

PROMPT = "验证码: ".encode("utf-8")


def run_piped(command, answer, timeout=30, cwd=None, env=None):
    """Runs command with standard input, output and error on pipes. Each time
    the captcha prompt appears on standard error, answer(n) (n counting from 0)
    gives the line to type, or None to close standard input. Returns (exit
    status, stdout bytes, stderr bytes, prompts seen)."""
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, cwd=cwd, env=env)
    selector = selectors.DefaultSelector()
    selector.register(process.stdout, selectors.EVENT_READ)
    selector.register(process.stderr, selectors.EVENT_READ)
    out, err, prompts = b"", b"", 0
    deadline = time.monotonic() + timeout
    while selector.get_map() and time.monotonic() < deadline:
        for key, _ in selector.select(timeout=max(0.0, deadline - time.monotonic())):
            chunk = os.read(key.fileobj.fileno(), 65536)
            if not chunk:
                selector.unregister(key.fileobj)
                continue
            if key.fileobj is process.stdout:
                out += chunk
                continue
            err += chunk
            while err.count(PROMPT) > prompts:
                line = answer(prompts)
                prompts += 1
                if line is None:
                    process.stdin.close()
                elif not process.stdin.closed:
                    try:
                        process.stdin.write(line.encode("utf-8") + b"\n")
                        process.stdin.flush()
                    except BrokenPipeError:
                        pass
    if selector.get_map():
        process.kill()
        process.communicate()
        raise AssertionError("%s did not finish within %ds; stderr: %r" % (command, timeout, err))
    for pipe in (process.stdin, process.stdout, process.stderr):
        pipe.close()
    return process.wait(timeout=10), out, err, prompts
