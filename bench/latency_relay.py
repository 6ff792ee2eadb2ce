"""A TCP relay on 127.0.0.1 that charges the round trips of a real network.

Loopback has none, so it hides what a distant server costs: a connection's handshake, a TLS
handshake's exchanges, a request's wait for its reply. This kernel has no netem, so the relay
does it in user space: every chunk of bytes is delivered half a round trip after it arrived, in
each direction and in order, and a new connection's first bytes from the client one round trip
later still (TCP's own handshake, which the client on loopback does not wait for). Bandwidth is
not limited; bytes are read as fast as they come, so neither side's window throttles the other.

    relay = LatencyRelay(("127.0.0.1", upstream_port), rtt_seconds)
    ... connect to 127.0.0.1:relay.port ...
    relay.close()

Also a command for trying it by hand:
    python3 bench/latency_relay.py UPSTREAM_PORT RTT_MS
"""

import collections
import socket
import sys
import threading
import time

CHUNK = 64 * 1024


class _Direction:
    """One direction of one connection: a reader that stamps each chunk with the time it is
    due, a writer that sends it then. An empty chunk stands for the end of the stream."""

    def __init__(self, source, sink, delay, first_delay, done):
        self.source, self.sink = source, sink
        self.delay, self.first_delay = delay, first_delay
        self.queue = collections.deque()
        self.ready = threading.Condition()
        self.done = done
        self.threads = [threading.Thread(target=self._read, daemon=True),
                        threading.Thread(target=self._write, daemon=True)]
        for thread in self.threads:
            thread.start()

    def _put(self, due, data):
        with self.ready:
            self.queue.append((due, data))
            self.ready.notify()

    def _read(self):
        last_due = 0.0
        first = True
        while True:
            try:
                data = self.source.recv(CHUNK)
            except OSError:
                data = b""
            due = time.monotonic() + (self.first_delay if first else self.delay)
            first = False
            last_due = max(last_due, due)  # never overtakes what came before
            self._put(last_due, data)
            if not data:
                return

    def _write(self):
        try:
            while True:
                with self.ready:
                    while not self.queue:
                        self.ready.wait()
                    due, data = self.queue.popleft()
                wait = due - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
                if not data:
                    self.sink.shutdown(socket.SHUT_WR)
                    return
                self.sink.sendall(data)
        except OSError:
            pass  # the other side is gone: so is this direction
        finally:
            self.done()


class _Connection:
    def __init__(self, client, upstream, rtt):
        self.sockets = [client]
        self.lock = threading.Lock()
        self.open_directions = 2
        server = socket.create_connection(upstream)
        self.sockets.append(server)
        for s in self.sockets:
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        half = rtt / 2.0
        _Direction(client, server, half, half + rtt, self._direction_done)
        _Direction(server, client, half, half, self._direction_done)

    def _direction_done(self):
        with self.lock:
            self.open_directions -= 1
            if self.open_directions:
                return
        self.close()

    def close(self):
        for s in self.sockets:
            try:
                s.close()
            except OSError:
                pass


class LatencyRelay:
    """Listens on 127.0.0.1 (a free port, `port`) and relays each connection to `upstream`
    (host, port) with `rtt` seconds of round trip."""

    def __init__(self, upstream, rtt):
        self.upstream, self.rtt = upstream, rtt
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        self.connections = []
        self.closed = False
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return  # closed
            if self.closed:
                client.close()
                return
            try:
                self.connections.append(_Connection(client, self.upstream, self.rtt))
            except OSError:
                client.close()

    def accepted(self):
        """How many connections the relay has taken."""
        return len(self.connections)

    def close(self):
        self.closed = True
        self.listener.close()
        for connection in self.connections:
            connection.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: latency_relay.py UPSTREAM_PORT RTT_MS")
    relay = LatencyRelay(("127.0.0.1", int(sys.argv[1])), int(sys.argv[2]) / 1000.0)
    print("relaying 127.0.0.1:%d to port %s with %s ms round trips; Ctrl+C ends"
          % (relay.port, sys.argv[1], sys.argv[2]), flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        relay.close()


if __name__ == "__main__":
    main()
