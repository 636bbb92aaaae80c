#!/usr/bin/env python3
"""ICMP seen from outside the program, inside a test's network namespace.

  icmp_tool.py capture FILE        records every ICMP datagram on the
                                   namespace's loopback until stopped
  icmp_tool.py requests FILE       one line per echo request recorded:
                                   "size identifier sequence checksum-ok payload-ok"
  icmp_tool.py replies FILE        the number of echo replies recorded
  icmp_tool.py listen FILE         accepts TCP connections on port 443 until
                                   stopped; after each one that ends, writes
                                   "connections=N bytes=M" (bytes received) to FILE
  icmp_tool.py respond LOSS DELAY_MS FILE [ADDRESS...]
                                   answers echo requests from user space (the
                                   caller silences the kernel's own answers),
                                   dropping LOSS% of them at random, or with
                                   LOSS "alternate" every second one to each
                                   address (the first answered), or with
                                   "firstN" the first N to each address, and
                                   answering the rest after DELAY_MS; only
                                   those to the ADDRESSes, when given; appends
                                   "answered" or "dropped" to FILE for each
  icmp_tool.py forge SECONDS       sends forged ICMP to 127.0.0.1 for that
                                   long: echo replies with other numbers or
                                   bad checksums, truncated messages, long IP
                                   headers, other types; prints the count sent
"""
import random
import select
import socket
import struct
import sys
import time


def capture(path):
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    with open(path, "w", buffering=1) as out:
        while True:
            data, _ = sock.recvfrom(65535)
            out.write(data.hex() + "\n")


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def messages(path):
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line:
                continue
            datagram = bytes.fromhex(line)
            header = (datagram[0] & 0x0F) * 4
            yield datagram[header:]


def requests(path):
    payload = bytes(range(0x20, 0x40))
    for icmp in messages(path):
        if icmp[0] != 8:
            continue
        ident, seq = struct.unpack("<HH", icmp[4:8])
        ok = "ok" if checksum(icmp) == 0 else "bad"
        pay = "ok" if icmp[13:] == payload and icmp[8] == 0 else "bad"
        print(len(icmp), ident, seq, ok, pay)


def forged_datagrams(serial):
    """Datagrams that must never count as the answer to a probe of ours."""
    ident = 40000 + serial % 20000  # never a number of ours: those start at 1
    payload = bytes(range(0x20, 0x40))

    def icmp(kind, code, ident, seq, data=b"\0" * 5 + payload, good_sum=True):
        body = bytearray(struct.pack("<BBHHH", kind, code, 0, ident, seq) + data)
        total = checksum(bytes(body))
        struct.pack_into("<H", body, 2, total if good_sum else (total ^ 0x5A5A))
        return bytes(body)

    def ip(message, options=b""):
        ihl = 5 + len(options) // 4
        header = struct.pack("!BBHHHBBH4s4s", 0x40 | ihl, 0, 20 + len(options) + len(message), serial & 0xFFFF,
                             0, 64, 1, 0, socket.inet_aton("127.0.0.1"), socket.inet_aton("127.0.0.1"))
        return header + options + message

    small = serial % 50 + 1  # a number a probe of ours may well be using
    return [
        ip(icmp(0, 0, ident, ident)),                      # reply with other numbers
        ip(icmp(0, 0, small, small, good_sum=False)),       # plausible numbers, bad checksum
        ip(icmp(0, 0, small, small)[:4]),                   # truncated before the numbers
        ip(icmp(0, 0, ident, ident), b"\x01" * 40),        # IHL 15: 40 bytes of options
        ip(icmp(0, 1, small, small)),                       # echo reply with a code
        ip(icmp(3, 1, small, small)),                       # destination unreachable
        ip(icmp(11, 0, small, small)),                      # time exceeded
        ip(icmp(8, 0, small, small)),                       # an echo request, as our own looks
    ]


def forge(seconds):
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_HDRINCL, 1)
    end = time.monotonic() + float(seconds)
    sent, serial = 0, 0
    while time.monotonic() < end:
        for datagram in forged_datagrams(serial):
            sock.sendto(datagram, ("127.0.0.1", 0))
            sent += 1
        serial += 1
        time.sleep(0.02)
    print(sent)


def listen(path):
    # Both families on one socket: IPv4 arrives as mapped addresses.
    server = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
    server.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("::", 443))
    server.listen(8)
    connections = received = 0
    while True:
        client, _ = server.accept()
        client.settimeout(10)
        try:
            while True:
                data = client.recv(4096)
                if not data:
                    break
                received += len(data)
        except OSError:
            pass
        client.close()
        connections += 1
        with open(path, "w") as out:
            out.write(f"connections={connections} bytes={received}\n")


def respond(loss, delay_ms, path, *addresses):
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    # Our own IP header: the reply must come from the address that was asked.
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_HDRINCL, 1)
    chance = random.Random(1)
    due = []  # (time, datagram, to)
    asked = {}  # requests so far, by the address asked
    with open(path, "a", buffering=1) as log:
        while True:
            wait = max(0.0, due[0][0] - time.monotonic()) if due else None
            if select.select([sock], [], [], wait)[0]:
                data, _ = sock.recvfrom(65535)
                header = (data[0] & 0x0F) * 4
                icmp = data[header:]
                asked_address = socket.inet_ntoa(data[16:20])
                if icmp[0] != 8 or (addresses and asked_address not in addresses):
                    continue
                asked[asked_address] = asked.get(asked_address, 0) + 1
                if loss == "alternate":
                    dropped = asked[asked_address] % 2 == 0
                elif loss.startswith("first"):
                    dropped = asked[asked_address] <= int(loss[5:])
                else:
                    dropped = chance.random() * 100 < float(loss)
                if dropped:
                    log.write("dropped\n")
                    continue
                reply = b"\0\0\0\0" + icmp[4:]
                reply = reply[:2] + struct.pack("!H", checksum(reply)) + reply[4:]
                ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 0, 0, 0, 64, socket.IPPROTO_ICMP, 0, data[16:20], data[12:16])
                due.append((time.monotonic() + int(delay_ms) / 1000, ip + reply, socket.inet_ntoa(data[12:16])))
                log.write("answered\n")
            while due and due[0][0] <= time.monotonic():
                _, datagram, to = due.pop(0)
                try:
                    sock.sendto(datagram, (to, 0))
                except OSError:
                    pass  # the cable was pulled meanwhile


def replies(path):
    print(sum(1 for icmp in messages(path) if icmp[0] == 0))


if __name__ == "__main__":
    {"capture": capture, "requests": requests, "replies": replies, "forge": forge, "listen": listen,
     "respond": respond}[sys.argv[1]](*sys.argv[2:])
