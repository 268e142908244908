#!/usr/bin/env python3
"""Test web server on 127.0.0.1: serves a folder, with Last-Modified and Content-Length from
the files, 404 for missing objects and Basic authentication for everything under /private/.

usage: http_server.py ROOT USER PASSWORD LOG [CERT KEY]
With CERT and KEY (PEM files) it serves https.
Prints the port it listens on, then serves until killed. Every request is appended to LOG as
"METHOD PATH STATUS".
"""
import base64
import functools
import http.server
import ssl
import sys

root, user, password, log_path = sys.argv[1:5]
expected = "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/private/") and self.headers.get("Authorization") != expected:
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="logs"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        super().do_GET()

    def log_request(self, code="-", size="-"):
        with open(log_path, "a") as log:
            log.write(f"{self.command} {self.path} {int(code) if str(code).isdigit() else code}\n")

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(
    ("127.0.0.1", 0), functools.partial(Handler, directory=root))
if len(sys.argv) > 6:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[5], sys.argv[6])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
