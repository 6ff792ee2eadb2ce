#!/usr/bin/env python3
"""A scripted, misbehaving HTTP server for whole-program tests.

It binds 127.0.0.1 only (or another loopback address it is given: ::1, 127.0.0.2). Each path
gets a scripted reply: raw bytes cut at chosen split
points with a delay before each piece, then an ordinary close, a reset, or a stall (the
connection held open, silent, for a bounded time), or with keep the connection kept for the
client's next request. Unknown paths get a plain 404. Every request's bytes are recorded exactly
as received.

Every loop is bounded: the number of connections, the bytes read, each wait and the server's
whole lifetime.

Use it from Python (ScriptedServer, ok_reply, status_reply) or from the command line:

    scripted_server.py --scenario scenario.json --port-file PORT [--lifetime 300]

where scenario.json maps paths to replies:
    {"/a": {"pieces": [{"text": "HTTP/1.0 200 OK\\r\\n\\r\\nhi", "delay": 0.1}],
            "end": "close" | "reset" | "stall", "stall": 5},
     "/big": {"body_file": "big.bin", "chunk": 4096, "interval": 0.05}}
A path may map to a list of replies: the n-th request of that path gets the n-th reply (the
last one repeats), whichever connection it comes on. A Relay reply (Python only) forwards the request to a real server on
127.0.0.1 and sends its reply back, cut short after a chosen number of bytes if asked.
The request log is printed as JSON lines on stdout when the server stops.
"""

import argparse
import json
import os
import select
import signal
import socket
import struct
import threading
import time

MAX_CONNECTIONS = 200
MAX_REQUEST_BYTES = 64 * 1024
REQUEST_TIMEOUT = 10.0
LONGEST_DELAY = 60.0
LONGEST_STALL = 120.0


class Reply:
    """What the server sends on one connection: pieces (bytes, delay before), then an end.

    gate: a threading.Event; when given, nothing is sent until it is set (at most
    LONGEST_DELAY seconds), so a test can look at the client while it waits for the reply.
    keep: instead of the end, the connection waits for the client's next request."""

    def __init__(self, pieces, end="close", stall=0.0, gate=None, keep=False):
        if end not in ("close", "reset", "stall"):
            raise ValueError("end must be close, reset or stall")
        self.pieces = [(bytes(data), min(float(delay), LONGEST_DELAY)) for data, delay in pieces]
        self.end = end
        self.stall = min(float(stall), LONGEST_STALL)
        self.gate = gate
        self.keep = keep


def split(data, points):
    """Cuts data at the given offsets: split(b'abcdef', [2, 4]) -> [b'ab', b'cd', b'ef']."""
    edges = [0] + sorted(p for p in points if 0 < p < len(data)) + [len(data)]
    return [data[a:b] for a, b in zip(edges, edges[1:])]


def status_reply(status, reason, body=b"", headers=None):
    head = "HTTP/1.1 %d %s\r\nContent-Length: %d\r\n" % (status, reason, len(body))
    for name, value in (headers or {}).items():
        head += "%s: %s\r\n" % (name, value)
    return Reply([(head.encode() + b"\r\n" + body, 0.0)])


def ok_reply(body, chunk=None, interval=0.0, content_length=None, truncate_to=None,
             end="close", stall=0.0, header_split=None, gate=None, headers=None,
             status="200 OK", version="HTTP/1.1", keep=False):
    """A 200 reply for body, sent in chunks of `chunk` bytes `interval` seconds apart.

    content_length: the advertised length (default the body's real length; -1 for none);
    truncate_to: send only this many body bytes, then end; header_split: cut the header
    block at this offset into two pieces sent `interval` apart; gate: see Reply; headers:
    further header lines ({name: value}, an ETag for instance); status: another status line;
    version: the status line's; keep: see Reply.
    """
    length = len(body) if content_length is None else content_length
    head = version.encode() + b" " + status.encode() + b"\r\nServer: scripted\r\n"
    if length >= 0:
        head += b"Content-Length: %d\r\n" % length
    for name, value in (headers or {}).items():
        head += ("%s: %s\r\n" % (name, value)).encode("latin-1")
    head += b"\r\n"
    sent = body if truncate_to is None else body[:truncate_to]
    pieces = []
    if header_split:
        pieces += [(head[:header_split], 0.0), (head[header_split:], interval)]
    else:
        pieces.append((head, 0.0))
    step = chunk or max(len(sent), 1)
    for offset in range(0, len(sent), step):
        pieces.append((sent[offset:offset + step], interval))
    return Reply(pieces, end=end, stall=stall, gate=gate, keep=keep)


def partial_reply(body, start, etag=None, total=None, **kwargs):
    """A 206 reply with body[start:] as the rest of a file of len(body) bytes (or total), and
    the ETag when given; other arguments as for ok_reply."""
    total = len(body) if total is None else total
    headers = {"Content-Range": "bytes %d-%d/%d" % (start, len(body) - 1, total)}
    if etag is not None:
        headers["ETag"] = etag
    headers.update(kwargs.pop("headers", None) or {})
    return ok_reply(body[start:], status="206 Partial Content", headers=headers, **kwargs)


class Relay(Reply):
    """Forwards the request, as received, to port on 127.0.0.1 and sends back what that server
    answers, until it closes or (with cut_after) the header block and that many bytes of the
    body have been passed on; then the end as for any reply. passed: what was passed on."""

    def __init__(self, port, cut_after=None, end="close"):
        super().__init__([], end=end)
        self.port = port
        self.cut_after = cut_after
        self.passed = b""

    def _limit(self):
        head_end = self.passed.find(b"\r\n\r\n")
        if self.cut_after is None or head_end < 0:
            return None
        return head_end + 4 + self.cut_after

    def pass_on(self, conn, client, stopping):
        deadline = time.monotonic() + LONGEST_DELAY
        # The server is asked to close after its reply, which ends what is passed on.
        request = conn.request.replace(b"\r\n\r\n", b"\r\nConnection: close\r\n\r\n", 1)
        with socket.create_connection(("127.0.0.1", self.port), timeout=REQUEST_TIMEOUT) as up:
            up.sendall(request)
            up.settimeout(0.2)
            while not stopping.is_set() and time.monotonic() < deadline:
                try:
                    data = up.recv(4096)
                except socket.timeout:
                    continue
                if not data:
                    return
                before = len(self.passed)
                self.passed += data
                limit = self._limit()
                if limit is not None:
                    self.passed = self.passed[:limit]
                client.sendall(self.passed[before:])
                if limit is not None and len(self.passed) >= limit:
                    return


class Connection:
    def __init__(self, index):
        self.index = index
        self.requests = []  # every request's bytes, in order
        self.request = b""  # the one being read or answered
        self.path = None
        self.started = time.monotonic()
        self.finished = None


class ScriptedServer:
    """Serves scripted replies on a loopback address (127.0.0.1 unless host names another) from
    a background thread until stop(); port 0 takes a free one. most_connections: a connection
    that comes while that many are open gets 503 to its requests, as from a server that limits
    each client."""

    def __init__(self, routes=None, lifetime=300.0, host="127.0.0.1", port=0,
                 most_connections=None):
        if not is_loopback(host):
            raise ValueError("the scripted server binds loopback addresses only")
        self.routes = dict(routes or {})
        self._asked = {}  # path: how many requests of it came
        self.most_connections = most_connections
        self.lifetime = lifetime
        self.host = host
        self.connections = []
        self._lock = threading.Lock()
        self._stopping = threading.Event()
        self._listener = socket.socket(family_of(host), socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((host, port))
        self._listener.listen(16)
        self._listener.settimeout(0.2)
        self.port = self._listener.getsockname()[1]
        self._threads = []
        self._acceptor = threading.Thread(target=self._accept_loop, daemon=True)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        self._acceptor.start()

    def stop(self):
        self._stopping.set()
        self._acceptor.join(timeout=5)
        for thread in list(self._threads):
            thread.join(timeout=5)
        self._listener.close()

    def requests(self):
        """The recorded bytes of every request, connection by connection in order of arrival."""
        with self._lock:
            return [r for c in self.connections for r in c.requests]

    def connection_requests(self):
        """The same, as one list for each connection."""
        with self._lock:
            return [list(c.requests) for c in self.connections]

    def _accept_loop(self):
        deadline = time.monotonic() + self.lifetime
        while not self._stopping.is_set() and time.monotonic() < deadline:
            if len(self.connections) >= MAX_CONNECTIONS:
                break
            try:
                sock, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                break
            with self._lock:
                conn = Connection(len(self.connections))
                self.connections.append(conn)
            thread = threading.Thread(target=self._serve, args=(sock, conn), daemon=True)
            self._threads.append(thread)
            thread.start()

    def _read_request(self, sock, conn):
        conn.request, conn.path = b"", None
        sock.settimeout(0.2)
        deadline = time.monotonic() + REQUEST_TIMEOUT
        while time.monotonic() < deadline and not self._stopping.is_set():
            if b"\n\n" in conn.request or b"\r\n\r\n" in conn.request:
                break
            if len(conn.request) >= MAX_REQUEST_BYTES:
                break
            try:
                data = sock.recv(4096)
            except socket.timeout:
                continue
            except OSError:
                break
            if not data:
                break
            with self._lock:
                conn.request += data
        words = conn.request.split(b"\n", 1)[0].split()
        if len(words) >= 2:
            conn.path = words[1].decode("latin-1")
        if conn.request or not conn.requests:
            with self._lock:
                conn.requests.append(conn.request)

    def _reply_for(self, conn):
        """The path's reply; a list gives its n-th reply to the n-th request (the last repeats)."""
        with self._lock:
            busy = self.most_connections is not None and conn.index > 0 and sum(
                1 for c in self.connections[:conn.index] if c.finished is None
            ) >= self.most_connections
        if busy:
            return status_reply(503, "Service Unavailable")
        route = self.routes.get(conn.path)
        with self._lock:
            earlier = self._asked.get(conn.path, 0)
            self._asked[conn.path] = earlier + 1
        if route is None:
            return status_reply(404, "Not Found", b"not found")
        if isinstance(route, list):
            return route[min(earlier, len(route) - 1)]
        return route

    def _wait(self, seconds):
        """Sleeps, but returns early (False) when the server stops."""
        return not self._stopping.wait(seconds)

    def _stall(self, sock, seconds):
        """Holds the connection open without sending, until the time is up, the server stops or
        the client closes its end (a client that gave up is not kept waiting for)."""
        deadline = time.monotonic() + seconds
        while not self._stopping.is_set():
            left = deadline - time.monotonic()
            if left <= 0:
                return
            ready, _, _ = select.select([sock], [], [], min(left, 0.1))
            if ready:
                try:
                    if not sock.recv(4096):
                        return
                except (OSError, ValueError):
                    return

    def _serve(self, sock, conn):
        try:
            # Each piece leaves at once, not after the client's delayed acknowledgement.
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            self._read_request(sock, conn)
            while True:
                reply = self._reply_for(conn)
                if reply.gate is not None:
                    deadline = time.monotonic() + LONGEST_DELAY
                    while not reply.gate.wait(0.1):
                        if self._stopping.is_set() or time.monotonic() > deadline:
                            return
                for data, delay in reply.pieces:
                    if delay and not self._wait(delay):
                        return
                    sock.sendall(data)
                if isinstance(reply, Relay):
                    reply.pass_on(conn, sock, self._stopping)
                if not reply.keep:
                    break
                self._read_request(sock, conn)
                if not conn.request:
                    return  # the client closed the kept connection, or never asked again
            if reply.end == "stall":
                self._stall(sock, reply.stall)
            elif reply.end == "reset":
                # SO_LINGER with a zero timeout makes close() send a reset.
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        finally:
            conn.finished = time.monotonic()
            sock.close()


def family_of(host):
    return socket.AF_INET6 if ":" in host else socket.AF_INET


def is_loopback(host):
    return host == "::1" or host.startswith("127.")


def refused_port(host="127.0.0.1", port=0):
    """A socket bound to a loopback port that does not listen: connecting to it is refused.

    Keep the returned socket open for as long as the port must stay refused."""
    sock = socket.socket(family_of(host), socket.SOCK_STREAM)
    sock.bind((host, port))
    return sock, sock.getsockname()[1]


def silent_port(host="127.0.0.1", port=0):
    """A listening socket whose queue (one long) is full: a further connect to it gets no answer,
    as from a host that is down, until the sockets are closed. Returns (sockets, port); keep the
    sockets open for as long as the port must stay silent."""
    listener = socket.socket(family_of(host), socket.SOCK_STREAM)
    listener.bind((host, port))
    listener.listen(0)
    queued = socket.create_connection(listener.getsockname()[:2], timeout=5)
    return (listener, queued), listener.getsockname()[1]


def reply_from_json(entry, base_dir):
    if "body_file" in entry:
        with open(os.path.join(base_dir, entry["body_file"]), "rb") as f:
            body = f.read()
        return ok_reply(body, chunk=entry.get("chunk"), interval=entry.get("interval", 0.0),
                        content_length=entry.get("content_length"),
                        truncate_to=entry.get("truncate_to"), end=entry.get("end", "close"),
                        stall=entry.get("stall", 0.0))
    pieces = []
    for piece in entry.get("pieces", []):
        data = bytes.fromhex(piece["hex"]) if "hex" in piece else piece["text"].encode("latin-1")
        pieces.append((data, piece.get("delay", 0.0)))
    return Reply(pieces, end=entry.get("end", "close"), stall=entry.get("stall", 0.0))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--lifetime", type=float, default=300.0)
    args = parser.parse_args()
    with open(args.scenario) as f:
        table = json.load(f)
    base = os.path.dirname(os.path.abspath(args.scenario))
    routes = {path: [reply_from_json(x, base) for x in r] if isinstance(r, list)
              else reply_from_json(r, base) for path, r in table.items()}
    server = ScriptedServer(routes, lifetime=args.lifetime)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    server.start()
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(server.port))
    os.replace(args.port_file + ".tmp", args.port_file)
    stop.wait(args.lifetime)
    server.stop()
    for conn in server.connections:
        print(json.dumps({"path": conn.path, "request": conn.request.decode("latin-1")}))


if __name__ == "__main__":
    main()
