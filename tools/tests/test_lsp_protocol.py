#!/usr/bin/env python3
"""kolt-settings lsp over a pipe: framing and JSON-RPC errors, the life cycle, edits in
UTF-16 and UTF-8 positions, the order and debouncing of diagnostics, and what the
features add on the wire."""

import argparse
import sys
import unittest

from lsp_client import Client, frame

TOOL = None  # set in main()
URI = "file:///project/settings.xml"

PARSE, INVALID_REQUEST, NOT_FOUND, INVALID_PARAMS, NOT_INITIALIZED = -32700, -32600, -32601, -32602, -32002


def rpc(id, method, params=None):
    message = {"jsonrpc": "2.0", "id": id, "method": method}
    if params is not None:
        message["params"] = params
    return frame(message)


def hover(line, character, uri=URI):
    return {"textDocument": {"uri": uri}, "position": {"line": line, "character": character}}


def opened(client, text, version=1):
    client.notify("textDocument/didOpen",
                  {"textDocument": {"uri": URI, "languageId": "xml", "version": version, "text": text}})


def change(client, version, *edits):
    """Each edit: (start line, start character, end line, end character, text), or a text."""
    changes = [{"text": e} if isinstance(e, str) else
               {"range": {"start": {"line": e[0], "character": e[1]}, "end": {"line": e[2], "character": e[3]}},
                "text": e[4]} for e in edits]
    client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": version},
                                             "contentChanges": changes})


def ranges(published):
    """[(code, start line, start character, end character)] of a publication."""
    return [(d["code"], d["range"]["start"]["line"], d["range"]["start"]["character"],
             d["range"]["end"]["character"]) for d in published["diagnostics"]]


# Bytes that break a message, each with the error the server answers (id null). After
# each, a well-formed request must still be answered: the stream is read on.
BROKEN = [
    ("length not a number", b"Content-Length: 12x\r\n\r\n", PARSE),
    ("no length", b"Content-Type: application/vscode-jsonrpc\r\n\r\n", PARSE),
    ("header without colon", b"garbage\r\n\r\n", PARSE),
    ("not JSON", frame(b"{\"jsonrpc\": \"2.0\", "), PARSE),
    ("invalid UTF-8", frame(b'{"jsonrpc":"2.0","id":1,"method":"a\xff"}'), PARSE),
    ("a batch", frame(b"[]"), INVALID_REQUEST),
    ("a fraction as id", rpc(1.5, "shutdown"), INVALID_REQUEST),
    ("null as id", frame({"jsonrpc": "2.0", "id": None, "method": "shutdown"}), INVALID_REQUEST),
    ("remains of a broken message before a header", b"{\"id\": 4}", PARSE),
]

# Requests that fail on their own, with the error answered under their id.
FAILING = [
    ("no method", {"jsonrpc": "2.0", "id": 4}, INVALID_REQUEST),
    ("wrong protocol version", {"jsonrpc": "1.0", "id": 5, "method": "shutdown"}, INVALID_REQUEST),
    ("unknown method", {"jsonrpc": "2.0", "id": 6, "method": "textDocument/rename", "params": {}}, NOT_FOUND),
    ("unknown $/ request", {"jsonrpc": "2.0", "id": 7, "method": "$/ping"}, NOT_FOUND),
    ("params a string", {"jsonrpc": "2.0", "id": 8, "method": "textDocument/hover", "params": "x"}, INVALID_REQUEST),
    ("no position", {"jsonrpc": "2.0", "id": 9, "method": "textDocument/hover",
                     "params": {"textDocument": {"uri": URI}}}, INVALID_PARAMS),
    ("negative line", {"jsonrpc": "2.0", "id": 10, "method": "textDocument/hover", "params": hover(-1, 0)},
     INVALID_PARAMS),
    ("uri a number", {"jsonrpc": "2.0", "id": "s", "method": "textDocument/documentSymbol",
                      "params": {"textDocument": {"uri": 3}}}, INVALID_PARAMS),
    ("second initialize", {"jsonrpc": "2.0", "id": 11, "method": "initialize", "params": {"capabilities": {}}},
     INVALID_REQUEST),
]

# One line with characters of one, two and four UTF-8 bytes (the last two UTF-16 units)
# before an element the loader refuses: columns differ in each encoding.
WIDE = "<Settings><!-- \u00e9\U0001F600 --><Bogus/></Settings>\n"
BOGUS_AT = {"utf-16": 23, "utf-8": 26}


class Protocol(unittest.TestCase):
    def setUp(self):
        self.client = self.start("--debounce=100")

    def start(self, *args):
        client = Client(TOOL, *args)
        self.addCleanup(client.kill)
        return client

    def assertError(self, reply, code, id=None):
        self.assertEqual((reply.get("id"), reply.get("error", {}).get("code")), (id, code), reply)

    def test_broken_messages_are_answered_and_reading_goes_on(self):
        c = self.client
        c.initialize()
        for label, data, code in BROKEN:
            with self.subTest(label):
                c.send(data + rpc(1, "textDocument/documentSymbol", {"textDocument": {"uri": URI}}))
                self.assertError(c.wait(lambda m: "error" in m or m.get("id") == 1), code)
                self.assertEqual(c.wait(lambda m: m.get("id") == 1)["result"], [])
        for label, message, code in FAILING:
            with self.subTest(label):
                c.send(message)
                self.assertError(c.wait(lambda m: m.get("id") == message["id"]), code, message["id"])
        # A body larger than the limit is skipped unread: here it swallows the rest.
        c.send(b"Content-Length: 99999999999\r\n\r\n")
        self.assertError(c.wait(lambda m: "error" in m), PARSE)
        self.assertEqual(c.close(), 1)

    def test_life_cycle(self):
        c = self.client
        self.assertError(c.request("textDocument/hover", hover(0, 0), id=1), NOT_INITIALIZED, 1)
        # Capabilities nested 200,000 deep: read in place, never copied (a copy recurses).
        c.send(frame(b'{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"x":'
                     + b"[" * 200000 + b"]" * 200000 + b"}}}"))
        self.assertIn("capabilities", c.wait(lambda m: m.get("id") == 1)["result"])
        self.assertIsNone(c.request("shutdown")["result"])
        self.assertError(c.request("textDocument/hover", hover(0, 0), id=2), INVALID_REQUEST, 2)
        self.assertEqual(c.finish(shutdown=False), 0)

    def test_exit_without_shutdown_and_truncated_input(self):
        for tail, code in [(frame({"jsonrpc": "2.0", "method": "exit"}), 1), (b"Content-Length: 50\r\n\r\n{", 1)]:
            with self.subTest(tail):
                c = self.start()
                c.initialize()
                c.send(tail)
                self.assertEqual(c.close(), code)

    def test_unknown_documents(self):
        c = self.client
        c.initialize()
        params = hover(0, 0, "file:///nowhere.xml")
        self.assertEqual(c.request("textDocument/completion", params)["result"]["items"], [])
        self.assertIsNone(c.request("textDocument/hover", params)["result"])
        self.assertEqual(c.request("textDocument/codeAction", dict(params, range={
            "start": params["position"], "end": params["position"]}, context={"diagnostics": []}))["result"], [])
        change(c, 2, "<Settings/>")  # on a document that is not open: ignored
        self.assertEqual(c.finish(), 0)

    def test_incremental_edits_in_utf16(self):
        c = self.client
        c.initialize()
        opened(c, WIDE)
        at = BOGUS_AT["utf-16"]
        self.assertEqual(ranges(c.diagnostics(URI, 1)), [("KS001", 0, at, at + 5)])
        # Insert an emoji between the two wide characters and one past the end of the
        # line (clamped to its end); in one notification, each edit on the text before.
        change(c, 2, (0, 16, 0, 16, "\U0001F600"), (0, 999, 0, 999, "\r\n<!-- \u00e9 -->"))
        self.assertEqual(ranges(c.diagnostics(URI, 2)), [("KS001", 0, at + 2, at + 7)])
        # Rename Bogus to RunType through a range given in UTF-16 units.
        change(c, 3, (0, at + 2, 0, at + 7, "RunType"))
        self.assertEqual(ranges(c.diagnostics(URI, 3)), [])
        self.assertEqual(c.finish(), 0)

    def test_utf8_positions_when_the_client_offers_them(self):
        c = self.client
        self.assertEqual(c.initialize({"general": {"positionEncodings": ["utf-16", "utf-8"]}})["capabilities"]
                         ["positionEncoding"], "utf-8")
        opened(c, WIDE)
        at = BOGUS_AT["utf-8"]
        self.assertEqual(ranges(c.diagnostics(URI, 1)), [("KS001", 0, at, at + 5)])
        self.assertEqual(c.finish(), 0)

    def test_diagnostics_are_debounced_never_stale_and_cleared_on_close(self):
        c = self.client
        c.initialize()
        opened(c, "<Settings><A/></Settings>")
        for version in range(2, 7):  # well within the debounce window
            change(c, version, "<Settings>" + "<A/>" * version + "</Settings>")
        last = c.diagnostics(URI, 6)
        self.assertEqual(len(last["diagnostics"]), 1)  # the load stops at the first
        versions = [m["params"]["version"] for m in c.seen if m.get("method") == "textDocument/publishDiagnostics"]
        self.assertIn(versions, ([1, 6], [6]))
        c.notify("textDocument/didClose", {"textDocument": {"uri": URI}})
        self.assertEqual(c.diagnostics(URI), {"uri": URI, "diagnostics": []})
        self.assertEqual(c.finish(), 0)

    def test_warnings_related_places_snippets_and_disabled_fixes(self):
        c = self.client
        c.initialize({"textDocument": {"completion": {"completionItem": {"snippetSupport": True}}}})
        opened(c, "<S><OptionLists><Global_OptionLists><Macro2Expand><Call/></Macro2Expand>\n"
                  "<Macro2Expand><Macro>A</Macro><Macro>A</Macro></Macro2Expand></Global_OptionLists></OptionLists></S>")
        found = {d["code"]: d for d in c.diagnostics(URI, 1)["diagnostics"]}
        self.assertEqual(found["KW006"]["severity"], 2)
        self.assertEqual(found["KW006"]["relatedInformation"][0]["location"]["range"]["start"],
                         {"line": 1, "character": 15})
        [action] = c.request("textDocument/codeAction", dict(hover(0, 0), range=found["KS007"]["range"],
                                                            context={"diagnostics": []}))["result"]
        self.assertIn("reason", action["disabled"])
        change(c, 2, (1, 46, 1, 46, "<"))
        [item] = c.request("textDocument/completion", hover(1, 47))["result"]["items"]
        self.assertEqual((item["insertTextFormat"], item["insertTextMode"], item["textEdit"]["newText"]),
                         (2, 1, "Macro>$1</Macro>"))
        self.assertEqual(c.finish(), 0)


def main():
    global TOOL
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    args, rest = parser.parse_known_args()
    TOOL = args.tool
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == "__main__":
    main()
