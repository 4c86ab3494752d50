"""The loopback package host for tests and the demo.

HTTPS on 127.0.0.1:443 with a certificate for `localhost` signed by a test CA
that only the build tree's Wine prefix trusts (the host's own trust store is
never touched). It answers what the tests script and records every request,
including the telemetry posts to /api/uma/. Every answer closes its
connection, so no client ever reuses one across scripts.

Command line (the ctest fixture package_host.start/stop, and the demo):

    python3 package_host.py start TREE [--import-ca EXE]
    python3 package_host.py stop TREE

start: makes the CA and the certificates under TREE/package-host (kept for
later runs, remade when they expire within a day), imports the CA into
TREE/wineprefix with tavo_import_ca.exe (default TREE/tests/tools/; the tree's
Wine session must be running), stops a host that this tree left running, and
starts the host in the background. It returns once the host answers, or fails
with exit code 1 and the reason (port 443 or the control port taken, ...)
leaving nothing running. stop: ends the host that start recorded (no host: no
error). Only one host can run on a machine at a time: it owns port 443.

Scripting: a plain-HTTP control port on 127.0.0.1:CONTROL_PORT. From Python:

    sys.path.insert(0, "<source>/tests/hosts")
    from package_host import PackageHost
    host = PackageHost()
    host.script(body=descriptor_xml)               # 200 with that body
    host.script(status=302, headers={"Location": "https://localhost/x"})
    host.script(body_length=262145, content_length="none")
    host.script(first_connections=["hangup"], body=xml)  # first one unanswered
    host.script(refuse=True); ...; host.listen()   # refused until listen()
    host.listen_when(trace_path, '"phase":"error"')  # listen() once the file has it
    host.requests()          # every request since the last script()
    host.telemetry_posts()   # the POST /api/uma/ requests among them

script() replaces the previous script and clears the records; its fields:

    status          answer status (200)
    body            answer body, text sent as UTF-8 ("")
    body_length     the body repeated ("x" when empty) and cut to this many bytes
    content_length  "auto" (the body's length), "none" (no header: the body ends
                    when the connection closes) or a value announced as given
    headers         extra answer headers, {name: value}
    delay           seconds to wait before answering (a slow host; at most 60)
    hold_until      a file path: the descriptor is answered once the file exists
                    (at most 25 s, within the worker's 30 s answer time-out), so
                    a test reads the screens of a slow host at its own pace
    certificate     "trusted", or "untrusted": a self-signed `localhost`
                    certificate that the prefix does not trust
    first_connections  what the first TLS connections get, in order: "serve",
                    "drop" (closed before the handshake), "reset" (TCP reset
                    before the handshake) or "hangup" (closed after the request,
                    without an answer); later connections are served
    refuse          stop listening on 443 (connections are refused) until listen()
    uma_status, uma_body  the answer to POST /api/uma/ (200, "")
    uma_statuses    statuses of the first /api/uma/ posts in order ([]); later
                    posts get uma_status
    uma_headers     extra headers of the /api/uma/ answers, {name: value}
    uma_body_length the uma body repeated ("x" when empty) and cut to this many bytes
    uma_hold_until  a file path: /api/uma/ posts are answered once the file exists
                    (at most 25 s), so a test acts while the worker waits

A request record: {"connection": n, "method", "path", "headers": {name: value},
"body": text}. state() also gives "connections" (TLS connections accepted),
"listening" and "pid" (the host process).

What WinHTTP reports for each failure under Wine 8 (measured):
    refuse                      12029 cannot connect, 0x80072EFD (retried)
    drop, reset, untrusted      12157 secure channel error, 0x80072F7D (not retried)
    hangup                      12152 invalid server response, 0x80072F78
    delay above 30 s            10060 at the 30 s answer time-out, 0x8007274C
So a first attempt that fails with a retried code and a second that is served
is: script(refuse=True), then listen() once the first failure is logged.

The same control channel over raw HTTP (for in-process tests):
    PUT  /script   JSON object of the fields above
    POST /listen
    GET  /state
"""

import argparse
import http.client
import http.server
import json
import os
import pathlib
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tools"))
from tavo_tree import windows_path  # noqa: E402

HOST = "127.0.0.1"
PORT = 443
CONTROL_PORT = 14443
START_TIMEOUT = 20  # seconds
MAX_DELAY = 60
MAX_REQUEST = 1 << 20  # bytes of request head plus body

SCRIPT_DEFAULTS = {
    "status": 200,
    "body": "",
    "body_length": None,
    "content_length": "auto",
    "headers": {},
    "delay": 0,
    "hold_until": None,
    "certificate": "trusted",
    "first_connections": [],
    "refuse": False,
    "uma_status": 200,
    "uma_body": "",
    "uma_statuses": [],
    "uma_headers": {},
    "uma_body_length": None,
    "uma_hold_until": None,
}

REASONS = {200: "OK", 301: "Moved Permanently", 302: "Found", 404: "Not Found", 500: "Internal Server Error"}


# ---------------------------------------------------------------- client API

class PackageHost:
    """Scripts the running host through its control port."""

    def __init__(self, port=CONTROL_PORT):
        self.port = port

    def _call(self, method, path, body=None):
        connection = http.client.HTTPConnection(HOST, self.port, timeout=10)
        try:
            data = None if body is None else json.dumps(body).encode("utf-8")
            connection.request(method, path, body=data, headers={"Content-Type": "application/json"})
            response = connection.getresponse()
            text = response.read().decode("utf-8")
            if response.status != 200:
                raise RuntimeError("package host: %s %s: %d %s" % (method, path, response.status, text))
            return json.loads(text) if text else None
        finally:
            connection.close()

    def script(self, **fields):
        """Replaces the script (unnamed fields take their defaults) and clears the records."""
        self._call("PUT", "/script", fields)

    def listen(self):
        """Listens on 443 again after script(refuse=True)."""
        self._call("POST", "/listen")

    def listen_when(self, path, text, timeout=60):
        """Calls listen() once the file at `path` contains `text`, from a
        thread that it returns started (join it). For a first attempt that is
        refused and a second that is served: script(refuse=True), then
        listen_when(<report>.trace.jsonl, '"phase":"error"'): the worker logs
        the first attempt's failure before its 500 ms pause."""
        path = pathlib.Path(path)

        def wait_then_listen():
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                try:
                    if text in path.read_text(encoding="utf-8", errors="replace"):
                        break
                except OSError:
                    pass  # not written yet
                time.sleep(0.01)
            self.listen()

        thread = threading.Thread(target=wait_then_listen, daemon=True)
        thread.start()
        return thread

    def state(self):
        return self._call("GET", "/state")

    def requests(self):
        return self.state()["requests"]

    def telemetry_posts(self):
        return [r for r in self.requests() if r["method"] == "POST" and r["path"] == "/api/uma/"]


# ---------------------------------------------------------------- certificates

def _openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdin=subprocess.DEVNULL, capture_output=True)


def _valid_for_a_day(cert):
    if not cert.exists():
        return False
    return subprocess.run(["openssl", "x509", "-checkend", "86400", "-noout", "-in", str(cert)],
                          stdin=subprocess.DEVNULL, capture_output=True).returncode == 0


def make_certificates(folder):
    """The test CA, the `localhost` certificate it signs, and a self-signed one."""
    names = ["ca.pem", "localhost.pem", "localhost.key", "untrusted.pem", "untrusted.key"]
    if all((folder / n).exists() for n in names) and all(
            _valid_for_a_day(folder / n) for n in ("ca.pem", "localhost.pem", "untrusted.pem")):
        return
    days = "30"
    ca_key, ca = folder / "ca.key", folder / "ca.pem"
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(ca_key), "-out", str(ca),
             "-days", days, "-subj", "/CN=Tavo Test Package Host CA",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    extensions = folder / "localhost.ext"
    extensions.write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
                          "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n")
    request = folder / "localhost.csr"
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", str(folder / "localhost.key"),
             "-out", str(request), "-subj", "/CN=localhost")
    _openssl("x509", "-req", "-in", str(request), "-CA", str(ca), "-CAkey", str(ca_key), "-set_serial",
             str(int(time.time() * 1000)), "-days", days, "-extfile", str(extensions),
             "-out", str(folder / "localhost.pem"))
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(folder / "untrusted.key"),
             "-out", str(folder / "untrusted.pem"), "-days", days, "-subj", "/CN=localhost",
             "-addext", "subjectAltName=DNS:localhost", "-addext", "extendedKeyUsage=serverAuth")
    request.unlink()
    extensions.unlink()


def import_ca(tree, folder, importer):
    wine_exec = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "wine-exec.sh"
    result = subprocess.run(["sh", str(wine_exec), str(tree), windows_path(importer),
                             windows_path(folder / "ca.pem")],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    if result.returncode != 0:
        raise RuntimeError("importing the test CA failed (%d): %s" %
                           (result.returncode, result.stderr.decode(errors="replace")))


# ---------------------------------------------------------------- the host

class Host:
    def __init__(self, folder):
        self.lock = threading.Lock()
        self.contexts = {}
        for name, cert in (("trusted", "localhost"), ("untrusted", "untrusted")):
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(str(folder / (cert + ".pem")), str(folder / (cert + ".key")))
            self.contexts[name] = context
        self.script = dict(SCRIPT_DEFAULTS)
        self.requests = []
        self.connections = 0
        self.listener = None
        self.stopping = threading.Event()

    # Listening on 443; fails loudly when the port is taken.
    def open_listener(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            listener.bind((HOST, PORT))
        except OSError:
            listener.close()
            raise
        listener.listen(16)
        listener.settimeout(0.2)
        self.listener = listener

    def close_listener(self):
        if self.listener is not None:
            # shutdown() stops a Linux listening socket at once, even while
            # the accept loop still polls it; close() alone would wait for that.
            try:
                self.listener.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass  # not listening any more: nothing to stop
            self.listener.close()
            self.listener = None

    def accept_loop(self):
        while not self.stopping.is_set():
            with self.lock:
                listener = self.listener
            if listener is None:
                time.sleep(0.05)
                continue
            try:
                conn, _ = listener.accept()
            except (socket.timeout, OSError):
                continue  # a time-out, or the listener was closed by refuse
            with self.lock:
                index = self.connections
                self.connections += 1
                script = self.script
            threading.Thread(target=self.serve_connection, args=(conn, index, script), daemon=True).start()

    def serve_connection(self, conn, index, script):
        conn.setblocking(True)
        first = script["first_connections"]
        action = first[index] if index < len(first) else "serve"
        if action == "drop":
            conn.close()
            return
        if action == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
            return
        conn.settimeout(MAX_DELAY + 30)
        try:
            tls = self.contexts[script["certificate"]].wrap_socket(conn, server_side=True)
        except (ssl.SSLError, OSError) as error:
            log("connection %d: handshake failed: %s" % (index, error))
            conn.close()
            return
        try:
            request = read_request(tls)
            if request is None:
                return
            request["connection"] = index
            with self.lock:
                self.requests.append(request)
            if action == "hangup":
                return
            tls.sendall(self.answer(request, script))
            # close_notify ends a body sent without Content-Length. Non-blocking:
            # sent at once, without waiting for the client's own close_notify.
            tls.setblocking(False)
            try:
                tls.unwrap()
            except (ssl.SSLError, OSError):
                pass  # the client's close_notify is not awaited
        except (ssl.SSLError, OSError) as error:
            log("connection %d: %s" % (index, error))
        finally:
            tls.close()

    def hold_until(self, path):
        """Waits until the file `path` exists (at most 25 s); nothing to wait for without one."""
        for _ in range(250 if path else 0):
            if os.path.exists(path) or self.stopping.wait(0.1):
                break

    def answer(self, request, script):
        if request["method"] == "POST" and request["path"] == "/api/uma/":
            with self.lock:
                index = sum(1 for r in self.requests if r["method"] == "POST" and r["path"] == "/api/uma/") - 1
            statuses = script["uma_statuses"]
            status = statuses[index] if 0 <= index < len(statuses) else script["uma_status"]
            self.hold_until(script["uma_hold_until"])
            body = sized(script["uma_body"].encode("utf-8"), script["uma_body_length"])
            return response(status, body, "auto", script["uma_headers"])
        delay = min(float(script["delay"]), MAX_DELAY)
        if delay > 0:
            self.stopping.wait(delay)
        self.hold_until(script["hold_until"])
        body = sized(script["body"].encode("utf-8"), script["body_length"])
        return response(script["status"], body, script["content_length"], script["headers"])

    # Control requests.
    def set_script(self, fields):
        unknown = set(fields) - set(SCRIPT_DEFAULTS)
        if unknown:
            raise ValueError("unknown script fields: %s" % ", ".join(sorted(unknown)))
        script = dict(SCRIPT_DEFAULTS, **fields)
        for name, kinds in (("status", int), ("uma_status", int), ("body", str), ("uma_body", str),
                            ("body_length", (int, type(None))), ("content_length", (str, int)),
                            ("headers", dict), ("delay", (int, float)), ("refuse", bool),
                            ("first_connections", list), ("uma_statuses", list), ("uma_headers", dict),
                            ("uma_body_length", (int, type(None))), ("hold_until", (str, type(None))),
                            ("uma_hold_until", (str, type(None)))):
            if not isinstance(script[name], kinds):
                raise ValueError("script field %s has the wrong type" % name)
        for name in ("headers", "uma_headers"):
            "".join("%s%s" % item for item in script[name].items()).encode("latin-1")  # ValueError if not
        if not all(isinstance(s, int) for s in script["uma_statuses"]):
            raise ValueError("uma_statuses must be status numbers")
        if script["certificate"] not in self.contexts:
            raise ValueError("certificate must be trusted or untrusted")
        if any(a not in ("serve", "drop", "reset", "hangup") for a in script["first_connections"]):
            raise ValueError("first_connections: serve, drop, reset or hangup")
        with self.lock:
            self.script = script
            self.requests = []
            self.connections = 0
            if script["refuse"]:
                self.close_listener()
            elif self.listener is None:
                self.open_listener()

    def listen(self):
        with self.lock:
            if self.listener is None:
                self.open_listener()

    def state(self):
        with self.lock:
            return {"connections": self.connections, "requests": list(self.requests),
                    "listening": self.listener is not None, "pid": os.getpid()}


def read_request(tls):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = tls.recv(8192)
        if not chunk:
            return None
        data += chunk
        if len(data) > MAX_REQUEST:
            return None
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    parts = lines[0].split(" ")
    if len(parts) != 3:
        return None
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip()] = value.strip()
    length = next((v for k, v in headers.items() if k.lower() == "content-length"), "0")
    length = int(length) if length.isdigit() and int(length) <= MAX_REQUEST else 0
    while len(body) < length:
        chunk = tls.recv(min(8192, length - len(body)))
        if not chunk:
            break
        body += chunk
    return {"method": parts[0], "path": parts[1], "headers": headers,
            "body": body.decode("utf-8", errors="replace")}


def sized(body, length):
    """The body repeated ("x" when empty) and cut to `length` bytes; unchanged for None."""
    if length is None:
        return body
    unit = body or b"x"
    return (unit * (int(length) // len(unit) + 1))[:int(length)]


def response(status, body, content_length, headers):
    lines = ["HTTP/1.1 %d %s" % (status, REASONS.get(status, "Status")), "Connection: close"]
    if content_length == "auto":
        lines.append("Content-Length: %d" % len(body))
    elif content_length != "none":
        lines.append("Content-Length: %s" % content_length)
    lines += ["%s: %s" % item for item in headers.items()]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body


def control_server(host):
    class Control(http.server.BaseHTTPRequestHandler):
        def reply(self, status, value=None):
            data = b"" if value is None else json.dumps(value).encode("utf-8")
            self.send_response(status)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def do_PUT(self):
            if self.path != "/script":
                return self.reply(404)
            try:
                fields = json.loads(self.rfile.read(int(self.headers.get("Content-Length", "0"))) or b"{}")
                host.set_script(fields)
            except (ValueError, TypeError, OSError) as error:
                return self.reply(400, str(error))
            self.reply(200)

        def do_POST(self):
            if self.path == "/listen":
                try:
                    host.listen()
                except OSError as error:
                    return self.reply(500, str(error))
                return self.reply(200)
            self.reply(404)

        def do_GET(self):
            if self.path == "/state":
                return self.reply(200, host.state())
            self.reply(404)

        def log_message(self, *args):
            pass

    http.server.ThreadingHTTPServer.allow_reuse_address = True
    return http.server.ThreadingHTTPServer((HOST, CONTROL_PORT), Control)


def log(text):
    print(time.strftime("%H:%M:%S"), text, file=sys.stderr, flush=True)


def serve(tree):
    folder = tree / "package-host"
    host = Host(folder)
    try:
        host.open_listener()
        control = control_server(host)
    except OSError as error:
        log("cannot listen on %s:%d or %s:%d: %s (another package host running?)" %
            (HOST, PORT, HOST, CONTROL_PORT, error))
        return 3
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=control.shutdown).start())
    threading.Thread(target=host.accept_loop, daemon=True).start()
    log("serving https://localhost:%d, control http://%s:%d" % (PORT, HOST, CONTROL_PORT))
    control.serve_forever(poll_interval=0.2)
    host.stopping.set()
    host.close_listener()
    return 0


# ---------------------------------------------------------------- start / stop

def _recorded_host(pidfile):
    """The pid of the host this tree started, if it still runs."""
    try:
        pid = int(pidfile.read_text())
        cmdline = pathlib.Path("/proc/%d/cmdline" % pid).read_bytes().split(b"\0")
    except (OSError, ValueError):
        return None
    return pid if b"serve" in cmdline and any(a.endswith(b"package_host.py") for a in cmdline) else None


def stop(tree):
    pidfile = tree / "package-host" / "host.pid"
    pid = _recorded_host(pidfile)
    if pid is not None:
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            if _recorded_host(pidfile) is None:
                break
            time.sleep(0.05)
        else:
            os.kill(pid, signal.SIGKILL)
    pidfile.unlink(missing_ok=True)
    return 0


def start(tree, importer):
    folder = tree / "package-host"
    folder.mkdir(parents=True, exist_ok=True)
    stop(tree)
    make_certificates(folder)
    import_ca(tree, folder, importer or tree / "tests" / "tools" / "tavo_import_ca.exe")
    logfile = folder / "host.log"
    with open(logfile, "w") as out:
        process = subprocess.Popen([sys.executable, "-B", str(pathlib.Path(__file__).resolve()), "serve", str(tree)],
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=out, start_new_session=True)
    (folder / "host.pid").write_text(str(process.pid))
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if process.poll() is not None:
            break
        try:
            control = PackageHost()
            control.script()
            if control.state()["pid"] != process.pid:
                raise RuntimeError("another package host answers on the control port")
            print("package host: https://localhost:%d (control %s:%d), log %s" % (PORT, HOST, CONTROL_PORT, logfile))
            return 0
        except (OSError, RuntimeError):
            time.sleep(0.1)
    stop(tree)
    sys.stderr.write("package host did not start:\n" + logfile.read_text())
    return 1


def main():
    parser = argparse.ArgumentParser(description="The loopback package host.")
    parser.add_argument("action", choices=["start", "stop", "serve"])
    parser.add_argument("tree", type=pathlib.Path)
    parser.add_argument("--import-ca", type=pathlib.Path, help="tavo_import_ca.exe")
    args = parser.parse_args()
    tree = args.tree.resolve()
    if args.action == "start":
        try:
            return start(tree, args.import_ca)
        except (OSError, RuntimeError, subprocess.SubprocessError) as error:
            stop(tree)
            sys.stderr.write("package host: %s\n" % error)
            return 1
    if args.action == "stop":
        return stop(tree)
    return serve(tree)


if __name__ == "__main__":
    sys.exit(main())
