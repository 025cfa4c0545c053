"""lsp_client.py - Talks to ferrox-lsp over a pipe, for the tests and the benchmark.

Client(program) starts the server; request() sends a request and returns its
response, skipping (and keeping) the notifications and the server's own
requests that come before it; notify() sends a notification; wait_for()
waits for a notification or a request of the server.
"""

import json
import os
import select
import subprocess
import time


class ProtocolError(Exception):
    pass


class Client:
    def __init__(self, program, args=(), cwd=None, env=None):
        self.process = subprocess.Popen(
            [program, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, cwd=cwd, env=env, bufsize=0)
        self.buffer = b""
        self.next_id = 1
        self.notifications = []
        self.log = []  # (direction, message) in order

    # -- writing ---------------------------------------------------------
    def send_raw(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send(self, message):
        self.log.append(("->", message))
        body = json.dumps(message).encode()
        self.send_raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def notify(self, method, params=None):
        message = {"jsonrpc": "2.0", "method": method}
        if params is not None:
            message["params"] = params
        self.send(message)

    def request(self, method, params=None, timeout=30):
        ident = self.next_id
        self.next_id += 1
        message = {"jsonrpc": "2.0", "id": ident, "method": method}
        if params is not None:
            message["params"] = params
        self.send(message)
        return self.response(ident, timeout)

    # -- reading ---------------------------------------------------------
    def read_message(self, timeout):
        deadline = time.monotonic() + timeout
        while True:
            header_end = self.buffer.find(b"\r\n\r\n")
            if header_end >= 0:
                header = self.buffer[:header_end].decode()
                length = None
                for line in header.split("\r\n"):
                    name, _, value = line.partition(":")
                    if name.strip().lower() == "content-length":
                        length = int(value)
                if length is None:
                    raise ProtocolError("header without Content-Length: %r" % header)
                start = header_end + 4
                if len(self.buffer) >= start + length:
                    body = self.buffer[start:start + length]
                    self.buffer = self.buffer[start + length:]
                    message = json.loads(body)
                    self.log.append(("<-", message))
                    return message
            left = deadline - time.monotonic()
            if left <= 0:
                raise ProtocolError("no message within %.1f s" % timeout)
            ready, _, _ = select.select([self.process.stdout], [], [], left)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 1 << 16)
                if not chunk:
                    raise ProtocolError("the server closed its output")
                self.buffer += chunk

    def response(self, ident, timeout=30):
        while True:
            message = self.read_message(timeout)
            if "method" in message:
                self.notifications.append(message)
                continue
            if message.get("id") == ident:
                return message

    def wait_for(self, method, predicate=lambda params: True, timeout=30):
        """The first notification `method` whose params satisfy `predicate`,
        received before or now."""
        for index, message in enumerate(self.notifications):
            if message["method"] == method and predicate(message.get("params")):
                del self.notifications[index]
                return message["params"]
        deadline = time.monotonic() + timeout
        while True:
            message = self.read_message(max(deadline - time.monotonic(), 0.001))
            if "method" in message:
                if message["method"] == method and predicate(message.get("params")):
                    return message["params"]
                self.notifications.append(message)

    def diagnostics(self, uri, timeout=30):
        """The next publishDiagnostics for `uri`."""
        return self.wait_for("textDocument/publishDiagnostics",
                             lambda params: params["uri"] == uri, timeout)["diagnostics"]

    # -- life ------------------------------------------------------------
    def initialize(self, root, options=None, capabilities=None):
        result = self.request("initialize", {
            "processId": os.getpid(),
            "rootUri": "file://" + root,
            "capabilities": capabilities or {},
            "initializationOptions": options or {}})
        self.notify("initialized", {})
        return result["result"]

    def close(self):
        try:
            self.request("shutdown", timeout=10)
            self.notify("exit")
            return self.process.wait(timeout=10)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()


def uri(path):
    return "file://" + path
