"""A small JSON-RPC client for `kolt-settings lsp`: frames messages, reads every message
the server writes on a thread of its own, and waits for the ones a test wants."""

import json
import queue
import subprocess
import threading
import time

TIMEOUT = 20  # seconds for any one answer


def frame(message):
    body = message if isinstance(message, bytes) else json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


class Client:
    def __init__(self, tool, *args):
        self.proc = subprocess.Popen([tool, "lsp", *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.inbox = queue.Queue()
        self.seen = []  # every message received, in order
        self.next_id = 1000
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        out = self.proc.stdout
        while True:
            header = b""
            while not header.endswith(b"\r\n\r\n"):
                byte = out.read(1)
                if not byte:
                    self.inbox.put(None)
                    return
                header += byte
            length = int(header.split(b":")[1])
            self.inbox.put(json.loads(out.read(length)))

    def send(self, message):
        self.proc.stdin.write(frame(message) if isinstance(message, (dict, list)) else message)
        self.proc.stdin.flush()

    def notify(self, method, params=None):
        message = {"jsonrpc": "2.0", "method": method}
        if params is not None:
            message["params"] = params
        self.send(message)

    def wait(self, accept, timeout=TIMEOUT):
        """The next message `accept` takes; the ones passed over stay in `seen`."""
        end = time.monotonic() + timeout
        while True:
            message = self.inbox.get(timeout=max(0.01, end - time.monotonic()))
            if message is None:
                raise EOFError("the server closed its output")
            self.seen.append(message)
            if accept(message):
                return message

    def request(self, method, params=None, id=None):
        """The whole response (result or error) to a request."""
        self.next_id += 1
        id = self.next_id if id is None else id
        message = {"jsonrpc": "2.0", "id": id, "method": method}
        if params is not None:
            message["params"] = params
        self.send(message)
        return self.wait(lambda m: m.get("id") == id and "method" not in m)

    def initialize(self, capabilities=None):
        reply = self.request("initialize", {"processId": None, "rootUri": None,
                                            "capabilities": capabilities or {}})
        self.notify("initialized", {})
        return reply["result"]

    def diagnostics(self, uri, version=None):
        """The next publication for `uri` (of `version` when given)."""
        return self.wait(lambda m: m.get("method") == "textDocument/publishDiagnostics"
                         and m["params"]["uri"] == uri
                         and (version is None or m["params"].get("version") == version))["params"]

    def finish(self, shutdown=True):
        """Shuts the server down (or not), sends exit and returns its exit status."""
        if shutdown:
            self.request("shutdown")
        self.notify("exit")
        return self.close()

    def kill(self):
        """Ends a server a test left running; closes the pipes."""
        if self.proc.poll() is None:
            self.proc.kill()
        self.close()

    def close(self):
        try:
            self.proc.stdin.close()
        except BrokenPipeError:
            pass
        code = self.proc.wait(timeout=TIMEOUT)
        self.proc.stdout.close()  # the reading thread ends here
        return code
