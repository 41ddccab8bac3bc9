#!/usr/bin/python3
"""A controller's web server for the browser tests, on 127.0.0.1.

Usage: controller_web_server.py PASSWORD
The front page "/" is open to anyone; "/default/" asks for basic
authentication as "admin" with PASSWORD. Prints its port on the first line of
stdout, then for each request of "/default/" the credentials given ("-" for
none), and runs until stdin is closed.
"""
import base64
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PASSWORD = sys.argv[1]


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        status, title, headers = 200, "Controller", []
        if self.path.startswith("/default/"):
            given = self.headers.get("Authorization", "")
            given = base64.b64decode(given[6:]).decode() if given.startswith("Basic ") else "-"
            print(given, flush=True)
            title = "Administration"
            if given != "admin:" + PASSWORD:
                status, title = 401, "Refused"
                headers = [("WWW-Authenticate", 'Basic realm="controller"')]
        elif self.path != "/":
            status, title = 404, "Missing"
        body = f"<html><head><title>{title}</title></head><body>{title}</body></html>".encode()
        self.send_response(status)
        for name, value in headers + [("Content-Type", "text/html"),
                                      ("Content-Length", str(len(body)))]:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
server.shutdown()
