#!/usr/bin/env python3
"""The test web server: reports, generated bodies, failure modes and a journal.

    server.py --port N --root DIR [--tls-port M --tls-dir CERTS]

Listens on 127.0.0.1 only. With --tls-port the same endpoints and the same
journal are served over TLS on a second port too. CERTS holds the server's
certificates as PEM files (certificate, then key): localhost.pem, signed by
the test CA, serves by default; POST /_tls?cert=NAME makes new connections
get NAME.pem instead (a self-signed one, one for another host, ...) until
POST /_reset or /_tls?cert=localhost. Every request except the /_ control paths is
recorded in a journal that tests read with GET /_journal (JSON) and clear with
POST /_reset. Endpoints are small handler functions registered with
@app.route(method, path); a path ending in "/" matches every path below it.
Further endpoints live in modules named endpoints_*.py beside this file, each
with a register(app) function that adds its routes the same way. A handler is
called as handler(h, req): h answers (h.reply, h.reply_json,
h.reset_connection, or h.send_response and h.wfile for anything else); req
holds method, path (decoded), raw_path, query, params, headers, version,
body_bytes (None when too big to keep), form / multipart when parsed, and
entry, the request's journal record, to which a handler may add findings.

Core endpoints:
  GET  /_ping                      200 "pong"
  GET  /_journal                   the journal, oldest first
  POST /_reset                     clears the journal, and the TLS port serves localhost.pem again
  POST /_tls?cert=NAME             the TLS port serves NAME.pem to new connections
  GET  /_tls/ca.crl                the test CA's revocation list (CERTS/ca.crl)
  GET  /files/<path>               a file under --root (also any other GET path
                                   no route claims)
  GET  /gen/<bytes>/<name.ext>     a generated body: byte i is
                                   (i % 251 + 13 * (i // 251)) & 0xFF, streamed.
       options (query): trickle=B&interval_ms=M  B bytes per M ms
                        reset_after=K             K bytes, then a TCP reset
                        short_by=K                announce <bytes>, send K fewer, close
                        chunked=1                 chunked transfer encoding
                        nolength=1                no Content-Length; close at the end
                        delay_ms=M                wait M ms before the reply
                        status=C                  reply status C with the body
                        set_cookie=NAME=VALUE     a Set-Cookie header
  GET  /status/<code>              that status with a small JSON body
  GET  /redirect?to=URL            302 to URL (default /gen/16/target.txt), with Set-Cookie
  GET  /cookie/set?NAME=VALUE&...  sets each cookie (Path=/)
  GET  /cookie/show                {"cookie": the Cookie header received, or null}
  POST /echo[/...]                 records the body (form fields, multipart parts) and
                                   answers with that record as JSON
"""

import argparse
import base64
import glob
import hashlib
import importlib.util
import json
import mimetypes
import os
import re
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# Bodies up to this size are kept for parsing (multipart) and journaled whole
# (base64); larger ones only by size and digests.
KEEP_BODY_BYTES = 256 * 1024 * 1024
JOURNAL_BODY_BYTES = 64 * 1024
MAX_REQUEST_BODY = 2 * 1024 * 1024 * 1024

GEN_PERIOD = 251 * 256
_GEN_BLOCK = bytes(((i % 251) + 13 * (i // 251)) & 0xFF for i in range(GEN_PERIOD))
_GEN_TWICE = _GEN_BLOCK + _GEN_BLOCK


def generated(offset, length):
    """Bytes [offset, offset + length) of every generated body."""
    out = []
    while length > 0:
        start = offset % GEN_PERIOD
        n = min(length, GEN_PERIOD)
        out.append(_GEN_TWICE[start:start + n])
        offset += n
        length -= n
    return b"".join(out)


class Journal:
    def __init__(self):
        self._lock = threading.Lock()
        self._entries = []
        self._seq = 0

    def add(self, entry):
        with self._lock:
            self._seq += 1
            entry["seq"] = self._seq
            self._entries.append(entry)

    def entries(self):
        with self._lock:
            return list(self._entries)

    def reset(self):
        with self._lock:
            self._entries.clear()


class App:
    def __init__(self, root, tls_dir=None):
        self.root = os.path.abspath(root)
        self.journal = Journal()
        self._routes = []  # (method, path, is_prefix, handler)
        self.tls = TlsCertificates(tls_dir) if tls_dir else None

    def route(self, method, path):
        def register(handler):
            self._routes.append((method.upper(), path, path.endswith("/"), handler))
            return handler
        return register

    def find(self, method, path):
        best = None
        for m, p, prefix, handler in self._routes:
            if m != method:
                continue
            if path == p or (prefix and path.startswith(p)):
                if best is None or len(p) > len(best[0]):
                    best = (p, handler)
        return best[1] if best else None


class TlsCertificates:
    """The server certificates of the TLS port, one of them current."""

    DEFAULT = "localhost"

    def __init__(self, folder):
        self.folder = folder
        self._lock = threading.Lock()
        self._contexts = {}
        self.current = self.DEFAULT
        self.on_change = None  # called after a change of certificate
        self.context(self.DEFAULT)  # a missing default certificate fails at start

    def context(self, name):
        with self._lock:
            if name not in self._contexts:
                path = os.path.join(self.folder, os.path.basename(name) + ".pem")
                ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                ctx.minimum_version = ssl.TLSVersion.TLSv1_2
                ctx.load_cert_chain(path)
                self._contexts[name] = ctx
            return self._contexts[name]

    def select(self, name):
        self.context(name)
        changed = name != self.current
        self.current = name
        if changed and self.on_change:
            self.on_change()


class TlsServer(ThreadingHTTPServer):
    """Hands each connection the current certificate; the handshake runs on
    the request's own thread, so a client that refuses it stops nothing else."""

    def __init__(self, address, handler, certificates):
        self.certificates = certificates
        self._open = set()
        self._open_lock = threading.Lock()
        certificates.on_change = self.drop_connections
        super().__init__(address, handler)

    def get_request(self):
        sock, addr = self.socket.accept()
        ctx = self.certificates.context(self.certificates.current)
        tls = ctx.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        with self._open_lock:
            self._open.add(tls)
        return tls, addr

    def shutdown_request(self, request):
        with self._open_lock:
            self._open.discard(request)
        super().shutdown_request(request)

    def drop_connections(self):
        """Ends every kept-alive connection, so that a client's next request
        meets the new certificate (Wine pools connections across sessions)."""
        with self._open_lock:
            open_now = list(self._open)
        for sock in open_now:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def handle_error(self, request, client_address):
        # A refused certificate is what some tests are after.
        if isinstance(sys.exc_info()[1], (ssl.SSLError, ConnectionError)):
            sys.stderr.write("tls: %s\n" % sys.exc_info()[1])
            return
        super().handle_error(request, client_address)


# ---------------------------------------------------------------- body parsing

def parse_header_params(value):
    """'form-data; name="a"; filename="C:\\x"' -> ('form-data', {...}).
    Quoted values are taken literally: browsers and our client send Windows
    paths with bare backslashes."""
    parts = []
    current, quoted = [], False
    for ch in value:
        if ch == '"':
            quoted = not quoted
            current.append(ch)
        elif ch == ";" and not quoted:
            parts.append("".join(current))
            current = []
        else:
            current.append(ch)
    parts.append("".join(current))
    kind = parts[0].strip().lower()
    params = {}
    for p in parts[1:]:
        if "=" not in p:
            continue
        k, v = p.split("=", 1)
        v = v.strip()
        if len(v) >= 2 and v[0] == '"' and v[-1] == '"':
            v = v[1:-1]
        params[k.strip().lower()] = v
    return kind, params


def digest(data):
    return {"size": len(data), "md5": hashlib.md5(data).hexdigest(), "sha256": hashlib.sha256(data).hexdigest()}


def parse_multipart(body, boundary):
    """Every part's headers and a digest of its bytes; ok is False when the
    body is not well formed (missing delimiter, no closing delimiter, a part
    without its blank line)."""
    result = {"boundary": boundary, "ok": False, "parts": []}
    delim = b"--" + boundary.encode("latin-1")
    if not body.startswith(delim):
        pos = body.find(b"\r\n" + delim)
        if pos < 0:
            return result
        body = body[pos + 2:]
    pos = len(delim)
    while True:
        if body[pos:pos + 2] == b"--":
            result["ok"] = body[pos + 2:] in (b"", b"\r\n")
            return result
        if body[pos:pos + 2] != b"\r\n":
            return result
        pos += 2
        end = body.find(b"\r\n" + delim, pos)
        if end < 0:
            return result
        part = body[pos:end]
        head_end = part.find(b"\r\n\r\n")
        if head_end < 0:
            return result
        headers = {}
        raw_headers = []
        for line in part[:head_end].split(b"\r\n"):
            text = line.decode("utf-8", "replace")
            raw_headers.append(text)
            if ":" in text:
                k, v = text.split(":", 1)
                headers[k.strip().lower()] = v.strip()
        data = part[head_end + 4:]
        disposition, params = parse_header_params(headers.get("content-disposition", ""))
        entry = {
            "headers": raw_headers,
            "disposition": disposition,
            "name": params.get("name"),
            "filename": params.get("filename"),
            "content_type": headers.get("content-type"),
            "transfer_encoding": headers.get("content-transfer-encoding"),
        }
        entry.update(digest(data))
        if len(data) <= 4096:
            try:
                entry["value"] = data.decode("utf-8")
            except UnicodeDecodeError:
                entry["value"] = None
        result["parts"].append(entry)
        pos = end + 2 + len(delim)


# ---------------------------------------------------------------- the handler

class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "orvo-test/1"
    timeout = 60
    app = None  # set by make_server

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), fmt % args))

    def do_GET(self):
        self._dispatch()

    def do_POST(self):
        self._dispatch()

    def do_PUT(self):
        self._dispatch()

    def do_HEAD(self):
        self._dispatch()

    # -- request

    def _read_body(self):
        """(bytes or None, size, md5, sha256); None when too big to keep."""
        md5, sha = hashlib.md5(), hashlib.sha256()
        kept, size, keep = [], 0, True

        def take(data):
            nonlocal size, keep
            md5.update(data)
            sha.update(data)
            size += len(data)
            if keep and size <= KEEP_BODY_BYTES:
                kept.append(data)
            else:
                keep = False
                kept.clear()

        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            while True:
                line = self.rfile.readline(1024)
                n = int(line.split(b";")[0].strip() or b"0", 16)
                if n == 0:
                    while self.rfile.readline(1024) not in (b"\r\n", b"\n", b""):
                        pass
                    break
                left = n
                while left:
                    data = self.rfile.read(min(left, 1 << 20))
                    if not data:
                        raise ConnectionError("body cut short")
                    take(data)
                    left -= len(data)
                self.rfile.readline(16)
        else:
            length = int(self.headers.get("Content-Length", "0") or "0")
            if length < 0 or length > MAX_REQUEST_BODY:
                raise ValueError("bad Content-Length")
            left = length
            # /upload/slowbody/<ms>: the body is taken 64 KiB at a time, <ms>
            # apart, as over a slow line, so a client's progress can be seen.
            m = re.match(r"/upload/slowbody/(\d+)", self.path)
            pause, piece = (int(m.group(1)) / 1000.0, 1 << 16) if m else (0, 1 << 20)
            if m:  # a small window, so the sender feels the pace
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 16)
            while left:
                if pause:
                    time.sleep(pause)
                data = self.rfile.read(min(left, piece))
                if not data:
                    raise ConnectionError("body cut short")
                take(data)
                left -= len(data)
        return (b"".join(kept) if keep else None), size, md5.hexdigest(), sha.hexdigest()

    def _dispatch(self):
        split = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(split.path)
        try:
            body, size, md5, sha = self._read_body()
        except (ValueError, ConnectionError) as e:
            self.close_connection = True
            self.send_error(400, str(e))
            return
        req = {
            "scheme": self.scheme,
            "method": self.command,
            "path": path,
            "raw_path": split.path,
            "query": split.query,
            "params": urllib.parse.parse_qs(split.query, keep_blank_values=True),
            "version": self.request_version,
            "requestline": self.requestline,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body_size": size,
            "body_md5": md5,
            "body_sha256": sha,
        }
        if body is not None and size <= JOURNAL_BODY_BYTES:
            req["body_base64"] = base64.b64encode(body).decode("ascii")
            try:
                req["body"] = body.decode("utf-8")
            except UnicodeDecodeError:
                req["body"] = None
        ctype, cparams = parse_header_params(self.headers.get("Content-Type", ""))
        if body is not None and ctype == "application/x-www-form-urlencoded":
            try:
                req["form"] = [[k, v] for k, v in urllib.parse.parse_qsl(
                    body.decode("ascii"), keep_blank_values=True, strict_parsing=False, errors="strict")]
            except (UnicodeDecodeError, ValueError):
                req["form"] = None
        if body is not None and ctype == "multipart/form-data":
            req["multipart"] = parse_multipart(body, cparams.get("boundary", ""))

        if not path.startswith("/_"):
            # Handlers may add their findings to the entry (req["entry"]).
            req["entry"] = dict(req)
            self.app.journal.add(req["entry"])
        handler = self.app.find(self.command, path)
        if handler is None and self.command in ("GET", "HEAD"):
            handler = serve_file
        if handler is None:
            self.reply(404, b"not found\n", "text/plain")
            return
        req["body_bytes"] = body
        try:
            handler(self, req)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    @property
    def scheme(self):
        return "https" if isinstance(self.server, TlsServer) else "http"

    # -- replies

    def reply(self, status, body=b"", content_type="text/plain; charset=utf-8", headers=()):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def reply_json(self, obj, status=200, headers=()):
        self.reply(status, json.dumps(obj, ensure_ascii=False), "application/json; charset=utf-8", headers)

    def reset_connection(self):
        """Ends the connection with a TCP reset (RST), not an orderly close."""
        self.wfile.flush()
        sock = self.connection
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        os.close(sock.detach())
        self.close_connection = True


def param(req, name, default=None):
    values = req["params"].get(name)
    return values[0] if values else default


def int_param(req, name, default=0):
    try:
        return int(param(req, name, default))
    except (TypeError, ValueError):
        return default


def serve_file(h, req):
    rel = req["path"][len("/files/"):] if req["path"].startswith("/files/") else req["path"].lstrip("/")
    full = os.path.realpath(os.path.join(h.app.root, rel))
    if not (full == h.app.root or full.startswith(h.app.root + os.sep)) or not os.path.isfile(full):
        h.reply(404, b"not found\n")
        return
    ctype = mimetypes.guess_type(full)[0] or "application/octet-stream"
    size = os.path.getsize(full)
    h.send_response(200)
    h.send_header("Content-Type", ctype)
    h.send_header("Content-Length", str(size))
    h.end_headers()
    if h.command == "HEAD":
        return
    with open(full, "rb") as f:
        while True:
            data = f.read(1 << 20)
            if not data:
                break
            h.wfile.write(data)


def register_core(app):
    @app.route("GET", "/_ping")
    def ping(h, req):
        h.reply(200, b"pong")

    @app.route("GET", "/_journal")
    def journal(h, req):
        h.reply_json(app.journal.entries())

    @app.route("POST", "/_reset")
    def reset(h, req):
        app.journal.reset()
        if app.tls:
            app.tls.select(TlsCertificates.DEFAULT)
        h.reply_json({"ok": True})

    @app.route("POST", "/_tls")
    def tls(h, req):
        if not app.tls:
            h.reply(404, b"no TLS port\n")
            return
        try:
            app.tls.select(param(req, "cert", TlsCertificates.DEFAULT))
        except (OSError, ssl.SSLError) as e:
            h.reply(400, str(e))
            return
        h.reply_json({"ok": True, "cert": app.tls.current})

    @app.route("GET", "/_tls/ca.crl")
    def crl(h, req):
        try:
            with open(os.path.join(app.tls.folder, "ca.crl"), "rb") as f:
                h.reply(200, f.read(), "application/pkix-crl")
        except (AttributeError, OSError):
            h.reply(404, b"no revocation list\n")

    @app.route("GET", "/files/")
    def files(h, req):
        serve_file(h, req)

    @app.route("GET", "/gen/")
    def gen(h, req):
        pieces = req["path"][len("/gen/"):].split("/", 1)
        try:
            size = int(pieces[0])
        except ValueError:
            h.reply(400, b"size?\n")
            return
        name = pieces[1] if len(pieces) > 1 else "body.bin"
        status = int_param(req, "status", 200)
        delay = int_param(req, "delay_ms")
        trickle = int_param(req, "trickle")
        interval = int_param(req, "interval_ms", 100) / 1000.0
        reset_after = int_param(req, "reset_after", -1)
        short_by = int_param(req, "short_by")
        chunked = param(req, "chunked") == "1"
        nolength = param(req, "nolength") == "1"
        cookie = param(req, "set_cookie")

        if delay:
            time.sleep(delay / 1000.0)
        h.send_response(status)
        h.send_header("Content-Type", mimetypes.guess_type(name)[0] or "application/octet-stream")
        if chunked:
            h.send_header("Transfer-Encoding", "chunked")
        elif nolength:
            h.send_header("Connection", "close")
            h.close_connection = True
        else:
            h.send_header("Content-Length", str(size))
        if cookie:
            h.send_header("Set-Cookie", cookie + "; Path=/")
        h.end_headers()
        if h.command == "HEAD":
            return

        send_total = size - short_by if short_by > 0 else size
        if reset_after >= 0:
            send_total = min(send_total, reset_after)
        step = trickle if trickle > 0 else 256 * 1024
        sent = 0
        while sent < send_total:
            n = min(step, send_total - sent)
            data = generated(sent, n)
            if chunked:
                h.wfile.write(b"%x\r\n" % n + data + b"\r\n")
            else:
                h.wfile.write(data)
            sent += n
            if trickle > 0:
                h.wfile.flush()
                time.sleep(interval)
        if reset_after >= 0:
            h.reset_connection()
            return
        if short_by > 0:
            h.wfile.flush()
            h.connection.shutdown(socket.SHUT_WR)
            h.close_connection = True
            return
        if chunked:
            h.wfile.write(b"0\r\n\r\n")

    @app.route("GET", "/status/")
    def status(h, req):
        try:
            code = int(req["path"][len("/status/"):])
        except ValueError:
            code = 500
        h.reply_json({"error": str(code), "msg": "status %d" % code}, status=code)

    @app.route("GET", "/redirect")
    def redirect(h, req):
        target = param(req, "to", "/gen/16/target.txt")
        h.reply(302, b"moved\n", headers=[("Location", target), ("Set-Cookie", "redirected=yes; Path=/")])

    @app.route("GET", "/cookie/set")
    def cookie_set(h, req):
        headers = [("Set-Cookie", "%s=%s; Path=/" % (k, v[0])) for k, v in req["params"].items()]
        h.reply(200, b"ok\n", headers=headers)

    @app.route("GET", "/cookie/show")
    def cookie_show(h, req):
        h.reply_json({"cookie": h.headers.get("Cookie")})

    def echo(h, req):
        record = {k: v for k, v in req.items() if k not in ("body_bytes", "body_base64", "params", "entry")}
        h.reply_json(record)

    app.route("POST", "/echo")(echo)
    app.route("POST", "/echo/")(echo)


def load_endpoint_modules(app):
    here = os.path.dirname(os.path.abspath(__file__))
    for path in sorted(glob.glob(os.path.join(here, "endpoints_*.py"))):
        name = os.path.splitext(os.path.basename(path))[0]
        module_spec = importlib.util.spec_from_file_location(name, path)
        module = importlib.util.module_from_spec(module_spec)
        module_spec.loader.exec_module(module)
        module.register(app)


def make_servers(port, root, tls_port=None, tls_dir=None):
    """The plain server, and the TLS one (or None) sharing its endpoints and journal."""
    os.makedirs(root, exist_ok=True)
    app = App(root, tls_dir if tls_port else None)
    register_core(app)
    load_endpoint_modules(app)
    handler = type("BoundHandler", (Handler,), {"app": app})
    server = ThreadingHTTPServer(("127.0.0.1", port), handler)
    server.daemon_threads = True
    tls_server = None
    if tls_port:
        tls_server = TlsServer(("127.0.0.1", tls_port), handler, app.tls)
        tls_server.daemon_threads = True
    return server, tls_server


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--tls-port", type=int)
    parser.add_argument("--tls-dir")
    args = parser.parse_args()
    if args.tls_port and not args.tls_dir:
        parser.error("--tls-port needs --tls-dir")
    server, tls_server = make_servers(args.port, args.root, args.tls_port, args.tls_dir)
    if tls_server:
        threading.Thread(target=tls_server.serve_forever, daemon=True).start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
