#!/usr/bin/env python3
"""TCP traffic of a computer in use, between a test's two namespaces.

  tcp_tool.py serve PORT           (in the far namespace) answers every line
                                   received on any address with the same line
  tcp_tool.py chatter ADDRESS PORT SECONDS
                                   (in the PC's namespace) for that long, every
                                   0.25 s, sends a line on one kept connection
                                   and opens a new one when an answer is late,
                                   as a browser does; prints the exchanges
                                   answered when it ends
  tcp_tool.py echo-datagrams PORT (in the far namespace) sends every datagram
                                   received back to its sender
  tcp_tool.py call ADDRESS PORT SECONDS
                                   (in the PC's namespace) datagrams only, as a
                                   call or a QUIC video: 50 a second each way
                                   for that long; prints the answers received
  tcp_tool.py web MODE_FILE LOG    (in the far namespace) a web server on port 80
                                   that answers every request as MODE_FILE says at
                                   that moment: "portal" redirects to a login page,
                                   "open" serves the check page as the internet does,
                                   "wrongbody" gives status 200 with another body,
                                   "chunked" the check page in chunks, as
                                   proxies re-send pages, "notfound" 404,
                                   "unavailable" 503, and "stall" takes the
                                   request and says nothing for 6 s;
                                   appends "PATH BYTES" (bytes received) to LOG
"""
import socket
import sys
import threading
import time


def serve(port):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("0.0.0.0", int(port)))
    listener.listen(64)

    def echo(conn):
        with conn:
            try:
                while True:
                    data = conn.recv(4096)
                    if not data:
                        return
                    conn.sendall(data)
            except OSError:
                return

    while True:
        conn, _ = listener.accept()
        threading.Thread(target=echo, args=(conn,), daemon=True).start()


def chatter(address, port, seconds):
    end = time.monotonic() + float(seconds)
    answered = 0
    conn = None
    while time.monotonic() < end:
        try:
            if conn is None:
                conn = socket.create_connection((address, int(port)), timeout=2)
            conn.settimeout(2)
            conn.sendall(b"ping\n")
            if conn.recv(64):
                answered += 1
            else:
                conn.close()
                conn = None
        except OSError:
            if conn is not None:
                conn.close()
            conn = None
        time.sleep(0.25)
    print(answered)


def echo_datagrams(port):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("0.0.0.0", int(port)))
    while True:
        data, sender = sock.recvfrom(2048)
        sock.sendto(data, sender)


def call(address, port, seconds):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setblocking(False)
    end = time.monotonic() + float(seconds)
    answered = 0
    while time.monotonic() < end:
        try:
            sock.sendto(b"voice" * 32, (address, int(port)))
        except OSError:
            pass
        try:
            while sock.recv(2048):
                answered += 1
        except OSError:
            pass
        time.sleep(0.02)
    print(answered)


def web(mode_file, log_path):
    answers = {
        "portal": b"HTTP/1.1 302 Found\r\nLocation: http://203.0.113.10/login\r\nContent-Length: 0\r\n\r\n",
        "open": b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 22\r\n\r\nMicrosoft Connect Test",
        "wrongbody": b"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n<html>Welcome</html>",
        "chunked": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                   b"a\r\nMicrosoft \r\nc\r\nConnect Test\r\n0\r\n\r\n",
        "notfound": b"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nNot found",
        "unavailable": b"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 4\r\n\r\nBusy",
    }
    # Both families on one socket: IPv4 arrives as mapped addresses.
    listener = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
    listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("::", 80))
    listener.listen(16)
    with open(log_path, "a", buffering=1) as log:
        while True:
            conn, _ = listener.accept()
            with conn:
                conn.settimeout(5)
                request = b""
                try:
                    while b"\r\n\r\n" not in request:
                        data = conn.recv(4096)
                        if not data:
                            break
                        request += data
                    mode = open(mode_file).read().strip()
                    if mode == "stall":  # a slow portal: the connection taken, nothing said
                        time.sleep(6)
                    else:
                        conn.sendall(answers[mode])
                except OSError:
                    pass
                path = request.split(b" ")[1].decode() if request.count(b" ") >= 2 else "?"
                log.write(f"{path} {len(request)}\n")


if __name__ == "__main__":
    if sys.argv[1] == "serve":
        serve(sys.argv[2])
    elif sys.argv[1] == "chatter":
        chatter(sys.argv[2], sys.argv[3], sys.argv[4])
    elif sys.argv[1] == "echo-datagrams":
        echo_datagrams(sys.argv[2])
    elif sys.argv[1] == "call":
        call(sys.argv[2], sys.argv[3], sys.argv[4])
    elif sys.argv[1] == "web":
        web(sys.argv[2], sys.argv[3])
