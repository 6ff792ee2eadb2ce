#!/usr/bin/env python3
"""The split of a logged wizard run into phases (wine_bench.log_phases)."""
import datetime
import os
import sys
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_bench  # noqa: E402

START = 1796840886.0


# The log's times are local with their offset, whatever the zone of the machine reading it.
ZONE = datetime.timezone(datetime.timedelta(hours=5, minutes=30))


def log(*entries):
    """A log of (ms after START, text) lines, with a line of no time of its own."""
    return "\ufeff" + "".join(
        "%s+05:30 %s\n" % (datetime.datetime.fromtimestamp(START + ms / 1000.0, ZONE)
                           .strftime("%Y-%m-%dT%H:%M:%S.%f")[:-3], text) for ms, text in entries
    ) + "  a continued line\n"


GET = "GET http://127.0.0.1:1/pkg/a/%s: status %d, Content-Length 4, 4 bytes in %d ms, 0.01 MiB/s"


class LogPhases(unittest.TestCase):
    def test_phases(self):
        plain = [(100, "OrvexDownload 1.0.0.1 started"), (120, "route for http://..."),
                 (130, GET % ("urls.cb", 200, 3)), (131, "wrote C:\\t\\urls.cb (4 bytes)"),
                 (150, GET % ("a.bin", 200, 7)), (151, "wrote C:\\t\\a.bin (4 bytes)"),
                 (160, "messenger version 600"), (175, "installed C:\\p\\a.bin"),
                 (180, "exit code 0")]
        # A redirect and a failed try count as requests and lie inside the downloads.
        retried = plain[:3] + [(140, GET % ("a.bin", 301, 2)), (145, "failed: CutShort"),
                               (150, GET % ("a.bin", 200, 5))] + plain[5:]
        for name, lines, requests, transfers in (("plain", plain, 2, 0.010),
                                                 ("retried", retried, 3, 0.010)):
            with self.subTest(name):
                p = wine_bench.log_phases(log(*lines), START, START + 0.2)
                self.assertEqual(p["requests"], requests)
                for key, seconds in (("start-up", 0.120), ("downloads", 0.031),
                                     ("transfers", transfers), ("around", 0.031 - transfers),
                                     ("installation", 0.024), ("rest", 0.025)):
                    self.assertAlmostEqual(p[key], seconds, places=4, msg=key)

    def test_a_run_that_installed_nothing(self):
        with self.assertRaises(wine_bench.BenchError):
            wine_bench.log_phases(log((1, GET % ("a.bin", 404, 1)), (2, "exit code 1404")),
                                  START, START + 1)


if __name__ == "__main__":
    unittest.main()
