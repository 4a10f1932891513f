#!/usr/bin/env python3
"""A local HTTP(S) service for the network tests, on 127.0.0.1 only, that misbehaves on request.

Prints "PORT <n>" once listening. Every request is recorded as one JSON line in the --log file
(method, path, headers in order, body as hex) before it is answered. The path picks the answer;
leading modifiers compose, e.g. /delay/800/status/500/api/info/:
  /delay/<ms>/...    answer only after <ms>
  /trickle/...       send bodies 1 KiB at a time, 20 ms apart
  /tamper/...        the installer below with its last byte changed (the published digest stays)
  /drop/...          the installer below announced whole, half sent, then the connection closed
  /missing/...       the installer below answered 404 (the latest-version answer still offers it)
  /status/<code>/... answer with that status ({"status": code})
  /empty/...         200 with an empty body
  /redirect/...      302 to the same path
  /bytes/<n>         n bytes with a Content-Length
  /nolength/<n>      n bytes without a Content-Length, then close
  /short/<n>         announce n bytes, send half, close
  /stall/<n>         announce n bytes, send half, then go quiet until the client leaves
  a --route path     200 with that route's JSON (the query is ignored)
  /installer/<name>  with --installer: that file's bytes, with a Content-Length
  /api/versions/latest/  with --installer: {"version", "notes", "url", "size", "sha256"} offering
                     it as version --offer; the "url" keeps the modifiers the question came with,
                     so a check under /trickle/ offers a download that trickles; the notes are
                     in the language of ?lang= (en-us, de-de, ja-jp; English for any other)
  /api/versions/     200 with a version list (VERSIONS, notes by ?lang= too) unless a route
                     answers it
  anything else      200 {"ok":true,"path":"<path>"}
--never-accept listens but never accepts a connection. The service ends by itself after
--lifetime seconds, or when its standard input closes (the test that started it is gone).
"""
import argparse
import hashlib
import http.server
import json
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse

CHUNK = 1 << 20
PATTERN = bytes(range(256)) * (CHUNK // 256)
# In no order; "1.10.0" is newer than "1.9.2" though it sorts before it as text. Notes come as
# lines in one text, as a list, or not at all, and in the language the question asks for
# (?lang=de-de; a bare "de" or another region finds German too); any other language gets English.
VERSIONS = [
    {"version": "1.3.6", "date": "2026-03-18", "notes": {
        "en-us": "Start-up items can be restored\nQuieter tray menu",
        "de-de": "Autostart-Einträge lassen sich wiederherstellen\nRuhigeres Infobereichsmenü",
        "ja-jp": "スタートアップ項目を元に戻せるようになりました\nトレイメニューが控えめになりました"}},
    {"version": "1.10.0", "date": "2026-09-01", "notes": {
        "en-us": ["Faster duplicate scans", "Large files can be moved"],
        "de-de": ["Schnellere Duplikatsuche", "Große Dateien lassen sich verschieben"],
        "ja-jp": ["重複ファイルの検索が高速になりました", "大きなファイルを移動できるようになりました"]}},
    {"version": "1.2.0", "date": "2025-11-20", "notes": {
        "en-us": "Chat apps: QQ", "de-de": "Chat-Apps: QQ", "ja-jp": "チャットアプリ: QQ"}},
    {"version": "1.9.2", "date": "2026-07-14"},
]
LATEST_NOTES = {
    "en-us": "Faster duplicate scans on large folders\nThe tray menu follows the system language",
    "de-de": "Schnellere Duplikatsuche in großen Ordnern\nDas Infobereichsmenü folgt der Systemsprache",
    "ja-jp": "大きなフォルダーでの重複ファイル検索が速くなりました\nトレイメニューがシステムの言語に従います",
}


def asked_language(path):
    query = urllib.parse.parse_qs(urllib.parse.urlsplit(path).query)
    return query.get("lang", [""])[0].strip().lower().replace("_", "-")


def in_language(texts, language):
    """The text for `language` from a table keyed by lower-case tags, else the English one."""
    if language in texts:
        return texts[language]
    primary = language.split("-")[0]
    for tag, text in texts.items():
        if primary and tag.split("-")[0] == primary:
            return text
    return texts["en-us"]


def version_list(language):
    entries = []
    for entry in VERSIONS:
        entry = dict(entry)
        if "notes" in entry:
            entry["notes"] = in_language(entry["notes"], language)
        entries.append(entry)
    return {"versions": entries}

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self, body):
        entry = {"method": self.command, "path": self.path,
                 "headers": [[k, v] for k, v in self.headers.items()], "body": body.hex()}
        with self.server.log_lock, open(self.server.log_path, "a") as log:
            log.write(json.dumps(entry) + "\n")

    def send_body(self, status, body, length=None, close=False):
        self.send_response(status)
        if status in (301, 302, 303, 307, 308):
            self.send_header("Location", self.path)
        self.send_header("Content-Type", "application/json")
        if length is not None:
            self.send_header("Content-Length", str(length))
        if close:
            self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def send_pattern(self, count):
        step = 1024 if self.trickle else CHUNK
        left = count
        while left > 0:
            part = PATTERN[:min(left, step)]
            self.wfile.write(part)
            left -= len(part)
            if self.trickle:
                time.sleep(0.02)

    def send_data(self, data):
        step = 1024 if self.trickle else CHUNK
        for start in range(0, len(data), step):
            self.wfile.write(data[start:start + step])
            if self.trickle:
                time.sleep(0.02)

    # The latest-version answer as the update service gives it, describing the installer.
    def latest_version(self):
        installer = self.server.installer
        path = self.path.split("?")[0]
        prefix = path[:path.index("/api/versions/latest")]
        host = self.headers.get("Host") or "127.0.0.1:%d" % self.server.server_address[1]
        answer = {"version": self.server.offer,
                  "notes": in_language(LATEST_NOTES, asked_language(self.path)),
                  "url": "%s://%s%s/installer/%s" % (self.server.scheme, host, prefix, installer["name"]),
                  "size": len(installer["data"]),
                  "sha256": hashlib.sha256(installer["data"]).hexdigest()}
        body = json.dumps(answer).encode()
        return self.send_body(200, body, len(body))

    def send_installer(self):
        data = bytearray(self.server.installer["data"])
        if self.missing:
            return self.send_body(404, b"{}", 2)
        if self.tamper and data:
            data[-1] ^= 0xFF
        self.send_body(200, b"", len(data))
        if self.drop:
            self.send_data(bytes(data[:len(data) // 2]))
            self.wfile.flush()
            self.close_connection = True
            return None
        return self.send_data(bytes(data))

    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.record(self.rfile.read(length) if length else b"")
        parts = self.path.split("?")[0].strip("/").split("/")
        flags = ("trickle", "tamper", "drop", "missing")
        for flag in flags:
            setattr(self, flag, False)
        while parts and parts[0] in ("delay",) + flags:
            if parts[0] in flags:
                setattr(self, parts[0], True)
                parts = parts[1:]
                continue
            time.sleep(int(parts[1]) / 1000)
            parts = parts[2:]
        head = parts[0] if parts else ""
        arg = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0
        routed = self.server.routes.get("/" + "/".join(parts).rstrip("/") + "/")
        if routed is not None:
            return self.send_body(200, routed, len(routed))
        if self.server.installer and parts[:3] == ["api", "versions", "latest"]:
            return self.latest_version()
        if self.server.installer and head == "installer":
            return self.send_installer()
        if parts == ["api", "versions"]:
            body = json.dumps(version_list(asked_language(self.path))).encode()
            return self.send_body(200, body, len(body))
        if head == "status":
            body = json.dumps({"status": arg}).encode()
            return self.send_body(arg, body, len(body))
        if head == "empty":
            return self.send_body(200, b"", 0)
        if head == "redirect":
            return self.send_body(302, b"", 0)
        if head == "bytes":
            self.send_body(200, b"", arg)
            return self.send_pattern(arg)
        if head == "nolength":
            self.send_body(200, b"", None, True)
            self.send_pattern(arg)
            self.close_connection = True
            return
        if head in ("short", "stall"):
            self.send_body(200, b"", arg)
            self.send_pattern(arg // 2)
            self.wfile.flush()
            if head == "stall":
                self.connection.settimeout(None)
                self.connection.recv(1)  # returns when the client gives up
            self.close_connection = True
            return
        body = json.dumps({"ok": True, "path": self.path}).encode()
        self.send_body(200, body, len(body))

    def handle_one_request(self):
        try:
            super().handle_one_request()
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True  # the client left, as tests of cancelling make it

    do_GET = answer
    do_POST = answer


def end_when_orphaned():
    sys.stdin.read()
    os._exit(0)


def announce(port):
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--never-accept", action="store_true")
    parser.add_argument("--lifetime", type=float, default=120)
    parser.add_argument("--route", nargs=2, action="append", default=[], metavar=("PATH", "JSON"),
                        help="answer PATH (e.g. /api/info/) with this JSON text")
    parser.add_argument("--installer", metavar="FILE",
                        help="offer this file as the latest version's installer")
    parser.add_argument("--offer", default="9.1.0", help="the version the installer is offered as")
    options = parser.parse_args()
    threading.Thread(target=end_when_orphaned, daemon=True).start()
    threading.Timer(options.lifetime, lambda: os._exit(0)).start()

    if options.never_accept:
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        announce(listener.getsockname()[1])
        time.sleep(options.lifetime)
        return
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.log_path = options.log
    server.log_lock = threading.Lock()
    server.routes = {"/" + path.strip("/") + "/": json.dumps(json.loads(text)).encode()
                     for path, text in options.route}
    server.installer = None
    if options.installer:
        with open(options.installer, "rb") as installer:
            server.installer = {"name": os.path.basename(options.installer), "data": installer.read()}
    server.offer = options.offer
    server.scheme = "https" if options.tls else "http"
    if options.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*options.tls)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    announce(server.server_address[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
