#!/usr/bin/env python3
"""Checks the scripted server: exact request recording, split replies, ends, refusal."""

import os
import socket
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from scripted_server import Reply, ScriptedServer, ok_reply, refused_port, split  # noqa: E402


def exchange(port, request, timeout=5):
    """Sends request, returns (pieces received with their arrival times, how it ended)."""
    pieces = []
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as sock:
        sock.sendall(request)
        while True:
            try:
                data = sock.recv(65536)
            except ConnectionResetError:
                return pieces, "reset"
            except socket.timeout:
                return pieces, "timeout"
            if not data:
                return pieces, "close"
            pieces.append((data, time.monotonic()))


def read_to_close(sock):
    data = b""
    while True:
        more = sock.recv(4096)
        if not more:
            return data
        data += more


class ScriptedServerTest(unittest.TestCase):
    def test_records_exact_request_bytes_per_connection(self):
        requests = [b"GET /a HTTP/1.0\nHost: 127.0.0.1\n\n",
                    b"GET /b?x HTTP/1.0\r\nHost: h\r\nX: y\r\n\r\n"]
        with ScriptedServer({"/a": ok_reply(b"A")}) as server:
            for request in requests:
                exchange(server.port, request)
            self.assertEqual(server.requests(), requests)
            self.assertEqual([c.path for c in server.connections], ["/a", "/b?x"])

    def test_a_kept_connection_serves_the_next_request(self):
        requests = [b"GET /k HTTP/1.1\r\n\r\n", b"GET /n HTTP/1.1\r\n\r\n"]
        with ScriptedServer({"/k": ok_reply(b"one", keep=True), "/n": ok_reply(b"two")}) as server:
            with socket.create_connection(("127.0.0.1", server.port), timeout=5) as sock:
                sock.sendall(requests[0])
                first = b""
                while not first.endswith(b"one"):
                    first += sock.recv(4096)
                sock.sendall(requests[1])
                second = read_to_close(sock)
            self.assertTrue(second.endswith(b"\r\n\r\ntwo"), second)
            self.assertEqual(server.connection_requests(), [requests])

    def test_replies_by_path_and_404_otherwise(self):
        with ScriptedServer({"/a": ok_reply(b"hello")}) as server:
            body = b"".join(p for p, _ in exchange(server.port, b"GET /a HTTP/1.0\n\n")[0])
            self.assertEqual(body, b"HTTP/1.1 200 OK\r\nServer: scripted\r\n"
                                   b"Content-Length: 5\r\n\r\nhello")
            other = b"".join(p for p, _ in exchange(server.port, b"GET /zz HTTP/1.0\n\n")[0])
            self.assertTrue(other.startswith(b"HTTP/1.1 404 Not Found\r\n"), other)

    def test_a_list_of_replies_is_served_in_turn(self):
        with ScriptedServer({"/n": [ok_reply(b"first"), ok_reply(b"second")]}) as server:
            bodies = [b"".join(p for p, _ in exchange(server.port, b"GET /n HTTP/1.0\n\n")[0])
                      .split(b"\r\n\r\n", 1)[1] for _ in range(3)]
        self.assertEqual(bodies, [b"first", b"second", b"second"])

    def test_pieces_arrive_separately_after_their_delays(self):
        reply = Reply([(b"one", 0.0), (b"two", 0.3), (b"three", 0.3)])
        with ScriptedServer({"/s": reply}) as server:
            pieces, end = exchange(server.port, b"GET /s HTTP/1.0\n\n")
        self.assertEqual([p for p, _ in pieces], [b"one", b"two", b"three"])
        self.assertEqual(end, "close")
        self.assertGreater(pieces[1][1] - pieces[0][1], 0.2)
        self.assertGreater(pieces[2][1] - pieces[1][1], 0.2)

    def test_a_gated_reply_waits_until_it_is_opened(self):
        gate = threading.Event()
        with ScriptedServer({"/g": ok_reply(b"late", gate=gate)}) as server:
            sock = socket.create_connection(("127.0.0.1", server.port), timeout=0.5)
            sock.sendall(b"GET /g HTTP/1.0\n\n")
            with self.assertRaises(socket.timeout):
                sock.recv(10)
            gate.set()
            sock.settimeout(5)
            data = read_to_close(sock)
            sock.close()
        self.assertTrue(data.endswith(b"\r\n\r\nlate"), data)

    def test_truncation_reset_and_stall(self):
        body = bytes(range(256)) * 4
        cases = [
            ("truncated", ok_reply(body, truncate_to=100), "close", 100),
            ("reset", ok_reply(body, truncate_to=10, end="reset"), "reset", 10),
            ("stall", ok_reply(body, truncate_to=0, end="stall", stall=3), "timeout", 0),
        ]
        for name, reply, expected_end, body_bytes in cases:
            with self.subTest(name), ScriptedServer({"/f": reply}) as server:
                pieces, end = exchange(server.port, b"GET /f HTTP/1.0\n\n", timeout=1)
                data = b"".join(p for p, _ in pieces)
                self.assertEqual(end, expected_end)
                self.assertIn(b"Content-Length: 1024\r\n", data)
                self.assertEqual(len(data.split(b"\r\n\r\n", 1)[1]), body_bytes)

    def test_stop_ends_a_stall_at_once(self):
        server = ScriptedServer({"/f": Reply([(b"x", 0)], end="stall", stall=100)})
        server.start()
        sock = socket.create_connection(("127.0.0.1", server.port), timeout=5)
        sock.sendall(b"GET /f HTTP/1.0\n\n")
        sock.recv(10)
        started = time.monotonic()
        server.stop()
        self.assertLess(time.monotonic() - started, 3)
        sock.close()

    def test_split_and_refused_port(self):
        self.assertEqual(split(b"abcdef", [4, 2, 0, 9]), [b"ab", b"cd", b"ef"])
        sock, port = refused_port()
        with sock, self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", port), timeout=2)


if __name__ == "__main__":
    unittest.main()
