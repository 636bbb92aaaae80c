#!/usr/bin/env python3
"""A name server of a test's own, as a provider's is, in the far namespace.

  name_server.py ADDRESS HOSTS_FILE
      answers DNS queries on ADDRESS, port 53 (UDP), with the IPv4 addresses
      that HOSTS_FILE ("ADDRESS NAME" lines) gives; a name it does not hold
      gets "no such name", a name it holds gets no other kind of record. It
      binds its own address: the resolver drops answers from any other.
"""
import socket
import struct
import sys


def read_hosts(path):
    names = {}
    with open(path) as hosts:
        for line in hosts:
            parts = line.split()
            if len(parts) >= 2:
                names[parts[1].lower()] = parts[0]
    return names


def question(packet):
    """The name asked for, the query type, and where the question ends."""
    at, labels = 12, []
    while packet[at]:
        length = packet[at]
        labels.append(packet[at + 1:at + 1 + length].decode("ascii", "replace"))
        at += 1 + length
    qtype = struct.unpack("!H", packet[at + 1:at + 3])[0]
    return ".".join(labels).lower(), qtype, at + 5


def answer(packet, names):
    name, qtype, end = question(packet)
    flags = 0x8180 if name in names else 0x8183  # a response, recursion available; 3: no such name
    records = b""
    if name in names and qtype == 1:
        records = struct.pack("!HHHIH", 0xC00C, 1, 1, 60, 4) + socket.inet_aton(names[name])
    header = packet[:2] + struct.pack("!HHHHH", flags, 1, 1 if records else 0, 0, 0)
    return header + packet[12:end] + records


def main(address, hosts_path):
    names = read_hosts(hosts_path)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((address, 53))
    while True:
        packet, sender = sock.recvfrom(512)
        try:
            sock.sendto(answer(packet, names), sender)
        except (IndexError, struct.error, OSError):
            pass  # a malformed query, or no route back to the asker for now


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
