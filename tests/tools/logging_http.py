#!/usr/bin/env python3
"""A logging HTTP server on 127.0.0.1 for the browser tests: it answers every request with
a small page naming itself and appends the request line to a log file. Run as a proxy it
sees absolute addresses ("GET http://host:port/ HTTP/1.1"); it never forwards anything.

Usage: logging_http.py LOG NAME PORTFILE - writes its port into PORTFILE once it listens."""
import http.server
import os
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def answer(self):
        with open(sys.argv[1], "a") as log:
            log.write(self.requestline + "\n")
        body = ("<html><body>%s</body></html>" % sys.argv[2]).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    do_GET = do_POST = do_HEAD = answer

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[3] + ".new", "w") as port:
    port.write(str(server.server_address[1]))
os.rename(sys.argv[3] + ".new", sys.argv[3])
server.serve_forever()
