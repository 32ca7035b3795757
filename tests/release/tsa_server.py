#!/usr/bin/env python3
"""An RFC 3161 timestamp server on the loopback address, for the signing
test: each POSTed request is answered by `openssl ts -reply` with the test
TSA's certificate. Writes its port to PORT_FILE, then serves until it has
answered MAX_REQUESTS requests or LIFETIME seconds have passed.

  tsa_server.py CONFIG PORT_FILE [MAX_REQUESTS] [LIFETIME]
"""
import http.server
import subprocess
import sys
import tempfile
import threading
import os


def main():
    config, port_file = sys.argv[1], sys.argv[2]
    max_requests = int(sys.argv[3]) if len(sys.argv) > 3 else 4
    lifetime = float(sys.argv[4]) if len(sys.argv) > 4 else 60.0
    answered = [0]

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            query = self.rfile.read(length)
            with tempfile.TemporaryDirectory() as tmp:
                query_file = os.path.join(tmp, "query.tsq")
                reply_file = os.path.join(tmp, "reply.tsr")
                with open(query_file, "wb") as f:
                    f.write(query)
                made = subprocess.run(
                    ["openssl", "ts", "-reply", "-config", config,
                     "-queryfile", query_file, "-out", reply_file],
                    capture_output=True)
                if made.returncode != 0:
                    self.send_error(500, made.stderr.decode(errors="replace")[:200])
                else:
                    with open(reply_file, "rb") as f:
                        reply = f.read()
                    self.send_response(200)
                    self.send_header("Content-Type", "application/timestamp-reply")
                    self.send_header("Content-Length", str(len(reply)))
                    self.end_headers()
                    self.wfile.write(reply)
            answered[0] += 1
            if answered[0] >= max_requests:
                threading.Thread(target=server.shutdown).start()

        def log_message(self, *args):
            pass

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    timer = threading.Timer(lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
