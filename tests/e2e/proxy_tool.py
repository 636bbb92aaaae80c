#!/usr/bin/env python3
"""A web proxy of the tests' own, on the router's side of a test network.

  proxy_tool.py ADDRESS PORT UPLINK LOG [redirect]

listens on ADDRESS:PORT and takes requests for absolute addresses ("GET
http://host/path HTTP/1.1"), as browsers send them to a proxy. Each goes on
to port 80 of UPLINK, whatever the host named: the proxy's own way out. The
answer comes back as it is; where UPLINK cannot be reached within 2 s, the
proxy answers 502 itself, as proxies do. With "redirect", every request is
answered with a 302 to the proxy's own sign-in page instead, as proxies of
guest networks do. Appends "METHOD TARGET" to LOG for every request received.
"""
import socket
import sys
import threading

BAD_GATEWAY = b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
SIGN_IN = b"HTTP/1.1 302 Found\r\nLocation: http://192.0.2.254:3128/login\r\nContent-Length: 0\r\n\r\n"


def read_head(conn):
    data = b""
    while b"\r\n\r\n" not in data and len(data) < 16384:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def forward(conn, uplink, log, lock, redirect):
    with conn:
        try:
            conn.settimeout(10)
            head = read_head(conn)
            if not head:
                return
            method, target = (head.split(b"\r\n", 1)[0].split(b" ") + [b"", b""])[:2]
            with lock, open(log, "a") as out:
                out.write(f"{method.decode(errors='replace')} {target.decode(errors='replace')}\n")
            if redirect:
                conn.sendall(SIGN_IN)
                return
            host_and_path = target.split(b"://", 1)[-1]
            host, _, path = host_and_path.partition(b"/")
            try:
                upstream = socket.create_connection((uplink, 80), timeout=2)
            except OSError:
                conn.sendall(BAD_GATEWAY)
                return
            with upstream:
                upstream.settimeout(5)
                upstream.sendall(b"GET /" + path + b" HTTP/1.1\r\nHost: " + host + b"\r\nConnection: close\r\n\r\n")
                while True:
                    data = upstream.recv(4096)
                    if not data:
                        break
                    conn.sendall(data)
        except OSError:
            return


def main(address, port, uplink, log, mode=""):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, int(port)))
    listener.listen(16)
    lock = threading.Lock()
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=forward, args=(conn, uplink, log, lock, mode == "redirect"), daemon=True).start()


if __name__ == "__main__":
    main(*sys.argv[1:6])
