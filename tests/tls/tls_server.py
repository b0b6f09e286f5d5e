"""HTTPS feed servers on 127.0.0.1 for the TLS tests, one per certificate made by
make-certs.sh: good, selfsigned, expired, wronghost. Each answers every GET with a small RSS
feed whose channel title names the certificate. The chosen ports are written to PORTFILE as
name=port lines once all servers listen; the servers stop after LIFETIME seconds at most.

    python3 tls_server.py CERTDIR PORTFILE [LIFETIME]
"""
import http.server
import os
import ssl
import sys
import threading

NAMES = ("good", "selfsigned", "expired", "wronghost")


def feed(name):
    return (
        '<?xml version="1.0" encoding="utf-8"?><rss version="2.0"><channel>'
        f"<title>TLS {name}</title><link>https://localhost/</link>"
        f"<item><title>Over TLS ({name})</title><link>https://localhost/1</link></item>"
        "</channel></rss>"
    ).encode()


def handler_for(name):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            body = feed(name)
            self.send_response(200)
            self.send_header("Content-Type", "application/rss+xml")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, fmt, *args):
            sys.stderr.write(f"tls_server {name}: {fmt % args}\n")

    return Handler


def main():
    certdir, portfile = sys.argv[1], sys.argv[2]
    lifetime = float(sys.argv[3]) if len(sys.argv) > 3 else 600
    lines = []
    for name in NAMES:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler_for(name))
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(certdir, name + ".pem"))
        server.socket = context.wrap_socket(server.socket, server_side=True)
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, daemon=True).start()
        lines.append(f"{name}={server.server_address[1]}\n")
    with open(portfile + ".tmp", "w") as f:
        f.writelines(lines)
    os.rename(portfile + ".tmp", portfile)
    threading.Event().wait(lifetime)


if __name__ == "__main__":
    main()
