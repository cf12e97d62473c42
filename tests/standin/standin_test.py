#!/usr/bin/env python3
"""The stand-in seen from a plain client: HTTPS with the run's test CA, the redirect to HTTPS,
the limits, the scripted refusals, the habits of a service that says no (refusing everything,
an outage, the forms of Retry-After, gates, resets, silence) and the side files. Run as it is,
it starts itself again inside tools/standin/run-isolated.sh (without Wine), with the mode
switches set."""

import contextlib
import email.utils
import glob
import http.client
import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "standin"))
import standin  # noqa: E402

# The switches this test starts run-isolated.sh with, by the mode file each should become.
SWITCHES = {"https_redirect": ("STANDIN_HTTPS_REDIRECT", "302 BAIDUID=abc"),
            "limit_concurrent": ("STANDIN_LIMIT_CONCURRENT", "2"),
            "limit_rate": ("STANDIN_LIMIT_RATE", "3 503")}
# The mode files of the habits of a service that says no.
HABITS = ("refuse_all", "outage", "retry_after", "silent", "resets", "gate")
RECORDS = os.environ.get("STANDIN_RECORD_DIR", "")
WAIT = 30   # seconds: the limit for anything a test waits for


def read(name):
    with open(os.path.join(RECORDS, name)) as f:
        return f.read()


def write(name, text=None):
    """Writes a file of the record directory, or removes it (text None)."""
    with contextlib.suppress(FileNotFoundError):
        os.remove(os.path.join(RECORDS, name))
    if text is not None:
        with open(os.path.join(RECORDS, name), "w") as f:
            f.write(text)


def get(host, target, https=False, connection=None):
    """One GET; returns (status, headers, body)."""
    trust = ssl.create_default_context(cafile=os.environ["STANDIN_CA_FILE"])
    c = connection or (http.client.HTTPSConnection(host, 443, timeout=WAIT, context=trust) if https
                       else http.client.HTTPConnection(host, 80, timeout=WAIT))
    try:
        c.request("GET", target)
        r = c.getresponse()
        return r.status, dict(r.getheaders()), r.read()
    finally:
        if connection is None:
            c.close()


def wait_for(condition):
    """Waits until condition() holds; fails after WAIT seconds."""
    deadline = time.monotonic() + WAIT
    while not condition():
        assert time.monotonic() < deadline, "gave up waiting"
        time.sleep(0.02)


def arrivals():
    """The side file of every request recorded so far, in order."""
    return [json.loads(read(os.path.basename(n)[:-4] + ".json"))
            for n in sorted(glob.glob(os.path.join(RECORDS, "req-*.bin")))]


class StandinTest(unittest.TestCase):
    def setUp(self):
        for name in list(SWITCHES) + list(HABITS) + ["overrides.json"]:
            write(name)

    def test_switches_became_mode_files(self):
        self.assertEqual(FOUND_MODES, {name: value for name, (_, value) in SWITCHES.items()})

    def test_https_serves_the_trusted_names_and_refuses_the_others(self):
        for host in standin.HOSTS + ("other.test",):
            self.assertEqual(get(host, "/marker", https=True)[0::2],
                             (200, b"<html>MARKER-PAGE</html>"))
            self.assertEqual(arrivals()[-1], {"scheme": "https", "port": 443, "host": host,
                                              "in_flight": 1, "refused": 0})
        # 19: its CA, sent along, is trusted by nobody; 62: the name is not in the certificate.
        for host, code in (("untrusted.test", 19), ("wrongname.test", 62)):
            with self.assertRaises(ssl.SSLCertVerificationError) as caught:
                get(host, "/marker", https=True)
            self.assertEqual(caught.exception.verify_code, code, host)

    def test_redirect_mode_sends_service_pages_to_https(self):
        write("https_redirect", "302 BAIDUID=abc")
        update = urllib.parse.quote(standin.UPDATE_PATH)
        for host, target in (("www.baidu.com", "/p/taken1?from=tieba"),
                             ("tieba.baidu.com", "/f/search/res?ie=utf-8&qw=taken1"),
                             ("hi.baidu.com", update)):
            status, headers, body = get(host, target)
            self.assertEqual((status, body, headers["Location"], headers["Set-Cookie"]),
                             (302, b"", "https://" + host + target, "BAIDUID=abc; path=/"))
        write("https_redirect", "307")
        status, headers, _ = get("www.baidu.com", "/p/x")
        self.assertEqual((status, headers["Location"]), (307, "https://www.baidu.com/p/x"))
        # Over HTTPS the page is answered as without the mode.
        self.assertEqual(get("www.baidu.com", "/p/taken1", https=True)[0::2],
                         (200, b"<html><body>profile of taken1</body></html>"))

    def test_scripted_ids_refuse(self):
        write("https_redirect", "302")
        # The plain-HTTP leg is redirected and counts for nothing.
        self.assertEqual(get("www.baidu.com", "/p/flaky2-free3")[0], 302)
        answers = [get("www.baidu.com", "/p/flaky2-free3", https=True) for _ in range(4)]
        self.assertEqual([(a[0], a[1].get("Retry-After")) for a in answers],
                         [(503, "1"), (503, "1"), (200, None), (200, None)])
        self.assertIn(standin.PROFILE_MISSING, answers[2][2])
        self.assertEqual([a["refused"] for a in arrivals()[-4:]], [503, 503, 0, 0])
        self.assertEqual([get("www.baidu.com", "/p/flaky1-taken9", https=True)[0::2] for _ in "12"],
                         [(503, b"refused"), (200, b"<html><body>profile of taken9</body></html>")])
        for target, answer in (("/p/refuse429-a", (429, "1")), ("/p/refuse503-a", (503, None)),
                               ("/f/search/res?qw=refuse429b", (429, "1")),
                               ("/f/search/res?qw=refuse503b", (503, None))):
            for _ in range(2):
                status, headers, _ = get("www.baidu.com", target, https=True)
                self.assertEqual((status, headers.get("Retry-After")), answer, target)

    def test_concurrent_limit_refuses_at_once_on_every_port(self):
        write("limit_concurrent", "2")
        write("https_redirect", "302")
        write("overrides.json", json.dumps({"www.baidu.com/held": {"hold": "limit"}}))
        before = len(arrivals())
        held = []
        threads = [threading.Thread(target=lambda: held.append(get("www.baidu.com", "/held")[0]))
                   for _ in range(2)]
        for t in threads:
            t.start()
        wait_for(lambda: len(arrivals()) == before + 2)
        for https in (False, True):
            status, headers, _ = get("www.baidu.com", "/p/taken1", https=https)
            self.assertEqual((status, headers.get("Retry-After")), (429, "1"))
        write("limit_concurrent", "2 503")
        self.assertEqual(get("www.baidu.com", "/marker")[0], 503)
        write("release-limit", "")
        for t in threads:
            t.join(WAIT)
        self.assertEqual(held, [200, 200])
        self.assertEqual([(a["in_flight"], a["refused"]) for a in arrivals()[before:]],
                         [(1, 0), (2, 0), (3, 429), (3, 429), (3, 503)])
        self.assertEqual(read("max_in_flight"), "2")

    def test_rate_limit_refuses_the_excess_of_each_second(self):
        write("limit_rate", "3")
        c = http.client.HTTPConnection("www.baidu.com", 80, timeout=WAIT)

        def accepted_before_refusal():
            for n in range(100):
                status, headers, _ = get("www.baidu.com", "/marker", connection=c)
                if status != 200:
                    self.assertEqual((status, headers.get("Retry-After")), (429, "1"))
                    return n
            self.fail("never refused")

        accepted_before_refusal()
        time.sleep(1)   # as Retry-After asks: then the first three are always taken
        self.assertGreaterEqual(accepted_before_refusal(), 3)
        # Refusals do not count: asking on, a request is taken once the second is over.
        wait_for(lambda: get("www.baidu.com", "/marker", connection=c)[0] == 200)
        c.close()

    def test_refusals_carry_the_retry_after_set(self):
        write("refuse_all", "")
        fields = {}
        for setting in (None, "120", "none", "date 120 -3600", "7 pad 3000"):
            write("retry_after", setting)
            status, fields[setting], body = get("www.baidu.com", "/p/taken1", https=True)
            self.assertEqual((status, body, arrivals()[-1]["refused"]), (503, b"refused", 503), setting)
        self.assertEqual([fields[s].get("Retry-After") for s in (None, "120", "none")], ["1", "120", None])
        # The HTTP-date form: 120 s after the answer's Date, which shows the stand-in's clock an
        # hour behind.
        date, until = (email.utils.parsedate_to_datetime(fields["date 120 -3600"][name]).timestamp()
                       for name in ("Date", "Retry-After"))
        self.assertEqual(until - date, 120)
        self.assertLess(abs(date - (time.time() - 3600)), 60)
        # Padded: the field comes after more than 3,000 bytes of header block.
        padded = list(fields["7 pad 3000"].items())
        self.assertEqual(padded[-2:], [("Retry-After", "7"), ("Content-Length", "7")])
        self.assertGreater(sum(len(n) + len(v) + 4 for n, v in padded), 3000)
        write("refuse_all", "429")
        self.assertEqual(get("tieba.baidu.com", "/marker")[0], 429)

    def test_gates_answer_every_page(self):
        for status, challenge in ((401, "WWW-Authenticate"), (403, None), (451, None)):
            write("gate", str(status))
            answered, headers, body = get("www.baidu.com", "/p/free1?from=tieba")
            self.assertEqual((answered, body, arrivals()[-1]["refused"]), (status, b"gate", status))
            self.assertEqual(challenge and headers.get(challenge), challenge and 'Basic realm="service"')
        # As the proxy named in the checker's settings: asked in absolute form, it wants a login.
        write("gate", "407")
        c = http.client.HTTPConnection("127.0.0.1", 80, timeout=WAIT)
        c.request("GET", "http://www.baidu.com/p/free1?from=tieba")
        r = c.getresponse()
        self.assertEqual((r.status, r.getheader("Proxy-Authenticate")), (407, 'Basic realm="proxy"'))
        c.close()

    def test_resets_cut_a_repeatable_share_and_silence_holds_the_connection(self):
        def cut_ones(setting, count):
            write("resets", setting)
            pattern = []
            for _ in range(count):
                try:
                    pattern.append(get("www.baidu.com", "/p/taken1")[0] != 200)
                except (http.client.HTTPException, OSError):
                    pattern.append(True)
            self.assertEqual([a.get("reset", False) for a in arrivals()[-count:]], pattern)
            return pattern

        self.assertEqual(cut_ones("100", 2), [True, True])
        first = cut_ones("30 7", 40)
        self.assertTrue(0 < sum(first) < 40, first)
        self.assertEqual(cut_ones("30 7", 40), first)   # written again: the same requests
        write("resets")

        write("silent", "")
        before = len(arrivals())
        s = socket.create_connection(("127.0.0.1", 80), timeout=WAIT)
        s.sendall(b"GET /marker HTTP/1.1\r\nHost: www.baidu.com\r\n\r\n")
        wait_for(lambda: len(arrivals()) == before + 1)
        write("silent")
        self.assertEqual(s.recv(100), b"")   # closed once the mode went, not a byte answered
        s.close()


class ModesByTheClockTest(unittest.TestCase):
    """The modes that depend on when requests arrive, on a clock the test sets."""
    def setUp(self):
        self.directory = tempfile.mkdtemp()
        self.recorder = standin.Recorder(self.directory)
        self.now = 0.0
        self.traffic = standin.Traffic(self.recorder, clock=lambda: self.now)

    def answers(self, mode, text, times):
        """The refusal status (0: admitted) of a request at each of `times` (seconds after the
        mode file `mode` was written to hold `text`); admitted requests leave at once."""
        self.recorder.write(mode, text)
        found = []
        for t in times:
            self.now = self.recorder.written(mode) + t
            found.append(self.traffic.arrive()[1])
            if not found[-1]:
                self.traffic.depart()
        os.remove(self.recorder.path(mode))
        self.traffic.counted.clear()
        return found

    def test_rate_limits_counted_and_spaced(self):
        self.assertEqual(self.answers("limit_rate", "1", [0, 0.6, 1.2]), [0, 429, 0])
        self.assertEqual(self.answers("limit_rate", "1 counted", [10, 10.6, 11.2, 12.3]), [0, 429, 429, 0])
        self.assertEqual(self.answers("limit_rate", "4 503 spaced", [20, 20.2, 20.3, 20.5, 20.6]),
                         [0, 503, 0, 503, 0])
        self.assertEqual(self.answers("limit_rate", "4", [30, 30.2, 30.3, 30.5, 30.6]), [0, 0, 0, 0, 429])

    def test_outage_window_and_refusing_everything(self):
        self.assertEqual(self.answers("outage", "20 50", [10, 20, 49.9, 50]), [0, 503, 503, 0])
        # Outside the window the other limits hold.
        self.recorder.write("limit_concurrent", "0")
        self.assertEqual(self.answers("outage", "20 50 451", [10, 30]), [429, 451])
        os.remove(self.recorder.path("limit_concurrent"))
        self.assertEqual(self.answers("refuse_all", "", [0, 100]), [503, 503])
        self.assertEqual(self.answers("refuse_all", "451", [0]), [451])


def main():
    if not RECORDS:
        env = dict(os.environ, **dict(SWITCHES.values()))
        env.pop("WINEPREFIX", None)
        isolated = os.path.join(ROOT, "tools", "standin", "run-isolated.sh")
        command = [isolated, sys.executable, os.path.abspath(__file__)] + sys.argv[1:]
        sys.exit(subprocess.call(command, env=env))
    global FOUND_MODES
    FOUND_MODES = {name: read(name).strip() for name in SWITCHES}
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
