#!/usr/bin/env python3
"""A scripted language server to stand behind `quillmark lsp --with`. It answers
completion and code actions of its own, and requests named "child/..." make it
misbehave on purpose:

    child/ask        it asks the editor workspace/configuration (under id 1, the id
                     quillmark's own first request also takes) and reports the answer
                     it gets with the notification child/answered
    child/askCancel  it asks, then cancels its own request with $/cancelRequest
    child/hold       it answers only when the request is cancelled (with -32800)
    child/garbage    it writes a body that is not JSON and a broken header, then answers
    child/huge       it announces a body of a terabyte, and sends none
    child/failActions  its code actions answer with an error from now on
    child/die        it exits at once with status 3, answering nothing
    child/publish    it publishes its params (uri, diagnostics) as publishDiagnostics, then answers

Every message it reads is appended as one JSON line to $CHILD_LOG when set.

    child_server.py [--encoding ENC] [--offset-encoding ENC]
        (the positionEncoding it answers; the offsetEncoding clangd answered before it)
"""
import json
import os
import sys

def option(name):
    return sys.argv[sys.argv.index(name) + 1] if name in sys.argv else None


ENCODING = option("--encoding")
OFFSET_ENCODING = option("--offset-encoding")
LOG = os.environ.get("CHILD_LOG")
stdin = sys.stdin.buffer
stdout = sys.stdout.buffer


def read():
    length = None
    while True:
        line = stdin.readline()
        if not line:
            return None
        line = line.strip()
        if not line:
            break
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value)
    body = stdin.read(length)
    if LOG:
        with open(LOG, "a", encoding="utf-8") as log:
            log.write(body.decode("utf-8") + "\n")
    return json.loads(body)


def write_raw(data):
    stdout.write(data)
    stdout.flush()


def send(message):
    body = json.dumps(message).encode("utf-8")
    write_raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)


def answer(id_, result):
    send({"jsonrpc": "2.0", "id": id_, "result": result})


def main():
    fail_actions = False
    held = {}
    asked = {}
    while True:
        message = read()
        if message is None:
            return 0
        method = message.get("method")
        id_ = message.get("id")
        params = message.get("params") or {}
        if method is None:  # an answer to one of our requests
            what = asked.pop(id_, None)
            send({"jsonrpc": "2.0", "method": "child/answered",
                  "params": {"id": id_, "what": what, "answer": message}})
        elif method == "initialize":
            capabilities = {
                "textDocumentSync": {"openClose": True, "change": 1},
                "completionProvider": {"triggerCharacters": ["."]},
                "codeActionProvider": {"codeActionKinds": ["quickfix"]},
                "executeCommandProvider": {"commands": ["child.fix"]},
            }
            if ENCODING:
                capabilities["positionEncoding"] = ENCODING
            result = {"capabilities": capabilities, "serverInfo": {"name": "child"}}
            if OFFSET_ENCODING:
                result["offsetEncoding"] = OFFSET_ENCODING
            answer(id_, result)
        elif method == "shutdown":
            answer(id_, None)
        elif method == "exit":
            return 0
        elif method == "textDocument/completion":
            answer(id_, [{"label": "child_completion"}])
        elif method == "textDocument/codeAction":
            if fail_actions:
                send({"jsonrpc": "2.0", "id": id_,
                      "error": {"code": -32603, "message": "child failed"}})
            else:
                answer(id_, [{"title": "Child: fix it", "kind": "quickfix",
                              "command": {"title": "fix", "command": "child.fix"}}])
        elif method == "workspace/executeCommand":
            answer(id_, {"ranBy": "child", "command": params.get("command")})
        elif method == "child/ask":
            asked[1] = "configuration"
            send({"jsonrpc": "2.0", "id": 1, "method": "workspace/configuration",
                  "params": {"items": [{"section": "child"}]}})
            answer(id_, None)
        elif method == "child/askCancel":
            asked["c"] = "cancelled"
            send({"jsonrpc": "2.0", "id": "c", "method": "workspace/configuration",
                  "params": {"items": []}})
            send({"jsonrpc": "2.0", "method": "$/cancelRequest", "params": {"id": "c"}})
            answer(id_, None)
        elif method == "child/hold":
            held[id_] = True
        elif method == "$/cancelRequest":
            if held.pop(params.get("id"), None):
                send({"jsonrpc": "2.0", "id": params.get("id"),
                      "error": {"code": -32800, "message": "cancelled"}})
        elif method == "child/garbage":
            write_raw(b"Content-Length: 9\r\n\r\n{not json")
            write_raw(b"Content-Length: nine\r\n\r\n")
            write_raw(b"Content-Length: 2\r\n\r\n[]")
            send({"jsonrpc": "2.0", "id": {"odd": 1}, "result": None})
            send({"jsonrpc": "2.0", "id": 424242, "result": "an answer to nothing"})
            answer(id_, "still here")
        elif method == "child/huge":
            write_raw(b"Content-Length: 999999999999\r\n\r\n")
        elif method == "child/failActions":
            fail_actions = True
            answer(id_, None)
        elif method == "child/publish":
            send({"jsonrpc": "2.0", "method": "textDocument/publishDiagnostics", "params": params})
            answer(id_, None)
        elif method == "child/die":
            os._exit(3)
        elif id_ is not None:
            send({"jsonrpc": "2.0", "id": id_,
                  "error": {"code": -32601, "message": "unknown method " + str(method)}})


if __name__ == "__main__":
    sys.exit(main())
