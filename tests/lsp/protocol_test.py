#!/usr/bin/env python3
"""Drives the language server binary as an editor would, over pipes, and checks
every answer. The comment edits are compared byte for byte with what the
command line writes for the same file and selection.

    protocol_test.py QUILLMARK [CASE...]    (the server is `QUILLMARK lsp`; only the
                                             named cases when some are named)
"""
import json
import os
import random
import select
import shutil
import subprocess
import sys
import tempfile
import time

QUILLMARK = sys.argv[1]
ONLY = sys.argv[2:]
WORK = tempfile.mkdtemp(prefix="quillmark-lsp-")
SETTINGS = os.path.join(WORK, "settings.ini")
# One date for the server and the command line, even across midnight.
ENV = dict(os.environ, XDG_CONFIG_HOME=os.path.join(WORK, "config"), QUILLMARK_DATE="2026-03-14")
TIMEOUT = 20
CHILD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "child_server.py")
results = {"passed": 0, "failed": 0}


class Server:
    """One server process and the client's side of its two pipes."""

    def __init__(self, args=("--settings", SETTINGS), env=None, prefix=()):
        self.proc = subprocess.Popen([*prefix, QUILLMARK, "lsp", *args], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, env=env or ENV)
        self.buffer = b""
        self.next_id = 1000
        self.inbox = []  # notifications and server requests not yet looked at

    def send_raw(self, data):
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def send(self, message):
        body = json.dumps(message, ensure_ascii=False).encode("utf-8")
        self.send_raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def _read_some(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise TimeoutError("no answer from the server")
        ready, _, _ = select.select([self.proc.stdout], [], [], remaining)
        if not ready:
            raise TimeoutError("no answer from the server")
        chunk = os.read(self.proc.stdout.fileno(), 65536)
        if not chunk:
            raise EOFError("the server closed its output")
        self.buffer += chunk

    def receive(self, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        while b"\r\n\r\n" not in self.buffer:
            self._read_some(deadline)
        head, _, rest = self.buffer.partition(b"\r\n\r\n")
        length = int(head.split(b":")[1])
        while len(rest) < length:
            self._read_some(deadline)
            head, _, rest = self.buffer.partition(b"\r\n\r\n")
        self.buffer = rest[length:]
        return json.loads(rest[:length].decode("utf-8"))

    def request(self, method, params=None):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method,
                   "params": params if params is not None else {}})
        return self.response(self.next_id)

    def response(self, id_):
        while True:
            message = self.receive()
            if message.get("id") == id_ and "method" not in message:
                return message
            self.inbox.append(message)

    def notify(self, method, params=None):
        self.send({"jsonrpc": "2.0", "method": method,
                   "params": params if params is not None else {}})

    def expect_silence(self, timeout=0.3):
        try:
            message = self.receive(timeout)
        except TimeoutError:
            return None
        return message

    def take(self, method):
        """The first message from the inbox (or the pipe) with this method."""
        for i, message in enumerate(self.inbox):
            if message.get("method") == method:
                return self.inbox.pop(i)
        while True:
            message = self.receive()
            if message.get("method") == method:
                return message
            self.inbox.append(message)

    def initialize(self, capabilities=None, options=None, default_parser=False):
        """The system's behaviour is the keyword mode's: asked for outright
        unless the case is about the default."""
        caps = capabilities if capabilities is not None else {
            "workspace": {"applyEdit": True, "workspaceEdit": {"documentChanges": True}},
            "window": {"showDocument": {"support": True}},
            "textDocument": {"codeAction": {"codeActionLiteralSupport": {
                "codeActionKind": {"valueSet": ["refactor.rewrite"]}}}},
        }
        params = {"processId": None, "rootUri": None, "capabilities": caps}
        if not default_parser:
            options = dict(options or {})
            options.setdefault("parser", "keywords")
        if options is not None:
            params["initializationOptions"] = options
        answer = self.request("initialize", params)
        self.notify("initialized")
        return answer

    def finish(self):
        """shutdown, exit; the exit status."""
        self.request("shutdown")
        self.notify("exit")
        return self.wait()

    def wait(self, timeout=TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise


def check(condition, what, detail=""):
    if condition:
        results["passed"] += 1
    else:
        results["failed"] += 1
        print("FAIL: %s %s" % (what, detail))


def case(function):
    """Runs one test function; a crash or a timeout counts as a failure."""
    if ONLY and function.__name__ not in ONLY:
        return function
    try:
        function()
    except Exception as e:  # noqa: BLE001 - report and go on with the next case
        results["failed"] += 1
        import traceback
        traceback.print_exc()
        print("FAIL: %s raised %r" % (function.__name__, e))
    return function


# ---------------------------------------------------------------------------
# Position encodings: columns in the negotiated unit.

def units(text, encoding):
    if encoding == "utf-8":
        return len(text.encode("utf-8"))
    if encoding == "utf-16":
        return len(text.encode("utf-16-le")) // 2
    return len(text)


def split_lines(text):
    """Lines as the protocol counts them (LF, CR LF or CR), without breaks."""
    return text.replace("\r\n", "\n").replace("\r", "\n").split("\n")


def offset_of(text, line, character, encoding):
    """The string index of a protocol position."""
    index = 0
    for _ in range(line):
        nl = min([i for i in (text.find("\r", index), text.find("\n", index)) if i >= 0])
        index = nl + (2 if text[nl:nl + 2] == "\r\n" else 1)
    i, count = index, 0
    while count < character:
        count += units(text[i], encoding)
        i += 1
    return i


def position_of(text, offset, encoding):
    before = text[:offset]
    lines = split_lines(before)
    return {"line": len(lines) - 1, "character": units(lines[-1], encoding)}


def apply_edits(text, edits, encoding):
    """A WorkspaceEdit's TextEdits, applied as an editor applies them."""
    spans = []
    for edit in edits:
        r = edit["range"]
        spans.append((offset_of(text, r["start"]["line"], r["start"]["character"], encoding),
                      offset_of(text, r["end"]["line"], r["end"]["character"], encoding),
                      edit["newText"]))
    for start, end, new in sorted(spans, reverse=True):
        text = text[:start] + new + text[end:]
    return text


def uri_of(path):
    return "file://" + path


def titles_of(answer):
    return [a["title"] for a in answer.get("result") or []]


def open_document(server, path, text, version=1):
    server.notify("textDocument/didOpen", {"textDocument": {
        "uri": uri_of(path), "languageId": "cpp", "version": version, "text": text}})


def run_cli(*args):
    return subprocess.run([QUILLMARK, "--settings", SETTINGS, *args], capture_output=True,
                          env=ENV)


def code_actions(server, path, start, end=None):
    answer = server.request("textDocument/codeAction", {
        "textDocument": {"uri": uri_of(path)},
        "range": {"start": start, "end": end or start},
        "context": {"diagnostics": []}})
    return answer


def run_action(server, action, applied=True):
    """executeCommand for a listed action; answers the server's applyEdit.
    Returns (executeCommand answer, applyEdit params or None)."""
    command = action["command"] if isinstance(action["command"], dict) else action
    server.next_id += 1
    id_ = server.next_id
    server.send({"jsonrpc": "2.0", "id": id_, "method": "workspace/executeCommand",
                 "params": {"command": command["command"], "arguments": command["arguments"]}})
    answer = server.response(id_)
    apply = None
    for i, message in enumerate(server.inbox):
        if message.get("method") == "workspace/applyEdit":
            apply = server.inbox.pop(i)
            server.send({"jsonrpc": "2.0", "id": apply["id"],
                         "result": {"applied": applied}})
            break
    return answer, apply


def edits_of(apply):
    change = apply["params"]["edit"]
    if "documentChanges" in change:
        return change["documentChanges"][0]["edits"]
    return next(iter(change["changes"].values()))


def fixture(name, text, newline=""):
    directory = os.path.join(WORK, "project")
    os.makedirs(directory, exist_ok=True)
    open(os.path.join(directory, "CMakeLists.txt"), "a").close()
    path = os.path.join(directory, name)
    with open(path, "w", encoding="utf-8", newline=newline) as f:
        f.write(text)
    return path


def cli_caret(stdout):
    """(line, character column) from the command line's PATH:LINE:COLUMN, 1-based."""
    parts = stdout.decode("utf-8").strip().rsplit(":", 2)
    return int(parts[1]), int(parts[2])


SHAPES = ("// 形状库 😀\r\n#include <cmath>\r\n\r\n#define SQUARE(x) ((x) * (x))\r\n"
          "#define INIT {(0)}\r\n\r\nclass CShape : public CObject, protected IDrawable\r\n"
          "{\r\npublic:\r\n    virtual double Area() const = 0;\r\n};\r\n\r\n"
          "double CCircle::Area(double radius, int precision)\r\n{\r\n"
          "    return 3.14 * SQUARE(radius);\r\n}\r\nint plain = 0;\r\n")


# ---------------------------------------------------------------------------
# The cases.

@case
def lifecycle_errors():
    s = Server()
    answer = s.request("textDocument/codeAction", {})
    check(answer.get("error", {}).get("code") == -32002, "request before initialize", answer)
    s.notify("textDocument/didOpen", {"textDocument": {"uri": "file:///x", "text": "x"}})
    check(s.expect_silence() is None, "notification before initialize is dropped")
    init = s.initialize()
    caps = init["result"]["capabilities"]
    check(caps["positionEncoding"] == "utf-16", "utf-16 when the client names none", caps)
    check(caps["textDocumentSync"]["change"] == 2, "incremental sync", caps)
    check("quillmark.run" in caps["executeCommandProvider"]["commands"], "command", caps)
    again = s.request("initialize", {"capabilities": {}})
    check(again.get("error", {}).get("code") == -32600, "second initialize", again)
    unknown = s.request("textDocument/hover", {})
    check(unknown.get("error", {}).get("code") == -32601, "unknown request", unknown)
    dollar = s.request("$/somethingNew", {})
    check(dollar.get("error", {}).get("code") == -32601, "unknown $/ request", dollar)
    s.notify("workspace/didChangeConfiguration", {"settings": {}})
    s.notify("$/cancelRequest", {"id": 5})
    check(s.expect_silence() is None, "notifications and $/cancelRequest get no answer")
    down = s.request("shutdown")
    check("result" in down and down["result"] is None, "shutdown answers null", down)
    after = s.request("textDocument/codeAction", {})
    check(after.get("error", {}).get("code") == -32600, "request after shutdown", after)
    s.notify("exit")
    check(s.wait() == 0, "exit after shutdown: status 0")

    s = Server()
    s.initialize()
    s.notify("exit")
    check(s.wait() == 1, "exit without shutdown: status 1")


@case
def comment_class_matches_command_line():
    path = fixture("shapes.cpp", SHAPES)
    s = Server()
    s.initialize()
    open_document(s, path, SHAPES)
    answer = code_actions(s, path, {"line": 6, "character": 3})
    titles = [a["title"] for a in answer["result"]]
    check(titles == ["Quillmark: comment class CShape", "Quillmark: insert file header"],
          "actions on a class head at the caret", titles)
    check(all(a["kind"] == "refactor.rewrite" for a in answer["result"]), "action kind")
    execute, apply = run_action(s, answer["result"][0])
    check(execute.get("result", "x") is None, "executeCommand answers null", execute)
    check(apply is not None, "the server asks the client to apply the edit")
    edits = edits_of(apply)
    check(len(edits) == 1 and edits[0]["range"]["start"] == edits[0]["range"]["end"],
          "one insertion, not a whole-document replacement", edits)
    after = apply_edits(SHAPES, edits, "utf-16")
    out = os.path.join(WORK, "shapes.cli.cpp")
    cli = run_cli("comment", path, "--line", "7", "--output", out)
    expected = open(out, encoding="utf-8", newline="").read()
    check(after == expected, "the buffer equals the command line's file")
    show = s.take("window/showDocument")
    selection = show["params"]["selection"]
    line, column = cli_caret(cli.stdout)
    caret_line = split_lines(after)[line - 1]
    want = {"line": line - 1, "character": units(caret_line[:column - 1], "utf-16")}
    check(selection["start"] == want and selection["end"] == want,
          "showDocument puts the caret where the command line does", (selection, want))
    s.send({"jsonrpc": "2.0", "id": show["id"], "result": {"success": True}})

    # The header anywhere, as `quillmark header`.
    answer = code_actions(s, path, {"line": 16, "character": 0})
    titles = [a["title"] for a in answer["result"]]
    check(titles == ["Quillmark: insert file header"], "nothing recognised: header only", titles)
    _, apply = run_action(s, answer["result"][0])
    got = apply_edits(SHAPES, edits_of(apply), "utf-16")
    run_cli("header", path, "--output", out)
    check(got == open(out, encoding="utf-8", newline="").read(), "header as the command line")
    check(s.finish() == 0, "clean exit")


@case
def toggle_delete_matches_command_line():
    path = fixture("toggle.cpp", SHAPES)
    s = Server()
    s.initialize()
    open_document(s, path, SHAPES)
    answer = code_actions(s, path, {"line": 12, "character": 0}, {"line": 15, "character": 1})
    titles = [a["title"] for a in answer["result"]]
    check(titles[-1] == "Quillmark: toggle //DELETE!", "toggle on a range", titles)
    check(titles[0] == "Quillmark: comment member function CCircle::Area", "member title", titles)
    _, apply = run_action(s, answer["result"][-1])
    got = apply_edits(SHAPES, edits_of(apply), "utf-16")
    out = os.path.join(WORK, "toggle.cli.cpp")
    run_cli("delete", path, "--lines", "13-16", "--output", out)
    check(got == open(out, encoding="utf-8", newline="").read(), "toggle as the command line")
    s.finish()


@case
def parse_failure_shows_message():
    path = fixture("macro.cpp", SHAPES)
    s = Server()
    s.initialize()
    open_document(s, path, SHAPES)
    answer = code_actions(s, path, {"line": 4, "character": 2})
    titles = [a["title"] for a in answer["result"]]
    check(titles[0] == "Quillmark: comment macro INIT", "a rejected macro still gets its action",
          titles)
    check(not any(m.get("method") == "window/showMessage" for m in s.inbox),
          "listing shows no message")
    execute, apply = run_action(s, answer["result"][0])
    check(apply is None, "nothing to apply")
    message = s.take("window/showMessage")
    check(message["params"]["message"] == "请重新检查声明，可能存在语法错误",
          "the system's message", message)
    # The macro with parameters works, named after the macro.
    answer = code_actions(s, path, {"line": 3, "character": 0})
    check(answer["result"][0]["title"] == "Quillmark: comment macro SQUARE", "macro title",
          answer["result"][0]["title"])
    s.finish()


@case
def stale_and_unknown_documents():
    path = fixture("stale.cpp", SHAPES)
    s = Server()
    s.initialize()
    open_document(s, path, SHAPES)
    answer = code_actions(s, path, {"line": 6, "character": 0})
    s.notify("textDocument/didChange", {"textDocument": {"uri": uri_of(path), "version": 2},
                                        "contentChanges": [{"text": SHAPES + "\n"}]})
    execute, apply = run_action(s, answer["result"][0])
    check(execute.get("error", {}).get("code") == -32801 and apply is None,
          "a changed document: ContentModified", execute)
    never = code_actions(s, "/nowhere/never.cpp", {"line": 0, "character": 0})
    check(never.get("error", {}).get("code") == -32602, "a document never opened", never)
    s.notify("textDocument/didChange", {"textDocument": {"uri": "file:///never", "version": 2},
                                        "contentChanges": [{"text": "x"}]})
    far = code_actions(s, path, {"line": 10 ** 6, "character": 10 ** 9})
    check("result" in far, "positions past the end clamp", far)
    negative = code_actions(s, path, {"line": -1, "character": 0})
    check(negative.get("error", {}).get("code") == -32602, "negative position", negative)
    bad = s.request("textDocument/codeAction", {"textDocument": {"uri": uri_of(path)}})
    check(bad.get("error", {}).get("code") == -32602, "missing range", bad)
    command = s.request("workspace/executeCommand", {"command": "other.command"})
    check(command.get("error", {}).get("code") == -32602, "unknown command", command)
    s.notify("textDocument/didClose", {"textDocument": {"uri": uri_of(path)}})
    closed = code_actions(s, path, {"line": 0, "character": 0})
    check(closed.get("error", {}).get("code") == -32602, "a closed document", closed)
    check(s.finish() == 0, "still serving after all that")


@case
def framing_and_json_errors():
    s = Server()
    s.initialize()
    raw = [
        (b"Content-Length: 5\r\n\r\n{oops", -32700, "malformed JSON"),
        (b"Content-Length: 2\r\n\r\n[]", -32600, "a batch is not a request"),
        (b"Content-Length: 1\r\n\r\n7", -32600, "a number is not a request"),
        (b"Content-Type: x\r\n\r\n", -32700, "no Content-Length"),
        (b"Content-Length: ten\r\n\r\n", -32700, "Content-Length not a number"),
        (b"garbage line\r\nContent-Length: 2\r\n\r\n{}", -32700, "a stray header line"),
        (b"X" * 20000 + b"\r\n\r\n", -32700, "a header line too long"),
        (b'Content-Length: 41\r\n\r\n{"jsonrpc":"2.0","id":{},"method":"x"}   ', -32600,
         "an object as id (trailing blanks in the body)"),
    ]
    for data, code, why in raw:
        s.send_raw(data)
        answer = s.receive()
        check(answer.get("error", {}).get("code") == code and answer.get("id") is None, why,
              answer)
    # Headers in any letter case and with extras; a bare LF between headers.
    body = b'{"jsonrpc":"2.0","id":7,"method":"nothing/here"}'
    s.send_raw(b"content-length: %d\nContent-Type: application/vscode-jsonrpc; charset=utf-8"
               b"\r\n\r\n" % len(body) + body)
    answer = s.receive()
    check(answer.get("id") == 7 and answer["error"]["code"] == -32601, "lenient headers", answer)
    check(s.finish() == 0, "serving after framing errors")

    s = Server()
    s.initialize()
    s.send_raw(b"Content-Length: 99999999999999\r\n\r\n{}")
    answer = s.receive()
    check(answer.get("error", {}).get("code") == -32700, "a huge length is refused", answer)
    s.proc.stdin.close()
    check(s.wait() == 1, "input ends inside the skipped body: status 1, no hang")

    s = Server()
    s.initialize()
    s.send_raw(b"Content-Length: 100\r\n\r\n{\"jsonrpc\"")
    s.proc.stdin.close()
    check(s.wait() == 1, "input ends mid-message: status 1, no hang")

    s = Server()
    s.initialize()
    s.proc.stdout.close()  # the client stops reading
    try:
        for i in range(50):
            s.send({"jsonrpc": "2.0", "id": i, "method": "unknown/method"})
    except BrokenPipeError:
        pass
    status = s.wait()
    check(status == 1, "a client that disappears: the server ends, no signal", status)


def encoding_round(encoding, offered):
    """Incremental edits in `encoding` against a full resync of the same text."""
    random_ = random.Random(7)
    s = Server()
    init = s.initialize(capabilities={
        "general": {"positionEncodings": offered}, "workspace": {"applyEdit": True},
        "textDocument": {"codeAction": {"codeActionLiteralSupport": {}}}})
    check(init["result"]["capabilities"]["positionEncoding"] == encoding,
          "negotiated " + encoding, init["result"]["capabilities"])
    lines = ["void 函数%d😀(int 参数%d, char* 名字)" % (i, i) for i in range(30)]
    text = "\n".join(lines) + "\n"
    a = os.path.join(WORK, "inc", encoding, "doc.cpp")
    b = os.path.join(WORK, "full", encoding, "doc.cpp")
    open_document(s, a, text)
    pieces = ["中", "😀", "x", "", "𠀀文", "\r\n", "\n"]
    for version in range(2, 300):
        start = random_.randrange(len(text) + 1)
        end = min(len(text), start + random_.randrange(3))
        # Never split a character (the client sends whole characters) nor "(" and ")".
        if any(c in "()" for c in text[start:end]):
            continue
        if any(0 < i < len(text) and text[i - 1:i + 1] == "\r\n" for i in (start, end)):
            continue
        piece = random_.choice(pieces)
        if version % 3 == 0:
            piece = ""  # deletions too
        change = {"range": {"start": position_of(text, start, encoding),
                            "end": position_of(text, end, encoding)}, "text": piece}
        if random_.random() < 0.5:
            change["rangeLength"] = units(text[start:end], encoding)
        text = text[:start] + piece + text[end:]
        s.notify("textDocument/didChange", {"textDocument": {"uri": uri_of(a),
                                                             "version": version},
                                            "contentChanges": [change]})
    open_document(s, b, text)
    model_lines = split_lines(text)
    mismatches = 0
    for line in range(len(model_lines)):
        pos = {"line": line, "character": 0}
        one = code_actions(s, a, pos)["result"]
        two = code_actions(s, b, pos)["result"]
        if [x["title"] for x in one] != [x["title"] for x in two]:
            print("titles differ on line %d: %r %r" % (line, one, two))
            mismatches += 1
            continue
        if len(one) < 2:
            continue
        _, apply_a = run_action(s, one[0])
        _, apply_b = run_action(s, two[0])
        if apply_a is None or apply_b is None:
            mismatches += (apply_a is None) != (apply_b is None)
            continue
        ea, eb = edits_of(apply_a), edits_of(apply_b)
        if ea != eb:
            mismatches += 1
    check(mismatches == 0, "incremental edits equal a full resync (%s)" % encoding, mismatches)

    # Columns inside Chinese and emoji text: a selection's ends come back as sent.
    line = "int 中文😀𠀀(int 参数)"
    fixed = os.path.join(WORK, "fixed", encoding, "doc.cpp")
    open_document(s, fixed, line + "\r\n")
    c = line.find("😀")
    start = {"line": 0, "character": units(line[:c], encoding)}
    end = {"line": 0, "character": units(line[:c + 1], encoding)}
    actions = code_actions(s, fixed, start, end)["result"]
    check(actions[-1]["command"]["arguments"][0]["range"] == {"start": start, "end": end},
          "range round trip across an emoji (%s)" % encoding, actions[-1])
    _, apply = run_action(s, actions[-1])
    edit = edits_of(apply)[0]
    check(edit["range"]["start"] == start and edit["newText"] == "//DELETE!",
          "toggle marker placed at the emoji's column (%s)" % encoding, edit)
    check(apply_edits(line, [edit], encoding) == line[:c] + "//DELETE!" + line[c:],
          "the edited line (%s)" % encoding)
    # A position inside a surrogate pair (UTF-16) or a UTF-8 sequence lands on
    # the character's start.
    inside = {"line": 0, "character": start["character"] + 1}
    actions = code_actions(s, fixed, inside, end)["result"]
    got = actions[-1]["command"]["arguments"][0]["range"]["start"] if len(actions) > 1 else None
    # (In UTF-32 one unit on is the next character: the range then starts there.)
    want = start if encoding != "utf-32" else inside
    check(got == want, "a column inside a character (%s)" % encoding, (got, want))
    check(s.finish() == 0, "clean exit (%s)" % encoding)


@case
def position_encodings():
    encoding_round("utf-16", ["utf-16"])
    encoding_round("utf-8", ["utf-32", "utf-16", "utf-8"])
    encoding_round("utf-32", ["utf-32", "utf-16"])


@case
def settings_from_initialization_options():
    other = os.path.join(WORK, "other.ini")
    subprocess.run([QUILLMARK, "--settings", other, "settings", "--save", other],
                   capture_output=True, env=ENV)
    data = open(other, "rb").read().replace(b"AuthorName=", b"AuthorName=Zed ", 1)
    open(other, "wb").write(data)
    path = fixture("settings.cpp", SHAPES)
    s = Server()
    s.initialize(options={"settings": other})
    open_document(s, path, SHAPES)
    answer = code_actions(s, path, {"line": 6, "character": 0})
    _, apply = run_action(s, answer["result"][0])
    check("Zed " in edits_of(apply)[0]["newText"], "initializationOptions.settings is used")
    # A change on disk is seen by the next run.
    data = open(other, "rb").read().replace(b"AuthorName=Zed ", b"AuthorName=Yuki ", 1)
    open(other, "wb").write(data)
    _, apply = run_action(s, answer["result"][0])
    check("Yuki " in edits_of(apply)[0]["newText"], "the changed settings file is reread")
    # So is a file the command line replaces (a new file under the same name).
    third = os.path.join(WORK, "third.ini")
    open(third, "wb").write(data.replace(b"AuthorName=Yuki ", b"AuthorName=Ada ", 1))
    loaded = subprocess.run([QUILLMARK, "--settings", other, "settings", "--load", third],
                            capture_output=True, env=ENV)
    check(loaded.returncode == 0, "quillmark settings --load", loaded.stderr)
    _, apply = run_action(s, answer["result"][0])
    check("Ada " in edits_of(apply)[0]["newText"], "the replaced settings file is reread")
    s.finish()


@case
def syntax_parser_from_initialization_options():
    text = "// parse\nint parse(const std::string& s, int base = 10);\n"
    path = fixture("syntax.cpp", text)
    out = os.path.join(WORK, "syntax.cli.cpp")
    for options, cli_parser in (({"parser": "syntax"}, "syntax"), ({"parser": "keywords"}, "keywords"),
                                ({}, "syntax")):
        s = Server()
        s.initialize(options=options, default_parser=True)
        open_document(s, path, text)
        answer = code_actions(s, path, {"line": 1, "character": 0})
        comment = [a for a in answer["result"] if "comment" in a["title"]]
        cli = run_cli("--parser", cli_parser, "comment", path, "--line", "2", "--output", out)
        if cli.returncode != 0:
            # The keyword mode cannot take this head apart: neither does the server.
            check(cli_parser == "keywords", "the syntax mode comments it", cli.stderr)
            if comment:
                _, apply = run_action(s, comment[0])
                check(apply is None, "keyword mode: nothing applied", apply)
                s.take("window/showMessage")
        else:
            _, apply = run_action(s, comment[0])
            got = apply_edits(text, edits_of(apply), "utf-16")
            check(got == open(out, encoding="utf-8", newline="").read(),
                  "initializationOptions.parser=%s gives the command line's block" % cli_parser)
            s.take("window/showDocument")
        s.finish()


@case
def command_list_for_old_clients():
    path = fixture("old.cpp", SHAPES)
    s = Server()
    s.initialize(capabilities={"workspace": {"applyEdit": True}})
    open_document(s, path, SHAPES)
    answer = code_actions(s, path, {"line": 6, "character": 0})
    first = answer["result"][0]
    check(first.get("command") == "quillmark.run" and "kind" not in first,
          "Command[] for a client without code action literals", first)
    _, apply = run_action(s, first)
    check("changes" in apply["params"]["edit"], "plain changes without documentChanges")
    check(s.expect_silence() is None, "no showDocument without client support")
    s.finish()


@case
def comment_takes_the_lines_of_a_short_range():
    # Editors send the word at the caret (eglot) or a piece of a line: without
    # a whole declaration head in it, the comment takes the lines it touches.
    path = fixture("word.cpp", SHAPES)
    lines_of = split_lines(SHAPES)

    def word(line, text):
        column = lines_of[line].index(text)
        return ({"line": line, "character": column},
                {"line": line, "character": column + len(text)})

    rows = [
        # (range, title, the command line's lines, why)
        (word(6, "class"), "Quillmark: comment class CShape", "7-7", "the keyword at the caret"),
        (word(6, "CShape"), "Quillmark: comment class CShape", "7-7", "the name at the caret"),
        (word(12, "Area"), "Quillmark: comment member function CCircle::Area", "13-13",
         "a function's name"),
        (word(3, "SQUARE"), "Quillmark: comment macro SQUARE", "4-4", "a macro's name"),
        ((word(12, "Area")[0], {"line": 13, "character": 1}),
         "Quillmark: comment member function CCircle::Area", "13-14", "a region over two lines"),
        ((word(12, "Area")[0], {"line": 13, "character": 0}),
         "Quillmark: comment member function CCircle::Area", "13-13",
         "an end at a line's start does not take that line"),
    ]
    out = os.path.join(WORK, "word.cli.cpp")
    for parser in ("keywords", "syntax"):
        s = Server()
        s.initialize(options={"parser": parser})
        open_document(s, path, SHAPES)
        for (start, end), title, lines, why in rows:
            why = "%s (%s)" % (why, parser)
            answer = code_actions(s, path, start, end)
            comment = [a for a in answer["result"] if "comment" in a["title"]]
            check([a["title"] for a in comment] == [title], "named after what is commented: " + why,
                  titles_of(answer))
            cli = run_cli("--parser", parser, "comment", path, "--lines", lines, "--output", out)
            if not comment or cli.returncode != 0:
                check(cli.returncode == 0, "the command line comments it: " + why, cli.stderr)
                continue
            _, apply = run_action(s, comment[0])
            s.take("window/showDocument")
            got = apply_edits(SHAPES, edits_of(apply), "utf-16") if apply else None
            check(got == open(out, encoding="utf-8", newline="").read(),
                  "the block of --lines %s: %s" % (lines, why))
        s.finish()


# ---------------------------------------------------------------------------
# Diagnostics of stale blocks and their quick fix.

STALE = ("// 形状 😀\n#include <cmath>\n\n"
         "double CCircle::Area(double radius)\n{\n    return radius;\n}\n\n"
         "int Current(int a)\n{\n    return a;\n}\n\n"
         "// 手写的注释：不是模板\nint Foreign(int b)\n{\n    return b;\n}\n")


def line_of(text, start):
    """The 0-based protocol line of the first line starting with `start`."""
    return next(i for i, line in enumerate(split_lines(text)) if line.startswith(start))


def stale_fixture(name, newline="\r\n"):
    """A file with a stale block (Area got a parameter), a current one and a
    hand-written comment; its text."""
    path = fixture(name, STALE, newline)
    for head in ("double CCircle::Area", "int Current"):
        text = open(path, encoding="utf-8", newline="").read()
        run_cli("comment", path, "--line", str(line_of(text, head) + 1))
    text = open(path, encoding="utf-8", newline="").read()
    text = text.replace("Area(double radius)", "Area(double radius, int precision)")
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    return path, text


def diagnostics_of(server, version):
    """The next publishDiagnostics, which must be for `version`."""
    published = server.take("textDocument/publishDiagnostics")["params"]
    check(published.get("version") == version, "diagnostics of version %d" % version, published)
    return published["diagnostics"]


def quick_fixes(answer):
    return [a for a in answer.get("result") or [] if a["title"].startswith("Quillmark: refresh")]


@case
def stale_block_diagnostics_and_quick_fix():
    path, text = stale_fixture("stale_diag.cpp")
    found = json.loads(run_cli("check", "--format", "json", path).stdout)
    check(len(found) == 1 and found[0]["subject"] == "CCircle::Area", "the command line's check",
          found)
    out = os.path.join(WORK, "stale_diag.cli.cpp")
    declaration = line_of(text, "double CCircle::Area")
    run_cli("refresh", path, "--line", str(declaration + 1), "--output", out)
    refreshed = open(out, encoding="utf-8", newline="").read()
    check(refreshed != text, "the command line refreshes it")

    s = Server()
    s.initialize(default_parser=True)
    open_document(s, path, text)
    diagnostics = diagnostics_of(s, 1)
    check(len(diagnostics) == 1, "one diagnostic: none for the current and the hand-written block",
          diagnostics)
    diagnostic = diagnostics[0]
    block = found[0]["block"]
    for what, ok in (
            ("severity warning", diagnostic["severity"] == 2),
            ("source", diagnostic["source"] == "quillmark"),
            ("the check's message", diagnostic["message"] == found[0]["message"]),
            ("on a line of the block",
             block["first"] - 1 <= diagnostic["range"]["start"]["line"] <=
             diagnostic["range"]["end"]["line"] <= block["last"] - 1),
            ("the line's end in UTF-16 units",
             diagnostic["range"]["end"]["character"] ==
             units(split_lines(text)[diagnostic["range"]["end"]["line"]], "utf-16"))):
        check(ok, "the diagnostic: " + what, diagnostic)

    rows = [
        # (line, quick fix listed, why)
        (declaration, True, "on the declaration"),
        (block["first"] - 1, True, "on the block's first line"),
        (line_of(text, "int Current"), False, "on a current block's declaration"),
        (line_of(text, "int Foreign"), False, "on a hand-written comment's declaration"),
        (0, False, "far from any block"),
    ]
    for line, listed, why in rows:
        answer = s.request("textDocument/codeAction", {
            "textDocument": {"uri": uri_of(path)},
            "range": {"start": {"line": line, "character": 0},
                      "end": {"line": line, "character": 0}},
            "context": {"diagnostics": [diagnostic] if listed else []}})
        fixes = quick_fixes(answer)
        check(len(fixes) == (1 if listed else 0), "quick fix " + why, titles_of(answer))
    answer = code_actions(s, path, {"line": declaration, "character": 2})
    fix = quick_fixes(answer)[0]
    check(titles_of(answer)[0] == "Quillmark: refresh comment of CCircle::Area" and
          fix["kind"] == "quickfix" and fix["diagnostics"] == [diagnostic],
          "the quick fix comes first, names the declaration and its diagnostic", answer)
    only = s.request("textDocument/codeAction", {
        "textDocument": {"uri": uri_of(path)},
        "range": {"start": {"line": declaration, "character": 0},
                  "end": {"line": declaration, "character": 0}},
        "context": {"diagnostics": [], "only": ["quickfix"]}})
    check(titles_of(only) == ["Quillmark: refresh comment of CCircle::Area"],
          "only quick fixes when only they are asked for", titles_of(only))
    after = apply_edits(text, edits_of({"params": fix}), "utf-16")
    check(after == refreshed, "the fix writes what `quillmark refresh` writes",
          (after, refreshed))

    # The client applies it: the diagnostic goes away.
    s.notify("textDocument/didChange", {"textDocument": {"uri": uri_of(path), "version": 2},
                                        "contentChanges": [{"text": after}]})
    check(diagnostics_of(s, 2) == [], "the diagnostic goes away once the block is current")
    s.notify("textDocument/didChange", {"textDocument": {"uri": uri_of(path), "version": 3},
                                        "contentChanges": [{"text": text}]})
    check(len(diagnostics_of(s, 3)) == 1, "and comes back when it is stale again")
    s.notify("textDocument/didClose", {"textDocument": {"uri": uri_of(path)}})
    closed = s.take("textDocument/publishDiagnostics")["params"]
    check(closed["diagnostics"] == [] and closed["uri"] == uri_of(path), "cleared on close", closed)
    check(s.finish() == 0, "clean exit")

    # A client without code action literals gets the fix as a command; one
    # that chose the keyword mode gets what `--parser keywords refresh` writes.
    run_cli("--parser", "keywords", "refresh", path, "--line", str(declaration + 1),
            "--output", out)
    by_keywords = open(out, encoding="utf-8", newline="").read()
    check(by_keywords != refreshed, "the modes space the list apart (else this proves nothing)")
    s = Server()
    s.initialize(capabilities={"workspace": {"applyEdit": True}}, options={"parser": "keywords"})
    open_document(s, path, text)
    diagnostics_of(s, 1)
    commands = quick_fixes(code_actions(s, path, {"line": declaration, "character": 0}))
    check(len(commands) == 1 and commands[0]["command"] == "quillmark.run", "a command", commands)
    _, apply = run_action(s, commands[0])
    check(apply is not None and apply_edits(text, edits_of(apply), "utf-16") == by_keywords,
          "the command applies the keyword mode's edit", apply)
    check(s.finish() == 0, "clean exit")


@case
def diagnostics_do_not_hold_back_requests():
    # Each check made slow on purpose (each stat of its settings file held for
    # a second): a request sent right after a change is answered before the
    # change's diagnostics come.
    if not shutil.which("strace"):
        print("SKIP diagnostics_do_not_hold_back_requests: strace is not installed")
        return
    if subprocess.run(["strace", "-o", "/dev/null", "true"], capture_output=True).returncode:
        print("SKIP diagnostics_do_not_hold_back_requests: strace cannot trace here (no ptrace)")
        return
    settings = os.path.join(WORK, "slow-check.ini")
    path, text = stale_fixture("stale_slow.cpp")
    delay = ["strace", "-f", "-qq", "-o", "/dev/null", "-P", settings,
             "-e", "trace=stat,newfstatat,statx,lstat",
             "-e", "inject=stat,newfstatat,statx,lstat:delay_enter=1000000"]
    untraced = dict(ENV, ASAN_OPTIONS=":".join(
        filter(None, [ENV.get("ASAN_OPTIONS", ""), "detect_leaks=0"])))
    s = Server(("--settings", settings), prefix=delay, env=untraced)
    s.initialize()
    open_document(s, path, text)
    check(len(diagnostics_of(s, 1)) == 1, "the stale block is found")
    changed = time.monotonic()
    s.notify("textDocument/didChange", {"textDocument": {"uri": uri_of(path), "version": 2},
                                        "contentChanges": [{"text": STALE}]})
    answer = code_actions(s, path, {"line": 3, "character": 0})
    check("result" in answer and not any(
        m.get("method") == "textDocument/publishDiagnostics" for m in s.inbox),
          "the request is answered while the check runs", s.inbox)
    check(quick_fixes(answer) == [], "no quick fix from the check of an older text", answer)
    check(diagnostics_of(s, 2) == [], "the check of the new text follows")
    check(time.monotonic() - changed >= 1, "the delay was injected (else this proves nothing)")
    check(s.finish() == 0, "clean exit")


# ---------------------------------------------------------------------------
# `lsp --with`: in front of another server (the scripted child_server.py).

def child_log(path):
    with open(path, encoding="utf-8") as log:
        return [json.loads(line) for line in log]


def with_child(*child_args, log=None):
    env = dict(ENV, CHILD_LOG=log) if log else ENV
    return Server(("--settings", SETTINGS, "--with", sys.executable, CHILD, *child_args), env)


def run_action_open(server, action):
    """executeCommand for an action, leaving its applyEdit unanswered."""
    command = action["command"] if isinstance(action["command"], dict) else action
    answer = server.request("workspace/executeCommand", {
        "command": command["command"], "arguments": command["arguments"]})
    return answer, server.take("workspace/applyEdit")


@case
def with_child_merges_and_routes():
    log = os.path.join(WORK, "child.log")
    path = fixture("proxy.cpp", SHAPES)
    s = with_child("--encoding", "utf-16", log=log)
    init = s.initialize(capabilities={
        "general": {"positionEncodings": ["utf-8", "utf-16"]},
        "workspace": {"applyEdit": True, "workspaceEdit": {"documentChanges": True}},
        "window": {"showDocument": {"support": True}},
        "textDocument": {"codeAction": {"codeActionLiteralSupport": {}}}},
        options={"settings": SETTINGS})
    caps = init["result"]["capabilities"]
    for what, ok in (
            ("the child's position encoding", caps.get("positionEncoding") == "utf-16"),
            ("the child's completion", "completionProvider" in caps),
            ("both action kinds",
             caps["codeActionProvider"]["codeActionKinds"] == ["quickfix", "refactor.rewrite"]),
            ("both commands",
             caps["executeCommandProvider"]["commands"] == ["child.fix", "quillmark.run"]),
            ("the child's text sync, open and close kept",
             caps["textDocumentSync"] == {"openClose": True, "change": 1})):
        check(ok, "merged capabilities: " + what, caps)
    sent = [m for m in child_log(log) if m.get("method") == "initialize"]
    check(len(sent) == 1 and "initializationOptions" not in sent[0]["params"],
          "our initializationOptions do not reach the child", sent)
    check(sent[0]["params"]["capabilities"]["general"]["positionEncodings"] == ["utf-8", "utf-16"],
          "the child sees the editor's capabilities unchanged", sent)

    open_document(s, path, SHAPES)
    answer = code_actions(s, path, {"line": 6, "character": 3})
    check(titles_of(answer) == ["Child: fix it", "Quillmark: comment class CShape",
                                "Quillmark: insert file header"], "both sides' actions", answer)
    completion = s.request("textDocument/completion", {
        "textDocument": {"uri": uri_of(path)}, "position": {"line": 0, "character": 0}})
    check(completion.get("result") == [{"label": "child_completion"}], "completion passes",
          completion)
    # Ours counts columns as the child does (UTF-16), not as it would alone (UTF-8).
    end = {"line": 0, "character": units("// 形状库 😀", "utf-16")}
    actions = code_actions(s, path, {"line": 0, "character": 3}, end)["result"]
    check(actions[-1]["command"]["arguments"][0]["range"]["end"] == end,
          "our columns in the child's encoding", actions[-1])
    fix = s.request("workspace/executeCommand", {"command": "child.fix", "arguments": []})
    check(fix.get("result", {}).get("ranBy") == "child", "the child's command goes to the child",
          fix)

    # Our applyEdit and the child's configuration request, both open at once,
    # both sent as id 1: the editor sees two ids, and each answer goes home.
    execute, apply = run_action_open(s, answer["result"][1])
    check(execute.get("result", "x") is None and apply is not None, "our action runs", execute)
    asked = s.request("child/ask")
    check("result" in asked, "child/ask answered", asked)
    configuration = s.take("workspace/configuration")
    check(configuration["id"] != apply["id"], "server requests get distinct ids",
          (configuration["id"], apply["id"]))
    s.send({"jsonrpc": "2.0", "id": configuration["id"], "result": [{"answer": 42}]})
    answered = s.take("child/answered")["params"]
    check(answered["id"] == 1 and answered["answer"].get("result") == [{"answer": 42}],
          "the child gets its answer under its own id", answered)
    s.send({"jsonrpc": "2.0", "id": apply["id"], "result": {"applied": True}})
    show = s.take("window/showDocument")
    check(show["params"]["selection"]["start"]["line"] > 6, "ours gets its answer: showDocument",
          show)
    s.send({"jsonrpc": "2.0", "id": show["id"], "result": {"success": True}})
    out = os.path.join(WORK, "proxy.cli.cpp")
    run_cli("comment", path, "--line", "7", "--output", out)
    check(apply_edits(SHAPES, edits_of(apply), "utf-16") ==
          open(out, encoding="utf-8", newline="").read(), "our edit as the command line's")

    # The child cancels its own request under the id the editor knows.
    s.request("child/askCancel")
    asked = s.take("workspace/configuration")
    cancel = s.take("$/cancelRequest")
    check(cancel["params"]["id"] == asked["id"], "the child's cancellation renumbered",
          (cancel, asked))
    # The editor cancels a request the child holds.
    s.next_id += 1
    held = s.next_id
    s.send({"jsonrpc": "2.0", "id": held, "method": "child/hold", "params": {}})
    s.notify("$/cancelRequest", {"id": held})
    cancelled = s.response(held)
    check(cancelled.get("error", {}).get("code") == -32800, "cancellation reaches the child",
          cancelled)

    garbage = s.request("child/garbage")
    check(garbage.get("result") == "still here", "the child's garbage is dropped", garbage)
    check(s.expect_silence() is None, "no answer to nothing reaches the editor")
    s.request("child/failActions")
    answer = code_actions(s, path, {"line": 6, "character": 3})
    check(titles_of(answer)[:1] == ["Quillmark: comment class CShape"],
          "the child's failure keeps our actions", answer)
    check(s.finish() == 0, "shutdown and exit through both: status 0")
    methods = [m.get("method") for m in child_log(log)]
    check(methods[-2:] == ["shutdown", "exit"], "the child is shut down too", methods[-3:])


@case
def with_child_that_dies():
    path = fixture("dies.cpp", SHAPES)
    s = with_child()
    s.initialize()
    open_document(s, path, SHAPES)
    died = s.request("child/die")
    check(died.get("error", {}).get("code") == -32803, "its open request fails", died)
    shown = s.take("window/showMessage")["params"]
    check(shown["type"] == 1 and "stopped (exit status 3)" in shown["message"] and
          "still work" in shown["message"], "the child's death is reported", shown)
    answer = code_actions(s, path, {"line": 6, "character": 3})
    check(titles_of(answer)[:1] == ["Quillmark: comment class CShape"], "our actions stay",
          answer)
    _, apply = run_action(s, answer["result"][0])
    check(apply is not None, "ours still run")
    later = s.request("textDocument/completion", {})
    check(later.get("error", {}).get("code") == -32803, "later requests fail at once", later)
    check(s.finish() == 0, "clean exit without the child")


@case
def with_child_merges_diagnostics():
    path, text = stale_fixture("stale_proxy.cpp")
    uri = uri_of(path)
    s = with_child("--encoding", "utf-16")
    s.initialize()
    theirs = {"range": {"start": {"line": 0, "character": 0}, "end": {"line": 0, "character": 2}},
              "severity": 1, "source": "child", "message": "child's own"}
    s.request("child/publish", {"uri": uri, "diagnostics": [theirs]})
    first = s.take("textDocument/publishDiagnostics")["params"]
    check(first["diagnostics"] == [theirs], "the child's list alone passes", first)
    open_document(s, path, text)
    both = s.take("textDocument/publishDiagnostics")["params"]
    sources = [d["source"] for d in both["diagnostics"]]
    check(sources == ["child", "quillmark"], "ours joins the child's list", both)
    s.request("child/publish", {"uri": uri, "diagnostics": []})
    ours = s.take("textDocument/publishDiagnostics")["params"]
    check([d["source"] for d in ours["diagnostics"]] == ["quillmark"],
          "the child's empty list keeps ours", ours)
    s.request("child/publish", {"uri": uri, "diagnostics": [theirs]})
    s.take("textDocument/publishDiagnostics")
    died = s.request("child/die")
    check("error" in died, "the child dies")
    left = s.take("textDocument/publishDiagnostics")["params"]
    check([d["source"] for d in left["diagnostics"]] == ["quillmark"],
          "a child that stops takes its diagnostics along", left)
    check(s.finish() == 0, "clean exit")


@case
def with_child_not_held_back():
    # Our action made slow on purpose (each stat of its settings file held for
    # a second): the child's answer to a later request arrives first.
    if not shutil.which("strace"):
        print("SKIP with_child_not_held_back: strace is not installed")
        return
    if subprocess.run(["strace", "-o", "/dev/null", "true"], capture_output=True).returncode:
        print("SKIP with_child_not_held_back: strace cannot trace here (no ptrace)")
        return
    settings = os.path.join(WORK, "slow.ini")
    path = fixture("slow.cpp", SHAPES)
    delay = ["strace", "-f", "-qq", "-o", "/dev/null", "-P", settings,
             "-e", "trace=stat,newfstatat,statx,lstat",
             "-e", "inject=stat,newfstatat,statx,lstat:delay_enter=1000000"]
    # LeakSanitizer cannot run under ptrace (in the sanitizer build).
    untraced = dict(ENV, ASAN_OPTIONS=":".join(
        filter(None, [ENV.get("ASAN_OPTIONS", ""), "detect_leaks=0"])))
    s = Server(("--settings", settings, "--with", sys.executable, CHILD), prefix=delay,
               env=untraced)
    s.initialize()
    open_document(s, path, SHAPES)
    action = code_actions(s, path, {"line": 6, "character": 3})["result"][1]
    s.next_id += 1
    slow = s.next_id
    sent = time.monotonic()
    s.send({"jsonrpc": "2.0", "id": slow, "method": "workspace/executeCommand",
            "params": {"command": action["command"]["command"],
                       "arguments": action["command"]["arguments"]}})
    fast = s.request("textDocument/completion", {})
    check("result" in fast and not any(m.get("id") == slow for m in s.inbox),
          "the child's answer is not held back by our work", s.inbox)
    check("result" in s.response(slow), "ours answers after its delay")
    check(time.monotonic() - sent >= 1, "the delay was injected (else this proves nothing)")
    s.take("workspace/applyEdit")
    check(s.finish() == 0, "clean exit")


@case
def with_child_lifecycle_rows():
    # A child that cannot start: ours serves alone and says why.
    s = Server(("--settings", SETTINGS, "--with", os.path.join(WORK, "no-such-server")))
    init = s.initialize()
    check("quillmark.run" in init["result"]["capabilities"]["executeCommandProvider"]["commands"],
          "ours initializes without the child", init)
    shown = s.take("window/showMessage")["params"]
    check("cannot start" in shown["message"], "a child that cannot start is reported", shown)
    check(s.finish() == 0, "clean exit without a child")

    # "exit" ends us at once, even with a child that never reads (status 1:
    # no shutdown before it).
    pidfile = os.path.join(WORK, "hanging.pid")
    s = Server(("--with", "sh", "-c", 'echo $$ > "$0"; exec sleep 600', pidfile))
    s.notify("exit")
    check(s.wait(timeout=5) == 1, "exit at once while the child hangs")
    for _ in range(100):
        if os.path.exists(pidfile) and open(pidfile).read().strip():
            os.kill(int(open(pidfile).read()), 9)
            break
        time.sleep(0.05)

    rows = [
        # (arguments, what the command line must say, why)
        (("--with",), "needs the command", "--with and nothing after it"),
        (("--help",), "--with CMD [ARGS...]", "lsp --help lists --with"),
        (("--help",), "--settings", "lsp --help lists --settings"),
    ]
    for args, expected, why in rows:
        run = subprocess.run([QUILLMARK, "lsp", *args], capture_output=True, env=ENV, timeout=20,
                             stdin=subprocess.DEVNULL)
        check(expected in (run.stdout + run.stderr).decode("utf-8"), why, run)

    # Odd initialize parameters still get one answer with our capabilities.
    for params, why in (([], "params an array"),
                        ({"capabilities": "none", "initializationOptions": 7},
                         "capabilities a string")):
        s = with_child()
        init = s.request("initialize", params)
        commands = init.get("result", {}).get("capabilities", {}).get("executeCommandProvider", {})
        check("quillmark.run" in commands.get("commands", []), "initialize: " + why, init)
        check(s.finish() == 0, "clean exit: " + why)

    # A child that announces a body too large to wait for is ended and reported.
    s = with_child()
    s.initialize()
    huge = s.request("child/huge")
    check(huge.get("error", {}).get("code") == -32803, "its open request fails", huge)
    shown = s.take("window/showMessage")["params"]["message"]
    check("message of 999999999999 bytes is too large" in shown, "the reason is shown", shown)
    check(s.finish() == 0, "clean exit")

    # A child that answers clangd's offsetEncoding: ours counts columns in it too.
    path = fixture("offset.cpp", SHAPES)
    s = with_child("--offset-encoding", "utf-8")
    s.initialize(capabilities={"offsetEncoding": ["utf-8", "utf-16"]})
    open_document(s, path, SHAPES)
    end = {"line": 0, "character": units("// 形状库 😀", "utf-8")}
    actions = code_actions(s, path, {"line": 0, "character": 3}, end)["result"]
    check(actions[-1]["arguments"][0]["range"]["end"] == end,
          "our columns in the child's offsetEncoding", actions[-1])
    check(s.finish() == 0, "clean exit")

    # The child's own initializationOptions reach it, without ours.
    log = os.path.join(WORK, "options.log")
    s = with_child(log=log)
    s.initialize(options={"settings": SETTINGS, "parser": "syntax", "fallbackFlags": ["-std=c++20"]})
    sent = [m for m in child_log(log) if m.get("method") == "initialize"]
    check(sent and sent[0]["params"].get("initializationOptions") ==
          {"fallbackFlags": ["-std=c++20"]}, "only the child's options reach it", sent)
    check(s.finish() == 0, "clean exit")

    # The editor's framing errors are answered by us, and the child goes on.
    s = with_child()
    s.initialize()
    s.send_raw(b"Content-Length: ten\r\n\r\n")
    bad = s.receive()
    check(bad.get("error", {}).get("code") == -32700, "framing error answered", bad)
    completion = s.request("textDocument/completion", {})
    check("result" in completion, "the child still answers", completion)
    check(s.finish() == 0, "clean exit")


try:
    shutil.rmtree(os.path.join(WORK, "config"), ignore_errors=True)
    print("%d passed, %d failed" % (results["passed"], results["failed"]))
finally:
    shutil.rmtree(WORK, ignore_errors=True)
sys.exit(1 if results["failed"] else 0)
