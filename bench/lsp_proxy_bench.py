#!/usr/bin/env python3
"""The latency `quillmark lsp --with` adds to a forwarded request: 1,000
completion requests, one at a time, to the scripted child server alone and
through quillmark in front of it; prints the median and 99th percentile round
trip of each and the difference.

    lsp_proxy_bench.py QUILLMARK [REQUESTS]
"""
import json
import os
import statistics
import subprocess
import sys
import time

QUILLMARK = sys.argv[1]
REQUESTS = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
WARM_UP = 50
CHILD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "lsp",
                     "child_server.py")


class Client:
    def __init__(self, command):
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.next_id = 0

    def request(self, method, params):
        self.next_id += 1
        body = json.dumps({"jsonrpc": "2.0", "id": self.next_id, "method": method,
                           "params": params}).encode()
        self.proc.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.proc.stdin.flush()
        while True:
            length = None
            while True:
                line = self.proc.stdout.readline().strip()
                if not line:
                    break
                name, _, value = line.partition(b":")
                if name.lower() == b"content-length":
                    length = int(value)
            message = json.loads(self.proc.stdout.read(length))
            if message.get("id") == self.next_id and "method" not in message:
                return message

    def close(self):
        self.request("shutdown", {})
        body = b'{"jsonrpc":"2.0","method":"exit"}'
        self.proc.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.proc.stdin.close()
        self.proc.wait()


def round_trips(command):
    client = Client(command)
    client.request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
    params = {"textDocument": {"uri": "file:///bench.cpp"},
              "position": {"line": 0, "character": 0}}
    times = []
    for i in range(WARM_UP + REQUESTS):
        start = time.perf_counter_ns()
        client.request("textDocument/completion", params)
        if i >= WARM_UP:
            times.append((time.perf_counter_ns() - start) / 1000.0)
    client.close()
    times.sort()
    return statistics.median(times), times[int(len(times) * 0.99) - 1]


child = [sys.executable, CHILD]
alone = round_trips(child)
through = round_trips([QUILLMARK, "lsp", "--with", *child])
print("%d forwarded requests (round trip in microseconds)" % REQUESTS)
print("  %-24s median %8.1f   p99 %8.1f" % ("child alone", *alone))
print("  %-24s median %8.1f   p99 %8.1f" % ("through quillmark", *through))
print("  %-24s median %8.1f   p99 %8.1f" % ("added by quillmark", through[0] - alone[0],
                                             through[1] - alone[1]))
