#!/usr/bin/env python3
"""Local stand-in for the web hosts the checker talks to.

An HTTP/1.1 server (keep-alive, Content-Length or chunked bodies) that answers as the forum
service's main web host (profile pages under /p/), its forum host (/f/search/res) and its blog
host (the update page), plus scripted test pages on any host. One process serves the same pages
over plain HTTP (--port, 80) and, given --cert-dir, over TLS (--tls-port, 443); run-isolated.sh
makes the certificates (see tls_context) and the names resolve to it. Every request it receives
is recorded as two numbered files in the record directory, so tests can check exactly what was
sent and how:
  req-NNNNNN.json   written first: {"scheme": "http"|"https", "port": 80|443, "host": the Host
                    header's name, "in_flight": the requests in flight when it arrived, itself
                    included, "refused": the refusal status it got (limit or scripted ID), or 0}
  req-NNNNNN.bin    the request byte for byte
Numbers follow the highest .bin file there is, so a test that deletes the .bin files starts
again at 1 (a .json file is that of the .bin file beside it).

Pages (any host unless named):
  /p/<id>?from=tieba          profile page; ids beginning "free" get the address-error page,
                              ids beginning "hostile-" a hostile answer (see HOSTILE)
                              ids "big<N>" a profile page of N bytes
                              ids "flaky<K>-<rest>" are refused K times, then answered as
                              <rest>; ids "refuse429...", "refuse503..." are always refused
                              (see FLAKY and REFUSE)
  /f/search/res?ie=utf-8&qw=  search page; ids containing "taken" get both search markers,
                              "half" only the first, others neither; "refuse429...",
                              "refuse503..." are refused (see REFUSE)
  <update page path>          the update page with the product marker
  /echo                       the raw request as the body
  /marker                     a small page holding MARKER-PAGE
  /setcookie                  two Set-Cookie lines (alpha, beta)
  /cookie-noeq                a Set-Cookie line without "="
  /redirect?to=<url>          302 to the given address
  /big?size=N[&chunked=1]     N bytes of a fixed pattern (see pattern_byte)
  /bigheaders?size=N          a header block of more than N bytes, with a Set-Cookie line
  /zeros                      a body holding zero bytes
  /utf8, /big5                a body in that encoding
  /ctrlz-cookie               a header holding 0x1A before two Set-Cookie lines
  /slow?ms=N                  the page after N milliseconds
  /reset                      the connection reset without an answer
  (exchange pages, see EXCHANGE_PAGES: /moved, /gather, /drip)
Overrides: a file overrides.json in the record directory, {"host/path": {"status": 200,
"body": "text", "headers": [["Name", "value"]], "delay_ms": N}} (the whole answer after N ms),
{"host/path": {"body": "text", "trickle_ms": N}} (the body in 1024-byte pieces, N ms apart) or
{"host/path": {"reset": true}}, replaces any page, read at every request. "hold": "NAME" in an
override holds its answer until the test creates the file release-NAME in the record directory.
"short_by": N in an override announces a Content-Length N bytes more than its body and closes
the connection after the body: a page cut off N bytes before its end.
Delay: a file delay_ms in the record directory, holding a number of milliseconds, holds every
answer back that long, read at every request (a slow service; absent or 0: no delay). Requests
on different connections are answered at the same time, so delayed answers overlap.

Modes: files in the record directory, read at every request (absent: the mode is off).
  https_redirect     "301", "302" or "307", optionally followed by " NAME=VALUE": plain-HTTP
                     requests for the profile pages, the search page and the update page are
                     answered, as the real hosts answer them, by a redirect of that status to
                     the same address over HTTPS (Location: https://<host><target as received>)
                     with an empty body, and with "Set-Cookie: NAME=VALUE; path=/" when given.
                     HTTPS requests and other pages are answered as without the mode.
  limit_concurrent   "C" or "C STATUS": a request that arrives while C requests are in flight
                     is refused at once.
  limit_rate         "R", followed by any of STATUS, "counted" and "spaced": a request that
                     arrives when R requests were accepted within the last second is refused at
                     once. "counted": its refusals count as well, so a client that asks on while
                     refused stays refused. "spaced": a request is refused when the last one
                     counted came less than 1/R s before it (R a second, no burst, as a widely
                     used web server's per-second limit counts).
  refuse_all         "" or "STATUS": every request is refused at once (a service that is down).
  outage             "A B" or "A B STATUS": every request is refused at once from A to B seconds
                     (decimals allowed) after the file's modification time, that is after the
                     file was written; before A and from B on the other modes apply as usual.
  retry_after        the Retry-After of every refusal by the modes above: "N" (seconds), "none"
                     (no such field), or "date N" or "date N SKEW": an HTTP-date (IMF-fixdate) N
                     seconds after the refusal's Date field, which then comes with it and shows
                     the stand-in's clock moved by SKEW seconds (a client that read the date by
                     its own clock would wait SKEW seconds too little or too much). Any of them
                     may be followed by "pad N": filler fields before the Retry-After make the
                     header block longer than N bytes. Without the file: Retry-After: 1.
  silent             any content: every request the modes above admit is recorded and never
                     answered; its connection is held until the client closes it or the file
                     goes (then the stand-in closes it). It counts as in flight all that time.
  resets             "P" or "P SEED": P percent of the answered requests (decimals allowed),
                     chosen at random by a generator seeded with SEED (0 when not given), get
                     their status line, header block and half their body, then a connection
                     reset. The sequence starts again whenever the file is written, so a run
                     that writes it first is repeatable: the same requests in arrival order are
                     reset. The answers written in one piece are cut (every page of the
                     service, its redirects, overrides); trickled, chunked and hostile pages
                     come whole.
  gate               "STATUS": every request is answered with that status after the delay, as a
                     gate in front of the service does: 401 with WWW-Authenticate, 407 (the
                     stand-in playing the proxy named in the checker's settings) with
                     Proxy-Authenticate, 403, 451 or any other with a short body only.
A refusal by a limit, refuse_all or outage has the STATUS given, 429 (Too Many Requests, the
default of the limits) or 503 (Service Unavailable, that of refuse_all and outage), or any
other, with the Retry-After that retry_after sets and a short body, and the connection stays
open. Refusals are decided in that order: refuse_all, outage, limit_concurrent, limit_rate. The
limits count every request on both ports alike, whatever its page (redirect answers, scripted
refusals, gate answers and overrides too): a request is in flight from the moment it was read
until its answer was written (the delay and a held override included); a refused one never is.
The stand-in writes the highest number of requests in flight so far into the file max_in_flight
whenever it rises. Every refusal and gate answer is recorded in the request's side file as
"refused": its status; a request cut by resets has "reset": true there as well.
A flaky ID counts its requests only when they reach its page: a plain-HTTP request that the
redirect mode redirects, or one refused by a limit, counts for nothing.
"""

import argparse
import collections
import email.utils
import functools
import json
import os
import random
import re
import socket
import socketserver
import ssl
import struct
import threading
import time
import urllib.parse

MAIN_HOST = "www.baidu.com"
FORUM_HOST = "tieba.baidu.com"
BLOG_HOST = "hi.baidu.com"
HOSTS = (MAIN_HOST, FORUM_HOST, BLOG_HOST)
UPDATE_PATH = "/柚工坊/item/1121dbf01dc7637dc9f337a5"

# Marker texts, in the encodings the service's pages use: profile pages are UTF-8, search and
# blog pages GBK.
PROFILE_MISSING = "请检查输入的网址是否正确。 ".encode("utf-8")
SEARCH_LIKED = "喜欢的贴吧".encode("gbk")
SEARCH_IDENTITY = "贴吧身份".encode("gbk")
UPDATE_MARKER = "青柚百度贴吧未注册账号检测机V1.1".encode("gbk")

# Profile IDs beginning with this ask for a hostile answer; the word after it names which:
#   silent       accepts and reads the request, never answers, holds the connection
#   drip         a 100-byte profile page with its length announced, one byte every 100 ms
#   loop         302 to the very address asked for, for ever
#   redirect-ID  one 302 to the profile page of ID (an ordinary redirect)
#   reset        part of a profile page of 4000 announced bytes, then a connection reset
#   resetmarker  the same, the part holding the "wrong address" marker
#   short        the profile page, 100 bytes shorter than its Content-Length, then closed
#   badchunk     a chunked profile page whose second chunk size is not a number
#   nostatus     256 bytes of binary data and the page, without a status line or headers
# and answers that are only large or unusual:
#   bigheaders   the profile page after a header block of 1 MB
#   cookies      the profile page with 10,000 Set-Cookie lines
#   huge         a 64 MB profile page
#   zeros        a profile page with zero bytes before the "wrong address" marker
#   e404, e500   a 404 page with the marker, a 500 page without it
#   chunked      a chunked profile page with the marker split across two chunks
# Anything after a further "-" is free, so one check can ask for a behaviour several times.
HOSTILE = "hostile-"

# Profile IDs "flaky<K>-<rest>" (K from 1 to 9): the first K requests for exactly that path
# are answered 503 with Retry-After: 1, later ones as the profile page of <rest>.
FLAKY = re.compile(r"flaky([1-9])-(.*)", re.S)
# Profile IDs and search words (qw) beginning "refuse429" (as "refuse429-<rest>") are always
# answered 429 with Retry-After: 1, those beginning "refuse503" 503 without it.
REFUSE = ("refuse429", "refuse503")

# The host served with a certificate from a CA nobody trusts (chosen by SNI). Every other name
# gets the trusted certificate, whose names are the service's hosts and other.test only.
UNTRUSTED_HOST = "untrusted.test"

# Pages for the request engine's redirect, deadline and parallel tests:
#   /moved?status=N&to=URL[&cookie=NAME=VALUE]
#                  a redirect with status N (302 when not given) to URL, with a Set-Cookie
#                  line when asked
#   /gather?id=X&n=N
#                  holds its answer until N requests for the same X are waiting at once, then
#                  answers each "together"; after 30 s without them, "alone"
#   /drip?part=head|body&ms=N
#                  a 200-byte page whose status line and header block (head) or whose body
#                  (body) comes one byte every N ms: a byte arrives before any receive limit
#                  runs out, so the client never times out
EXCHANGE_PAGES = ("/moved", "/gather", "/drip")


def pattern_byte(i):
    """Byte i of the large test bodies: varies within and across 1024-byte chunks."""
    return (i * 7 + (i >> 10)) & 0xFF


_ROW = bytes((j * 7) & 0xFF for j in range(1024))
_SHIFTS = [bytes((k + add) & 0xFF for k in range(256)) for add in range(256)]


def pattern(size):
    """The first size bytes of the pattern, built a 1 KiB row at a time."""
    out = bytearray()
    for row in range((size + 1023) // 1024):
        n = min(1024, size - row * 1024)
        # (row * 1024 + j) * 7 + row = j * 7 + row * (7 * 1024 + 1), modulo 256.
        out += _ROW[:n].translate(_SHIFTS[(row * 7169) & 0xFF])
    return bytes(out)


@functools.lru_cache(maxsize=2)
def large_profile(who, size):
    """A profile page of size bytes: the plain one with HTML list lines before its end."""
    head = ("<html><body>profile of %s<ul>\r\n" % who).encode("utf-8")
    tail = b"</ul></body></html>"
    row = b'<li class="post"><a href="/p/item">a post of the profile</a></li>\r\n'
    fill = max(0, size - len(head) - len(tail))
    return head + (row * (fill // len(row) + 1))[:fill] + tail


class Recorder:
    """Stores each received request as req-NNNNNN.json (how it arrived) and req-NNNNNN.bin (its
    bytes), and reads the files a test puts in the record directory: overrides, delay and
    modes."""
    def __init__(self, directory):
        self.directory = directory
        self.lock = threading.Lock()
        self.last = 0
        os.makedirs(directory, exist_ok=True)

    def path(self, name):
        return os.path.join(self.directory, name)

    def record(self, raw, arrival):
        """Writes the side file, then the request's bytes, under the next number. Tests may
        delete the .bin files to start again at 1: the number follows the highest .bin file
        there is, and the directory is read again only when the last one written is gone."""
        with self.lock:
            if not os.path.exists(self.path("req-%06d.bin" % self.last)):
                names = [n for n in os.listdir(self.directory)
                         if n.startswith("req-") and n.endswith(".bin")]
                self.last = max((int(n[4:10]) for n in names), default=0)
            self.last += 1
            with open(self.path("req-%06d.json" % self.last), "w", encoding="utf-8") as f:
                json.dump(arrival, f)
            with open(self.path("req-%06d.bin" % self.last), "wb") as f:
                f.write(raw)

    def write(self, name, text):
        """Replaces a file of the record directory at once, so a reader never sees it half
        written."""
        with open(self.path(name + ".new"), "w", encoding="ascii") as f:
            f.write(text)
        os.replace(self.path(name + ".new"), self.path(name))

    def mode(self, name):
        """The words of the mode file `name`; None without one."""
        try:
            with open(self.path(name), encoding="latin-1") as f:
                return f.read().split()
        except OSError:
            return None

    def delay_ms(self):
        """The delay before every answer, from the file delay_ms; 0 without one."""
        try:
            with open(self.path("delay_ms"), encoding="ascii") as f:
                return max(0, int(f.read().strip() or 0))
        except (OSError, ValueError):
            return 0

    def written(self, name):
        """When the file `name` was last written (seconds since the epoch); None without one."""
        try:
            return os.stat(self.path(name)).st_mtime
        except OSError:
            return None

    # The leading numbers of each refusing mode file.
    NUMBERS = {"limit_concurrent": 1, "limit_rate": 1, "outage": 2, "refuse_all": 0}

    def limit(self, name, default=429):
        """A refusing mode file (see NUMBERS) as (its leading numbers, refusal status, its other
        words); None without one or when it does not start with the numbers it needs."""
        words = self.mode(name)
        needed = self.NUMBERS[name]
        if words is None or len(words) < needed:
            return None
        try:
            numbers = [float(word) for word in words[:needed]]
        except ValueError:
            return None
        rest = words[needed:]
        status = next((int(w) for w in rest if w.isdigit() and 100 <= int(w) < 600), default)
        return numbers, status, {w for w in rest if not w.isdigit()}

    def retry_after(self):
        """The fields a refusal by a mode carries, as the retry_after file sets them (see the
        modes above): Retry-After, with Date for the HTTP-date form, after any filler."""
        words = self.mode("retry_after") or ["1"]
        fields = []
        if "pad" in words[:-1]:
            at = words.index("pad")
            size = int(words[at + 1]) if words[at + 1].isdigit() else 0
            fields = [("X-Filler-%d" % i, "f" * 100) for i in range(size // 100 + 1)]
            words = words[:at]
        if not words or words[0] == "none":
            return fields
        if words[0] == "date" and len(words) > 1:
            try:
                pause = int(float(words[1]))
                skew = float(words[2]) if len(words) > 2 else 0.0
            except ValueError:
                return fields + [("Retry-After", "1")]
            date = int(time.time() + skew)
            return fields + [("Date", email.utils.formatdate(date, usegmt=True)),
                             ("Retry-After", email.utils.formatdate(date + pause, usegmt=True))]
        return fields + [("Retry-After", words[0])]

    def overrides(self):
        path = os.path.join(self.directory, "overrides.json")
        try:
            with open(path, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}


class Traffic:
    """The requests in flight, counted on both ports together, and the modes that refuse them
    on arrival. A request is in flight from the moment it was read until its answer was
    written; a refused one never is. `clock` gives seconds since the epoch (the outage is
    counted from a file's modification time)."""
    def __init__(self, recorder, clock=time.time):
        self.recorder = recorder
        self.clock = clock
        self.lock = threading.Lock()
        self.in_flight = 0
        self.highest = 0
        self.counted = collections.deque()   # when the requests the rate limit counts came in

    def arrive(self):
        """Admits a request just read, or refuses it when a mode says so. Returns the number in
        flight with this one and the refusal status (0: admitted)."""
        recorder = self.recorder
        down = recorder.limit("refuse_all", 503)
        outage = recorder.limit("outage", 503)
        written = recorder.written("outage") if outage else None
        concurrent = recorder.limit("limit_concurrent")
        rate = recorder.limit("limit_rate")
        with self.lock:
            now = self.clock()
            while self.counted and now - self.counted[0] >= 1.0:
                self.counted.popleft()
            count = self.in_flight + 1
            refused = 0
            if down:
                refused = down[1]
            elif outage and written is not None and outage[0][0] <= now - written < outage[0][1]:
                refused = outage[1]
            elif concurrent and self.in_flight >= concurrent[0][0]:
                refused = concurrent[1]
            elif rate:
                per_second, words = rate[0][0], rate[2]
                if "spaced" in words:
                    full = per_second <= 0 or (self.counted and now - self.counted[-1] < 1.0 / per_second)
                else:
                    full = len(self.counted) >= per_second
                if full:
                    refused = rate[1]
                if not full or "counted" in words:
                    self.counted.append(now)
            if refused:
                return count, refused
            self.in_flight = count
            if count > self.highest:
                self.highest = count
                self.recorder.write("max_in_flight", str(count))
            return count, 0

    def depart(self):
        with self.lock:
            self.in_flight -= 1


class Resets:
    """Which answered requests the resets mode cuts: a generator seeded anew whenever the mode
    file is written again."""
    def __init__(self, recorder):
        self.recorder = recorder
        self.lock = threading.Lock()
        self.version = None
        self.generator = None

    def cut(self):
        """Draws for one more answered request; True when it is to be cut."""
        words = self.recorder.mode("resets")
        try:
            share = float(words[0]) if words else 0.0
            seed = int(words[1]) if words and len(words) > 1 else 0
        except ValueError:
            return False
        if share <= 0:
            return False
        with self.lock:
            version = (self.recorder.written("resets"), tuple(words))
            if version != self.version:
                self.version, self.generator = version, random.Random(seed)
            return self.generator.random() * 100 < share


class Flakes:
    """How often each flaky profile address has been asked (see FLAKY)."""
    def __init__(self):
        self.lock = threading.Lock()
        self.asked = collections.Counter()

    def fails(self, path, times):
        """Counts one more request for path; True while it is among the first `times`."""
        with self.lock:
            self.asked[path] += 1
            return self.asked[path] <= times


class Request:
    """One request as read, with the parts the pages are chosen by."""
    def __init__(self, method, target, fields, raw):
        self.method, self.target, self.fields, self.raw = method, target, fields, raw
        self.host = fields.get("host", "").split(":")[0].lower()
        parts = urllib.parse.urlsplit(target)
        # The path may arrive escaped or as raw bytes (GBK or UTF-8); compare it as bytes.
        self.path_bytes = urllib.parse.unquote_to_bytes(parts.path.encode("latin-1"))
        self.path = self.path_bytes.decode("latin-1")
        if self.path_bytes in (UPDATE_PATH.encode("utf-8"), UPDATE_PATH.encode("gbk")):
            self.path = UPDATE_PATH
        self.query = urllib.parse.parse_qs(parts.query, keep_blank_values=True)

    def profile_id(self):
        """The ID of a profile page (/p/<id>), None for other pages."""
        if not self.path.startswith("/p/"):
            return None
        return self.path_bytes[3:].decode("utf-8", "replace")

    def scripted_id(self):
        """The ID the profile page or the search page (its qw) is asked for; None for other
        pages."""
        if self.path == "/f/search/res":
            return self.query.get("qw", [""])[0]
        return self.profile_id()


class Handler(socketserver.StreamRequestHandler):
    """One connection: requests are answered in turn while the client keeps it open."""
    timeout = 120
    cutting = False   # the answer being written is to be cut by a reset (the resets mode)

    def handle(self):
        if isinstance(self.connection, ssl.SSLSocket):
            try:
                self.connection.do_handshake()
            except OSError:
                return   # the client refused the certificate, or left
        while True:
            try:
                request = self.read_request()
            except (OSError, ValueError):
                return
            if request is None:
                return
            try:
                if not self.serve(request):
                    return
            except OSError:
                return   # the client left while its answer was being written

    def read_request(self):
        """Reads one request byte for byte (request line, header lines, a sized body).
        Returns it as a Request, or None at the end of the connection."""
        raw = bytearray()
        line = self.rfile.readline(65537)
        while line in (b"\r\n", b"\n"):
            line = self.rfile.readline(65537)
        if not line:
            return None
        raw += line
        headers = []
        while True:
            h = self.rfile.readline(65537)
            if not h:
                return None
            raw += h
            if h in (b"\r\n", b"\n"):
                break
            name, _, value = h.decode("latin-1").partition(":")
            headers.append((name.strip().lower(), value.strip()))
        fields = dict(headers)
        body = b""
        if "content-length" in fields:
            body = self.rfile.read(int(fields["content-length"]))
        raw += body
        words = line.decode("latin-1").split(" ", 2)
        if len(words) < 3:
            words = ["", "", ""]   # recorded, then the connection closes unanswered
        return Request(words[0], words[1], fields, bytes(raw))

    def serve(self, request):
        """Admits the request (or refuses it at once when a mode says so), records it with how
        it arrived and answers it. False closes the connection. Requests are admitted and
        recorded one at a time, so their numbers follow the order in which they were admitted."""
        server, recorder = self.server, self.server.recorder
        admitted = False
        try:
            with server.admission:
                in_flight, refused = server.traffic.arrive()
                admitted = not refused
                silent = gate = cut = redirect = None
                if admitted:
                    silent = recorder.mode("silent") is not None
                    gate = None if silent else self.gate_status()
                if admitted and not silent and not gate:
                    redirect = self.https_redirect(request)
                    if not redirect:
                        refused = self.page_refusal(request)
                    cut = not refused and server.resets.cut()
                arrival = {"scheme": server.scheme, "port": server.server_address[1],
                           "host": request.host, "in_flight": in_flight, "refused": refused or gate or 0}
                if cut:
                    arrival["reset"] = True
                recorder.record(request.raw, arrival)
            if not request.method:
                return False
            if not admitted:
                return self.send(refused, b"refused", [("Content-Type", "text/plain")] + recorder.retry_after())
            if silent:
                return self.stay_silent()
            self.cutting = cut
            return self.answer(request, redirect, refused, gate)
        finally:
            self.cutting = False
            if admitted:
                server.traffic.depart()

    def gate_status(self):
        """The status the gate mode answers every request with; None without the mode."""
        words = self.server.recorder.mode("gate")
        if not words or not words[0].isdigit() or not 100 <= int(words[0]) < 600:
            return None
        return int(words[0])

    def stay_silent(self):
        """The silent mode: holds the connection without a byte until the client closes it or
        the mode goes. False closes the connection."""
        self.connection.settimeout(0.2)
        while self.server.recorder.mode("silent") is not None:
            try:
                if not self.connection.recv(1):
                    break
            except TimeoutError:
                continue
            except OSError:
                break
        return False

    def https_redirect(self, request):
        """The https_redirect mode: the redirect answer's status and Set-Cookie value for a
        plain-HTTP request of a page the service's hosts serve only over HTTPS; None for other
        requests or without the mode."""
        if self.server.scheme != "http":
            return None
        if not (request.path.startswith("/p/") or request.path in ("/f/search/res", UPDATE_PATH)):
            return None
        words = self.server.recorder.mode("https_redirect")
        if not words or not words[0].isdigit() or not 300 <= int(words[0]) < 400:
            return None
        return int(words[0]), (words[1] if len(words) > 1 else None)

    def page_refusal(self, request):
        """The refusal a scripted ID asks for (see REFUSE and FLAKY): its status, 0 for none.
        A flaky address counts this request here, unless an override replaces its page."""
        who = request.scripted_id()
        if who is None:
            return 0
        for word in REFUSE:
            if who.startswith(word):
                return int(word[-3:])
        flaky = FLAKY.match(who) if request.path.startswith("/p/") else None
        if not flaky or (request.host + request.path) in self.server.recorder.overrides():
            return 0
        return 503 if self.server.flakes.fails(request.path, int(flaky.group(1))) else 0

    def refuse(self, status, retry_after):
        """A scripted ID's refusal: the status, a short body and, when asked, Retry-After: 1."""
        headers = [("Content-Type", "text/plain")] + ([("Retry-After", "1")] if retry_after else [])
        return self.send(status, b"refused", headers)

    def send(self, status, body, headers=(), chunked=False, reason=None):
        """Writes a response with a Content-Length, or chunked in 64 KiB pieces."""
        reasons = {200: "OK", 301: "Moved Permanently", 302: "Found", 303: "See Other",
                   307: "Temporary Redirect", 308: "Permanent Redirect", 401: "Unauthorized",
                   403: "Forbidden", 404: "Not Found", 407: "Proxy Authentication Required",
                   429: "Too Many Requests", 451: "Unavailable For Legal Reasons",
                   503: "Service Unavailable"}
        head = "HTTP/1.1 %d %s\r\n" % (status, reason or reasons.get(status, "Status"))
        out = bytearray(head.encode("latin-1"))
        for name, value in headers:
            out += name.encode("latin-1") + b": " + (value if isinstance(value, bytes) else value.encode("latin-1")) + b"\r\n"
        if chunked:
            out += b"Transfer-Encoding: chunked\r\n\r\n"
            self.wfile.write(bytes(out))
            for i in range(0, len(body), 65536):
                piece = body[i:i + 65536]
                self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
            self.wfile.write(b"0\r\n\r\n")
        else:
            out += b"Content-Length: %d\r\n\r\n" % len(body)
            if self.cutting:
                # The resets mode: the head and half the body, then a reset once they are out.
                self.wfile.write(bytes(out) + body[:len(body) // 2])
                self.wfile.flush()
                time.sleep(0.1)
                return self.reset()
            self.wfile.write(bytes(out) + body)
        self.wfile.flush()
        return True

    def trickle(self, status, body, pause_ms):
        """Sends the header block at once and then the body 1024 bytes at a time, pausing
        before each piece: a service that answers but delivers slowly."""
        head = b"HTTP/1.1 %d OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n" % (status, len(body))
        self.wfile.write(head)
        self.wfile.flush()
        for i in range(0, len(body), 1024):
            time.sleep(pause_ms / 1000.0)
            self.wfile.write(body[i:i + 1024])
            self.wfile.flush()
        return True

    def cut_short(self, status, body, missing):
        """The body under a Content-Length `missing` bytes larger, then the connection closed
        (False), so the client can tell the page was cut off only by its length."""
        self.wfile.write(b"HTTP/1.1 %d OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n"
                         % (status, len(body) + missing) + body)
        self.wfile.flush()
        return False

    def reset(self):
        """Ends the connection with a reset (RST) instead of an orderly close."""
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        return False

    def hostile(self, who, host, target):
        """A profile page served the way the ID asks (see HOSTILE). False closes the
        connection."""
        behaviour = who[len(HOSTILE):].split("-")[0]
        page = ("<html><body>profile of %s</body></html>" % who).encode("utf-8")
        head = b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
        try:
            if behaviour == "silent":
                # Holds the connection without a byte until the client gives up.
                while self.rfile.read(1):
                    pass
                return False
            if behaviour == "drip":
                body = page.ljust(100, b" ")
                self.wfile.write(head + b"Content-Length: %d\r\n\r\n" % len(body))
                self.wfile.flush()
                for i in range(len(body)):
                    time.sleep(0.1)
                    self.wfile.write(body[i:i + 1])
                    self.wfile.flush()
                return True
            # Redirects keep the scheme they were asked on.
            scheme = self.server.scheme
            if behaviour == "loop":
                return self.send(302, b"", [("Location", "%s://%s%s" % (scheme, host, target))])
            if behaviour == "redirect":
                rest = who[len(HOSTILE) + len("redirect-"):]
                location = "%s://%s/p/%s?from=tieba" % (scheme, host, urllib.parse.quote(rest))
                return self.send(302, b"", [("Location", location)])
            if behaviour in ("reset", "resetmarker"):
                body = b"<html><body>" + (PROFILE_MISSING if behaviour == "resetmarker" else page)
                self.wfile.write(head + b"Content-Length: 4000\r\n\r\n" + body)
                self.wfile.flush()
                time.sleep(0.2)
                return self.reset()
            if behaviour == "short":
                self.wfile.write(head + b"Content-Length: %d\r\n\r\n" % (len(page) + 100) + page)
                self.wfile.flush()
                return False
            if behaviour == "badchunk":
                self.wfile.write(head + b"Transfer-Encoding: chunked\r\n\r\n" +
                                 b"%x\r\n" % len(page) + page + b"\r\nzz\r\n" + page)
                self.wfile.flush()
                return False
            if behaviour == "bigheaders":
                filler = [("X-Filler-%d" % i, "f" * 100) for i in range(10000)]
                return self.send(200, page, [("Content-Type", "text/html")] + filler)
            if behaviour == "cookies":
                return self.send(200, page, [("Set-Cookie", "c%d=%d; path=/" % (i, i)) for i in range(10000)])
            if behaviour == "huge":
                return self.send(200, page.ljust(64 << 20, b" "), [("Content-Type", "text/html")])
            if behaviour == "zeros":
                return self.send(200, b"<html>\0\0<body>" + PROFILE_MISSING + b"</body></html>", [])
            if behaviour in ("e404", "e500"):
                status = int(behaviour[1:])
                return self.send(status, b"<html>" + (PROFILE_MISSING if status == 404 else page) + b"</html>", [])
            if behaviour == "chunked":
                body = b"<html><body>" + PROFILE_MISSING + b"</body></html>"
                self.wfile.write(head + b"Transfer-Encoding: chunked\r\n\r\n")
                for piece in (body[:20], body[20:]):
                    self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
                self.wfile.write(b"0\r\n\r\n")
                self.wfile.flush()
                return True
            if behaviour == "nostatus":
                self.wfile.write(bytes(range(256)) + page)
                self.wfile.flush()
                return False
        except OSError:
            return False
        return self.send(404, b"unknown behaviour", [])

    def exchange_page(self, path, query):
        """A page of EXCHANGE_PAGES. False closes the connection."""
        arg = lambda name, default="": query.get(name, [default])[0]
        try:
            if path == "/moved":
                headers = [("Location", arg("to", "/marker"))]
                if arg("cookie"):
                    headers.append(("Set-Cookie", arg("cookie") + "; path=/"))
                return self.send(int(arg("status", "302")), b"", headers, reason="Moved")
            if path == "/gather":
                together = self.server.gathering.join(arg("id"), int(arg("n", "2")))
                return self.send(200, b"together" if together else b"alone", [])
            if path == "/drip":
                body = b"d" * 200
                head = b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 200\r\n\r\n"
                slow, fast = (head, body) if arg("part") == "head" else (body, head)
                if slow is body:
                    self.wfile.write(fast)
                for i in range(len(slow)):
                    self.wfile.flush()
                    time.sleep(int(arg("ms", "2000")) / 1000.0)
                    self.wfile.write(slow[i:i + 1])
                if slow is head:
                    self.wfile.write(fast)
                self.wfile.flush()
                return True
        except OSError:
            return False
        return self.send(404, b"unknown exchange page", [])
    def hold(self, name):
        """Waits until the file release-<name> exists in the record directory (two minutes at
        most), so a test decides when an answer may go."""
        gate = os.path.join(self.server.recorder.directory, "release-" + name)
        for _ in range(6000):
            if os.path.exists(gate):
                return
            time.sleep(0.02)

    def answer(self, request, redirect, refused, gate):
        """Chooses the page by path (overrides first), after the delay: the gate, the redirect
        and the scripted refusal decided on arrival come first. False closes the connection."""
        host, target, path, path_bytes, query = (request.host, request.target, request.path,
                                                 request.path_bytes, request.query)
        html = [("Content-Type", "text/html")]
        delay = self.server.recorder.delay_ms()
        if delay:
            time.sleep(delay / 1000.0)
        if gate:
            challenge = {401: [("WWW-Authenticate", 'Basic realm="service"')],
                         407: [("Proxy-Authenticate", 'Basic realm="proxy"')]}.get(gate, [])
            return self.send(gate, b"gate", [("Content-Type", "text/plain")] + challenge)
        if redirect:
            status, cookie = redirect
            headers = [("Location", "https://%s%s" % (host, target))]
            if cookie:
                headers.append(("Set-Cookie", cookie + "; path=/"))
            return self.send(status, b"", headers)
        if refused:
            refuse503 = request.scripted_id().startswith("refuse503")
            return self.refuse(refused, retry_after=not refuse503)

        override = self.server.recorder.overrides().get(host + path)
        if override is not None:
            if override.get("hold"):
                self.hold(override["hold"])
            if override.get("delay_ms"):
                time.sleep(override["delay_ms"] / 1000.0)
            if override.get("reset"):
                return self.reset()
            body = override.get("body", "").encode(override.get("encoding", "utf-8"))
            if override.get("trickle_ms"):
                return self.trickle(override.get("status", 200), body, override["trickle_ms"])
            if override.get("short_by"):
                return self.cut_short(override.get("status", 200), body, override["short_by"])
            return self.send(override.get("status", 200), body,
                             [tuple(h) for h in override.get("headers", [])])

        if path in EXCHANGE_PAGES:
            return self.exchange_page(path, query)
        if path.startswith("/p/"):
            who = request.profile_id()
            flaky = FLAKY.match(who)
            if flaky:
                who = flaky.group(2)
            if who.startswith(HOSTILE):
                return self.hostile(who, host, target)
            if who.startswith("free"):
                return self.send(200, b"<html><body>" + PROFILE_MISSING + b"</body></html>", html)
            if who.startswith("big") and who[3:].isdigit():
                return self.send(200, large_profile(who, int(who[3:])), html)
            return self.send(200, ("<html><body>profile of %s</body></html>" % who).encode("utf-8"), html)
        if path == "/f/search/res":
            who = query.get("qw", [""])[0]
            body = b"<html><body>"
            if "taken" in who or "half" in who:
                body += SEARCH_LIKED
            if "taken" in who:
                body += SEARCH_IDENTITY
            return self.send(200, body + b"</body></html>", html)
        if path == UPDATE_PATH:
            return self.send(200, b"<html><body>" + UPDATE_MARKER + b"</body></html>", html)
        if path == "/echo":
            return self.send(200, request.raw, [("Content-Type", "application/octet-stream")])
        if path == "/marker":
            return self.send(200, b"<html>MARKER-PAGE</html>", html)
        if path == "/setcookie":
            return self.send(200, b"cookies set", [("Set-Cookie", "alpha=1; path=/"),
                                                   ("Set-Cookie", "beta=two; path=/")])
        if path == "/redirect":
            return self.send(302, b"", [("Location", query.get("to", ["/marker"])[0])])
        if path == "/big":
            size = int(query.get("size", ["0"])[0])
            return self.send(200, pattern(size), [("Content-Type", "application/octet-stream")],
                             chunked=query.get("chunked", ["0"])[0] == "1")
        if path == "/bigheaders":
            size = int(query.get("size", ["4096"])[0])
            filler = [("X-Filler-%d" % i, "f" * 100) for i in range(size // 100 + 1)]
            return self.send(200, b"small body", [("Set-Cookie", "big=1; path=/")] + filler)
        if path == "/cookie-noeq":
            return self.send(200, b"ok", [("Set-Cookie", "lonely")])
        if path == "/zeros":
            return self.send(200, b"ab\x00cd\x00\x00ef\x00", [("Content-Type", "application/octet-stream")])
        if path == "/utf8":
            return self.send(200, "张三 ok".encode("utf-8"), html)
        if path == "/big5":
            return self.send(200, "體 ok".encode("big5"), html)
        if path == "/ctrlz-cookie":
            return self.send(200, b"ok", [("X-Odd", b"a\x1ab"), ("Set-Cookie", "gamma=3; path=/"),
                                          ("Set-Cookie", "delta=4; path=/")])
        if path == "/slow":
            time.sleep(int(query.get("ms", ["1000"])[0]) / 1000.0)
            return self.send(200, b"slow page", html)
        if path == "/reset":
            return self.reset()
        return self.send(404, b"not here", html)


class Gathering:
    """Groups of requests that wait for each other (the /gather page)."""
    def __init__(self):
        self.condition = threading.Condition()
        self.arrived = {}

    def join(self, group, size):
        """Waits until `size` requests of `group` have arrived; False after 30 s without."""
        with self.condition:
            self.arrived[group] = self.arrived.get(group, 0) + 1
            self.condition.notify_all()
            return self.condition.wait_for(lambda: self.arrived[group] >= size, timeout=30)


class Server(socketserver.ThreadingTCPServer):
    """One thread per connection. The listen queue holds a burst of connections opened at the
    same time (a client with many requests in flight); a full queue would drop connection
    attempts, which the client only retries a second later."""
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 64
    scheme = "http"


class TlsServer(Server):
    """The same pages over TLS. The handshake is made on the connection's own thread (see
    Handler.handle), so a client that is slow or refuses the certificate holds up no other."""
    scheme = "https"

    def __init__(self, address, context):
        super().__init__(address, Handler)
        self.context = context

    def get_request(self):
        connection, peer = super().get_request()
        return self.context.wrap_socket(connection, server_side=True,
                                        do_handshake_on_connect=False), peer


def tls_context(cert_dir):
    """The TLS set-up from the files in cert_dir (see run-isolated.sh): server.pem, signed by
    the trusted test CA for the service's names, for every name the client asks for, except
    UNTRUSTED_HOST, which gets untrusted-chain.pem (its certificate and the CA that signed it,
    a CA nobody trusts). WinINet refuses untrusted.test with 12045 (ERROR_INTERNET_INVALID_CA)
    and wrongname.test, which gets the trusted certificate, with 12038
    (ERROR_INTERNET_SEC_CERT_CN_INVALID)."""
    def context(chain, key):
        made = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        made.load_cert_chain(os.path.join(cert_dir, chain), os.path.join(cert_dir, key))
        return made
    trusted = context("server.pem", "server.key")
    untrusted = context("untrusted-chain.pem", "untrusted.key")

    def choose(connection, name, _):
        if name == UNTRUSTED_HOST:
            connection.context = untrusted
    trusted.sni_callback = choose
    return trusted


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--tls-port", type=int, default=443)
    parser.add_argument("--cert-dir", help="serve TLS on --tls-port with the certificates here")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--record-dir", required=True)
    parser.add_argument("--ready-file", help="created once the server listens")
    args = parser.parse_args()
    servers = [Server((args.address, args.port), Handler)]
    if args.cert_dir:
        servers.append(TlsServer((args.address, args.tls_port), tls_context(args.cert_dir)))
    recorder = Recorder(args.record_dir)
    shared = {"recorder": recorder, "gathering": Gathering(), "traffic": Traffic(recorder),
              "flakes": Flakes(), "resets": Resets(recorder), "admission": threading.Lock()}
    for server in servers:
        server.__dict__.update(shared)
    if args.ready_file:
        open(args.ready_file, "w").close()
    for server in servers[1:]:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    servers[0].serve_forever()


if __name__ == "__main__":
    main()
