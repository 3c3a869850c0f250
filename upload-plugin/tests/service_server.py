#!/usr/bin/env python3
"""The online document service, as the upload tests need it: HTTPS on the loopback address with the certificate
and key it is given. It stores each uploaded form field "file" in its folder (the bytes as "<n>.data", the file
name attribute as "<n>.name") and answers with the name it stored the file under. The file "mode" in its folder
says how it answers: "ok", "error" (500, with a page), or "slow" (it waits before answering). It prints its port
on its first line."""
import http.server
import os
import ssl
import sys
import time

folder, certificate, key = sys.argv[1], sys.argv[2], sys.argv[3]


def mode():
    try:
        with open(os.path.join(folder, "mode")) as f:
            return f.read().strip()
    except OSError:
        return "ok"


def file_field(body, content_type):
    """The file name attribute and the bytes of the multipart field "file"."""
    boundary = content_type.split("boundary=", 1)[1].strip().strip('"').encode()
    for part in body.split(b"--" + boundary):
        head, _, data = part.partition(b"\r\n\r\n")
        if b'name="file"' not in head:
            continue
        disposition = [line for line in head.split(b"\r\n") if line.lower().startswith(b"content-disposition")][0]
        name = disposition.split(b'filename="', 1)[1]
        name = name[: name.rindex(b'"')].replace(b'\\"', b'"')
        return name, data[:-2] if data.endswith(b"\r\n") else data
    return None, None


class Service(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        how = mode()
        if how == "slow":
            time.sleep(60)
        if how == "error":
            page = b"<html><body>Internal error</body></html>"
            self.send_response(500)
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
            return
        name, data = file_field(body, self.headers.get("Content-Type", ""))
        count = len([n for n in os.listdir(folder) if n.endswith(".data")])
        with open(os.path.join(folder, "%d.data" % count), "wb") as f:
            f.write(data or b"")
        with open(os.path.join(folder, "%d.name" % count), "wb") as f:
            f.write(name or b"")
        with open(os.path.join(folder, "%d.path" % count), "w") as f:
            f.write(self.path)
        answer = b"stored " + (name or b"")
        self.send_response(200)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Service)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(certificate, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
