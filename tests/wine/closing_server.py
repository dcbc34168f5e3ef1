#!/usr/bin/env python3
"""An HTTPS server that keeps each connection open after its first reply and then drops it when
the next request arrives on it, unanswered: a kept connection that the server closes just as
the client uses it again. The client must send that request once more on a fresh connection.

  closing_server.py PORT CERT KEY LOG
Each request is logged as "connection N request M answered|dropped TARGET". Prints
"listening on port PORT" when ready; runs until killed."""
import socket
import ssl
import sys
import threading

port, cert, key, log_path = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
log = open(log_path, "a", buffering=1)
lock = threading.Lock()
BODY = b"\x89PNG\r\n\x1a\n" + bytes(56)


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return None
        data += chunk
    return data.split(b"\r\n", 1)[0].decode("latin-1")


def serve(conn, number):
    try:
        for index in (1, 2):
            line = read_request(conn)
            if line is None:
                return
            target = line.split(" ")[1] if " " in line else line
            answered = index == 1
            with lock:
                log.write("connection %d request %d %s %s\n" % (number, index, "answered" if answered else "dropped", target))
            if not answered:
                return
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: %d\r\n"
                         b"Connection: keep-alive\r\n\r\n" % len(BODY) + BODY)
    except (OSError, ssl.SSLError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(16)
print("listening on port %d" % port, flush=True)
count = 0
while True:
    raw, _ = listener.accept()
    try:
        conn = context.wrap_socket(raw, server_side=True)
    except (OSError, ssl.SSLError):
        raw.close()
        continue
    count += 1
    threading.Thread(target=serve, args=(conn, count), daemon=True).start()
