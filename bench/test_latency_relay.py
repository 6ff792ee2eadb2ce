#!/usr/bin/env python3
"""The bench's latency relay: every byte arrives, in order, and none before its round trips."""
import os
import socket
import sys
import threading
import time
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import latency_relay  # noqa: E402

RTT = 0.08


class EchoServer:
    """Answers each connection by sending back what it receives, until the client's end."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._echo, args=(connection,), daemon=True).start()

    @staticmethod
    def _echo(connection):
        with connection:
            while True:
                data = connection.recv(65536)
                if not data:
                    return
                connection.sendall(data)


def receive(connection, size):
    connection.settimeout(20)  # a relay that loses the end fails rather than hangs
    data = b""
    while len(data) < size:
        chunk = connection.recv(65536)
        if not chunk:
            break
        data += chunk
    return data


class LatencyRelayTest(unittest.TestCase):
    def setUp(self):
        self.server = EchoServer()
        self.relay = latency_relay.LatencyRelay(("127.0.0.1", self.server.port), RTT)

    def tearDown(self):
        self.relay.close()
        self.server.listener.close()

    def test_a_new_connection_pays_two_round_trips_then_one_per_exchange(self):
        with socket.create_connection(("127.0.0.1", self.relay.port)) as client:
            started = time.monotonic()
            client.sendall(b"hello")
            self.assertEqual(receive(client, 5), b"hello")
            first = time.monotonic() - started
            started = time.monotonic()
            client.sendall(b"again")
            self.assertEqual(receive(client, 5), b"again")
            second = time.monotonic() - started
        # Lower bounds only: a loaded machine may take longer, never less.
        self.assertGreaterEqual(first, 2 * RTT)
        self.assertGreaterEqual(second, RTT)
        self.assertEqual(self.relay.accepted(), 1)

    def test_every_byte_arrives_in_order_and_the_end_passes_through(self):
        payload = os.urandom(3 * 1024 * 1024 + 17)
        with socket.create_connection(("127.0.0.1", self.relay.port)) as client:
            sender = threading.Thread(target=lambda: (client.sendall(payload),
                                                      client.shutdown(socket.SHUT_WR)))
            sender.start()
            echoed = receive(client, len(payload) + 1)
            sender.join()
        self.assertEqual(echoed, payload)


if __name__ == "__main__":
    unittest.main()
