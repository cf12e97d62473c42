#!/usr/bin/env python3
"""The stand-in service seen from a plain client: HTTPS with the run's test CA, the redirect to
HTTPS, the limits on requests in flight and per second, the scripted refusals and the side
files. Run as it is, it starts itself again inside tools/standin/run-isolated.sh (without Wine)
with the mode switches set in the environment."""

import glob
import http.client
import json
import os
import ssl
import subprocess
import sys
import threading
import time
import unittest
import urllib.parse

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "standin"))
import standin  # noqa: E402

SWITCHES = {"STANDIN_HTTPS_REDIRECT": "302 BAIDUID=abc", "STANDIN_LIMIT_CONCURRENT": "2",
            "STANDIN_LIMIT_RATE": "3 503"}
MODE_FILES = {"https_redirect": "302 BAIDUID=abc", "limit_concurrent": "2", "limit_rate": "3 503"}
RECORDS = os.environ.get("STANDIN_RECORD_DIR", "")
WAIT = 30   # seconds: the limit for anything the tests wait for


def set_mode(name, text=None):
    """Writes a mode file of the record directory, or removes it (text None)."""
    path = os.path.join(RECORDS, name)
    if text is None:
        if os.path.exists(path):
            os.remove(path)
    else:
        with open(path, "w") as f:
            f.write(text)


def connect(host, https=False):
    if not https:
        return http.client.HTTPConnection(host, 80, timeout=WAIT)
    context = ssl.create_default_context(cafile=os.environ["STANDIN_CA_FILE"])
    return http.client.HTTPSConnection(host, 443, timeout=WAIT, context=context)


def get(host, target, https=False, connection=None):
    """One GET; returns (status, headers as a dict, body)."""
    c = connection or connect(host, https)
    c.request("GET", target)
    r = c.getresponse()
    body = r.read()
    if connection is None:
        c.close()
    return r.status, dict(r.getheaders()), body


def read(name):
    """A file of the record directory, as text."""
    with open(os.path.join(RECORDS, name)) as f:
        return f.read()


def side_files():
    """The side file of every request recorded so far (every req-N.bin), in order."""
    names = sorted(glob.glob(os.path.join(RECORDS, "req-*.bin")))
    return [json.loads(read(os.path.basename(n)[:-4] + ".json")) for n in names]


def wait_for(condition):
    deadline = time.monotonic() + WAIT
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting after %d s" % WAIT)
        time.sleep(0.02)


class StandinTest(unittest.TestCase):
    def setUp(self):
        for name in MODE_FILES:
            set_mode(name)
        set_mode("overrides.json")


class Environment(StandinTest):
    def test_switches_became_mode_files(self):
        self.assertEqual(FOUND_MODES, MODE_FILES)


class Https(StandinTest):
    def test_service_names_have_the_trusted_certificate(self):
        for host in standin.HOSTS + ("other.test",):
            status, _, body = get(host, "/marker", https=True)
            self.assertEqual((status, body), (200, b"<html>MARKER-PAGE</html>"), host)
            self.assertEqual(side_files()[-1], {"scheme": "https", "port": 443, "host": host,
                                                "in_flight": 1, "refused": 0})

    def test_failure_hosts_fail_verification_for_their_reason(self):
        # 19: a self-signed certificate in the chain (untrusted.test sends its CA too);
        # 62: the name is not in the certificate.
        for host, code in (("untrusted.test", 19), ("wrongname.test", 62)):
            with self.assertRaises(ssl.SSLCertVerificationError) as caught:
                get(host, "/marker", https=True)
            self.assertEqual(caught.exception.verify_code, code, host)

    def test_redirect_mode_sends_service_pages_to_https(self):
        update = urllib.parse.quote(standin.UPDATE_PATH)
        pages = (("www.baidu.com", "/p/taken1?from=tieba"),
                 ("tieba.baidu.com", "/f/search/res?ie=utf-8&qw=taken1"),
                 ("hi.baidu.com", update))
        for mode, status, cookie in (("302 BAIDUID=abc", 302, "BAIDUID=abc; path=/"),
                                     ("301", 301, None), ("307", 307, None)):
            set_mode("https_redirect", mode)
            for host, target in pages:
                got, headers, body = get(host, target)
                self.assertEqual((got, body), (status, b""), target)
                self.assertEqual(headers["Location"], "https://%s%s" % (host, target))
                self.assertEqual(headers.get("Set-Cookie"), cookie)
        self.assertEqual(side_files()[-1]["scheme"], "http")
        # Other pages, and every page over HTTPS, are answered as without the mode.
        self.assertEqual(get("www.baidu.com", "/marker")[0], 200)
        status, _, body = get("www.baidu.com", "/p/taken1?from=tieba", https=True)
        self.assertEqual((status, body), (200, b"<html><body>profile of taken1</body></html>"))
        set_mode("https_redirect")
        self.assertEqual(get("www.baidu.com", "/p/taken1?from=tieba")[0], 200)


class ScriptedIds(StandinTest):
    def test_flaky_ids_fail_exactly_k_times_per_path(self):
        set_mode("https_redirect", "302")
        # The plain-HTTP leg is redirected and counts for nothing.
        self.assertEqual(get("www.baidu.com", "/p/flaky2-free3?from=tieba")[0], 302)
        answers = [get("www.baidu.com", "/p/flaky2-free3?from=tieba", https=True) for _ in range(4)]
        self.assertEqual([a[0] for a in answers], [503, 503, 200, 200])
        self.assertEqual(answers[0][1].get("Retry-After"), "1")
        self.assertIn(standin.PROFILE_MISSING, answers[2][2])
        self.assertEqual([s["refused"] for s in side_files()[-4:]], [503, 503, 0, 0])
        for who in ("flaky1-taken9", "flaky1-taken8"):
            statuses = [get("www.baidu.com", "/p/%s" % who, https=True) for _ in range(2)]
            self.assertEqual([s[0] for s in statuses], [503, 200], who)
            self.assertEqual(statuses[1][2], b"<html><body>profile of %s</body></html>" % who[7:].encode())

    def test_refusing_ids_always_refuse(self):
        for target in ("/p/refuse429-a", "/f/search/res?ie=utf-8&qw=refuse429b"):
            for _ in range(2):
                status, headers, _ = get("www.baidu.com", target)
                self.assertEqual((status, headers.get("Retry-After")), (429, "1"), target)
        for target in ("/p/refuse503-a", "/f/search/res?ie=utf-8&qw=refuse503b"):
            status, headers, _ = get("www.baidu.com", target)
            self.assertEqual((status, headers.get("Retry-After")), (503, None), target)


class Limits(StandinTest):
    def test_concurrent_limit_refuses_at_once_on_every_port(self):
        set_mode("limit_concurrent", "2")
        set_mode("https_redirect", "302")
        with open(os.path.join(RECORDS, "overrides.json"), "w") as f:
            json.dump({"www.baidu.com/held": {"body": "held", "hold": "limit"}}, f)
        before = len(side_files())
        held = []
        threads = [threading.Thread(target=lambda: held.append(get("www.baidu.com", "/held")))
                   for _ in range(2)]
        for t in threads:
            t.start()
        wait_for(lambda: len(side_files()) == before + 2)
        for https in (False, True):
            status, headers, body = get("www.baidu.com", "/p/taken1", https=https)
            self.assertEqual((status, headers.get("Retry-After")), (429, "1"))
            self.assertTrue(body)
        set_mode("limit_concurrent", "2 503")
        status, headers, _ = get("www.baidu.com", "/marker")
        self.assertEqual((status, headers.get("Retry-After")), (503, "1"))
        open(os.path.join(RECORDS, "release-limit"), "w").close()
        for t in threads:
            t.join(WAIT)
        self.assertEqual([h[0] for h in held], [200, 200])
        arrivals = [(s["in_flight"], s["refused"]) for s in side_files()[before:]]
        self.assertEqual(arrivals, [(1, 0), (2, 0), (3, 429), (3, 429), (3, 503)])
        self.assertEqual(read("max_in_flight"), "2")

    def test_rate_limit_refuses_the_excess_of_each_second(self):
        set_mode("limit_rate", "3")
        c = connect("www.baidu.com")

        def ask_until_refused():
            statuses = []
            while not statuses or statuses[-1] == 200:
                self.assertLess(len(statuses), 100, "never refused")
                status, headers, _ = get("www.baidu.com", "/marker", connection=c)
                statuses.append(status)
            self.assertEqual((status, headers.get("Retry-After")), (429, "1"))
            return len(statuses) - 1

        ask_until_refused()
        # After the second that Retry-After asks for, the first three are always taken.
        time.sleep(1)
        self.assertGreaterEqual(ask_until_refused(), 3)
        # Refusals do not count: asking on, the service takes a request again once the
        # second of the last accepted one is over.
        wait_for(lambda: get("www.baidu.com", "/marker", connection=c)[0] == 200)
        c.close()


class Records(StandinTest):
    def test_numbers_restart_after_the_requests_are_cleared(self):
        get("www.baidu.com", "/marker")
        for name in glob.glob(os.path.join(RECORDS, "req-*.bin")):
            os.remove(name)
        get("www.baidu.com", "/echo")
        self.assertEqual(glob.glob(os.path.join(RECORDS, "req-*.bin")),
                         [os.path.join(RECORDS, "req-000001.bin")])
        self.assertEqual(json.loads(read("req-000001.json"))["host"], "www.baidu.com")


def main():
    if not RECORDS:
        # Outside: in the stand-in's network, without Wine, with the switches set.
        env = dict(os.environ, **SWITCHES)
        env.pop("WINEPREFIX", None)
        isolated = os.path.join(ROOT, "tools", "standin", "run-isolated.sh")
        sys.exit(subprocess.call([isolated, sys.executable, os.path.abspath(__file__)] + sys.argv[1:], env=env))
    global FOUND_MODES
    FOUND_MODES = {}
    for name in MODE_FILES:
        FOUND_MODES[name] = read(name).strip()
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
