#!/usr/bin/env python3
"""ICMP seen from outside the program, inside a test's network namespace.

  icmp_tool.py capture FILE        records every ICMP datagram on the
                                   namespace's loopback until stopped
  icmp_tool.py requests FILE       one line per echo request recorded:
                                   "size identifier sequence checksum-ok payload-ok"
  icmp_tool.py replies FILE        the number of echo replies recorded
"""
import socket
import struct
import sys


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


def replies(path):
    print(sum(1 for icmp in messages(path) if icmp[0] == 0))


if __name__ == "__main__":
    {"capture": capture, "requests": requests, "replies": replies}[sys.argv[1]](sys.argv[2])
