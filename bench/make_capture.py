#!/usr/bin/env python3
"""A deterministic capture of mixed LAN traffic with a share of wake packets, for compare.sh.

Usage: make_capture.py FRAMES OUTPUT.pcap [SEED]

Writes a classic pcap file (microsecond time stamps, Ethernet) of FRAMES frames, the same file
for the same FRAMES and SEED, and beside it OUTPUT.pcap.txt: one "name value" line per count
(frames, bytes, wakes by kind), so that a run can tell what the readers should find.

The traffic: TCP (ACKs and data segments), UDP of many services and sizes over IPv4 and IPv6,
multicast and broadcast, ARP, some of it VLAN-tagged, and about 3 % wakes: magic packets with
and without kestrava's 16-byte header, short unsuspend and direct ones, SecureOn passwords,
numbered wakes, a magic packet inside a longer payload, EtherType 0x0842 frames, wakes over
IPv6 and in VLANs, and broken ones (a bad copy, a payload cut short). Every address is in the
documentation ranges (192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24, 2001:db8::/32) or a
link's own multicast and broadcast groups.
"""
import os
import random
import struct
import sys

# pcap: magic, version 2.4, zone, accuracy, snap length, link type 1 (Ethernet).
PCAP_HEADER = struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 262144, 1)
START_SECONDS = 1796724000  # 2026-12-08 10:00:00 UTC

ETHER_IPV4, ETHER_IPV6, ETHER_ARP, ETHER_VLAN, ETHER_WAKE = 0x0800, 0x86DD, 0x0806, 0x8100, 0x0842
PROTO_TCP, PROTO_UDP = 6, 17
BROADCAST_MAC = b"\xff" * 6
HEADER_TAG = {1: b"KESTRAVA", 2: b"KESTRAV2", 4: b"KESTRAV4"}


def mac(n):
    return bytes((0x02, 0x54, 0x57, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF))


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def ipv4(source, destination, protocol, body, ttl=64):
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(body), 0, 0x4000, ttl, protocol, 0,
                         source, destination)
    return header[:10] + struct.pack("!H", checksum(header)) + header[12:] + body


def ipv6(source, destination, next_header, body):
    return struct.pack("!IHBB16s16s", 0x60000000, len(body), next_header, 64, source, destination) + body


# Layer-4 checksums are left zero: none of the readers compared checks them.
def udp(source_port, destination_port, payload):
    return struct.pack("!HHHH", source_port, destination_port, 8 + len(payload), 0) + payload


def tcp(source_port, destination_port, sequence, flags, payload):
    return struct.pack("!HHIIBBHHH", source_port, destination_port, sequence, sequence ^ 0x5A5A,
                       0x50, flags, 502, 0, 0) + payload


def ether(destination, source, ether_type, body, vlan=None):
    if vlan is not None:
        frame = destination + source + struct.pack("!HHH", ETHER_VLAN, vlan, ether_type) + body
    else:
        frame = destination + source + struct.pack("!H", ether_type) + body
    return frame + b"\0" * (60 - len(frame)) if len(frame) < 60 else frame


def v4(last, net=0):
    return bytes(((192, 0, 2), (198, 51, 100), (203, 0, 113))[net]) + bytes((last,))


def v6(last):
    return bytes.fromhex("20010db8000000000000000000000000")[:14] + struct.pack("!H", last)


V4_BROADCAST = v4(255)
V6_ALL_NODES = bytes.fromhex("ff020000000000000000000000000001")
V6_LINK_LOCAL = bytes.fromhex("fe800000000000000054" "57fffe000a0a")
MDNS4, MDNS6 = bytes((224, 0, 0, 251)), bytes.fromhex("ff0200000000000000000000000000fb")
SSDP4 = bytes((239, 255, 255, 250))


def multicast_mac(group):
    return b"\x01\x00\x5e" + bytes((group[1] & 0x7F, group[2], group[3]))


class Traffic:
    """Frames of each kind; every method returns (frame, kind of wake or None)."""

    def __init__(self, seed):
        self.r = random.Random(seed)
        self.pool = self.r.randbytes(1 << 16)
        self.hosts = [mac(0x0A00 + i) for i in range(40)]
        self.sequence = 0

    def payload(self, n):
        at = self.r.randrange(len(self.pool) - n)
        return self.pool[at:at + n]

    def pair(self):
        a, b = self.r.sample(range(40), 2)
        return a, b

    # ---- ordinary traffic

    def tcp4(self, vlan=None):
        a, b = self.pair()
        r = self.r
        size = 0 if r.random() < 0.8 else r.choice((r.randrange(40, 400), r.randrange(40, 400), r.randrange(40, 400), 1448, r.randrange(400, 1448)))
        flags = 0x10 if size == 0 else 0x18
        port = r.choice((443, 443, 443, 80, 22, 445, 3389, 8080))
        body = tcp(r.randrange(32768, 61000), port, r.getrandbits(32), flags, self.payload(size))
        frame = ether(self.hosts[b], self.hosts[a], ETHER_IPV4, ipv4(v4(30 + a), v4(30 + b), PROTO_TCP, body), vlan)
        return frame, None

    def tcp6(self):
        a, b = self.pair()
        r = self.r
        size = 0 if r.random() < 0.75 else r.choice((r.randrange(40, 300), r.randrange(40, 1428)))
        body = tcp(r.randrange(32768, 61000), 443, r.getrandbits(32), 0x10 if size == 0 else 0x18, self.payload(size))
        return ether(self.hosts[b], self.hosts[a], ETHER_IPV6, ipv6(v6(30 + a), v6(30 + b), PROTO_TCP, body)), None

    def udp4(self, vlan=None):
        a, b = self.pair()
        r = self.r
        service = r.random()
        to_mac, to_ip, source_port = self.hosts[b], v4(30 + b), r.randrange(32768, 61000)
        if service < 0.30:    # DNS queries and answers
            port, size = 53, r.randrange(30, 300)
        elif service < 0.39:  # QUIC
            port, size = 443, r.choice((1200, 1252, r.randrange(30, 200), r.randrange(30, 1350)))
        elif service < 0.65:  # RTP voice and video
            port, size = r.randrange(16384, 32768, 2), r.choice((172, 172, 214, r.randrange(200, 600)))
            source_port = port
        elif service < 0.72:  # NTP
            port, size = 123, 48
        elif service < 0.78:  # syslog
            port, size = 514, r.randrange(60, 400)
        elif service < 0.83:  # mDNS
            port, size, to_ip = 5353, r.randrange(40, 500), MDNS4
            to_mac, source_port = multicast_mac(MDNS4), 5353
        elif service < 0.86:  # SSDP
            port, size, to_ip = 1900, r.randrange(120, 400), SSDP4
            to_mac = multicast_mac(SSDP4)
        elif service < 0.89:  # NetBIOS name service, subnet broadcast
            port, size, to_ip, to_mac, source_port = 137, r.randrange(50, 90), V4_BROADCAST, BROADCAST_MAC, 137
        elif service < 0.91:  # DHCP
            port, size, to_ip, to_mac, source_port = 67, 300, bytes((255,) * 4), BROADCAST_MAC, 68
        elif service < 0.93:  # a datagram of 'Z' to kestrava's port: the length of a wake, no wake
            port, size = 1778, 118
            body = udp(source_port, port, b"Z" * size)
            return ether(to_mac, self.hosts[a], ETHER_IPV4, ipv4(v4(30 + a), to_ip, PROTO_UDP, body), vlan), None
        else:                 # anything else, any size
            port, size = r.randrange(1024, 65536), r.choice((r.randrange(0, 200), r.randrange(0, 1472)))
        body = udp(source_port, port, self.payload(size))
        return ether(to_mac, self.hosts[a], ETHER_IPV4, ipv4(v4(30 + a), to_ip, PROTO_UDP, body), vlan), None

    def udp6(self):
        a, b = self.pair()
        r = self.r
        if r.random() < 0.4:
            body = udp(5353, 5353, self.payload(r.randrange(40, 500)))
            return ether(b"\x33\x33\x00\x00\x00\xfb", self.hosts[a], ETHER_IPV6,
                         ipv6(V6_LINK_LOCAL, MDNS6, PROTO_UDP, body)), None
        port = r.choice((53, 443, 123, r.randrange(1024, 65536)))
        body = udp(r.randrange(32768, 61000), port, self.payload(r.choice((r.randrange(20, 200), r.randrange(20, 1200)))))
        return ether(self.hosts[b], self.hosts[a], ETHER_IPV6, ipv6(v6(30 + a), v6(30 + b), PROTO_UDP, body)), None

    def arp(self):
        a, b = self.pair()
        body = struct.pack("!HHBBH6s4s6s4s", 1, ETHER_IPV4, 6, 4, 1, self.hosts[a], v4(30 + a), b"\0" * 6, v4(30 + b))
        return ether(BROADCAST_MAC, self.hosts[a], ETHER_ARP, body), None

    def ether_noise(self):
        # EtherType 0x0842 without a sync stream: decoded, judged, not shown.
        a, _ = self.pair()
        return ether(BROADCAST_MAC, self.hosts[a], ETHER_WAKE, self.payload(self.r.randrange(46, 120))), None

    # ---- wakes

    def magic(self, target, password=b""):
        return b"\xff" * 6 + target * 16 + password

    def header(self, kind, body, numbered=False):
        self.sequence += 1
        sequence = self.sequence if numbered else 0
        return HEADER_TAG[kind] + struct.pack("<II", 16 + len(body), sequence) + body

    def wake(self):
        r = self.r
        a, b = self.pair()
        target = self.hosts[b]
        sender_mac, sender_ip = self.hosts[a], v4(30 + a)
        choice = r.random()
        password = r.choice((b"", b"", b"", b"\x01\x02\x03\x04", b"\x01\x02\x03\x04\x05\x06"))
        to_ip, to_mac, port, vlan = V4_BROADCAST, BROADCAST_MAC, 1778, None
        if choice < 0.25:    # kestrava's broadcast magic packet, numbered now and then
            payload, kind = self.header(1, self.magic(target), r.random() < 0.3), "kestrava_broadcast"
        elif choice < 0.45:  # a plain magic packet to the discard or echo port (wakeonlan, etherwake)
            payload, kind, port = self.magic(target, password), "plain_magic", r.choice((9, 9, 7, 40000))
        elif choice < 0.52:  # kestrava's short unsuspend datagram, with and without the header
            body = b"\xff" * 6 + target
            payload = self.header(2, body) if r.random() < 0.7 else body
            to_ip, to_mac, kind = v4(30 + b), target, "short_unsuspend"
        elif choice < 0.60:  # kestrava's direct magic packet
            body = self.magic(target, password) + b"\0\0"
            payload = self.header(4, body) if r.random() < 0.7 else body
            to_ip, to_mac, kind = v4(30 + b), target, "direct_magic"
        elif choice < 0.64:  # a magic packet inside a longer payload
            payload, kind, port = self.payload(r.randrange(8, 64)) + self.magic(target), "embedded_magic", 9
        elif choice < 0.76:  # EtherType 0x0842
            frame = ether(BROADCAST_MAC, sender_mac, ETHER_WAKE, self.magic(target, password))
            return frame, "ethertype"
        elif choice < 0.84:  # over IPv6 to all nodes of the link
            payload = self.header(1, self.magic(target)) if r.random() < 0.5 else self.magic(target)
            body = udp(r.randrange(32768, 61000), r.choice((9, 1778)), payload)
            frame = ether(b"\x33\x33\x00\x00\x00\x01", sender_mac, ETHER_IPV6,
                          ipv6(V6_LINK_LOCAL, V6_ALL_NODES, PROTO_UDP, body))
            return frame, "ipv6"
        elif choice < 0.92:  # in a VLAN
            payload, kind, vlan = self.header(1, self.magic(target)), "vlan", r.choice((10, 20, 30))
        elif choice < 0.96:  # broken: one copy differs
            copies = [target] * 16
            copies[r.randrange(16)] = mac(0x99000 + b)
            payload, kind = b"\xff" * 6 + b"".join(copies), "broken"
        else:                # broken: cut short after some copies
            payload, kind = self.header(1, self.magic(target))[:16 + 6 + 6 * r.randrange(9, 16)], "broken"
        body = udp(r.randrange(32768, 61000), port, payload)
        return ether(to_mac, sender_mac, ETHER_IPV4, ipv4(sender_ip, to_ip, PROTO_UDP, body), vlan), kind

    def tcp4_vlan(self):
        return self.tcp4(vlan=self.r.choice((10, 20, 30)))

    def udp4_vlan(self):
        return self.udp4(vlan=self.r.choice((10, 20, 30)))

    # The share of each kind of frame, as the upper end of its slice of [0, 1).
    MIX = ((0.03, wake), (0.40, tcp4), (0.80, udp4), (0.84, tcp6), (0.90, udp6), (0.93, arp),
           (0.935, ether_noise), (0.965, tcp4_vlan), (1.0, udp4_vlan))

    def frame(self):
        x = self.r.random()
        for end, make in self.MIX:
            if x < end:
                return make(self)
        return self.udp4_vlan()


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: make_capture.py FRAMES OUTPUT.pcap [SEED]")
    frames = int(sys.argv[1])
    if not 0 < frames <= 10_000_000:
        sys.exit("make_capture.py: FRAMES is 1 to 10000000")
    path = sys.argv[2]
    traffic = Traffic(int(sys.argv[3]) if len(sys.argv) == 4 else 1)
    counts = {}
    size = len(PCAP_HEADER)
    microseconds = 0
    with open(path + ".tmp", "wb") as out:
        out.write(PCAP_HEADER)
        chunk = []
        for n in range(frames):
            frame, kind = traffic.frame()
            microseconds += traffic.r.randrange(1, 500)
            record = struct.pack("<IIII", START_SECONDS + microseconds // 1000000, microseconds % 1000000,
                                 len(frame), len(frame)) + frame
            size += len(record)
            if kind is not None:
                counts[kind] = counts.get(kind, 0) + 1
            chunk.append(record)
            if len(chunk) == 10000:
                out.write(b"".join(chunk))
                chunk = []
        out.write(b"".join(chunk))
    wakes = sum(v for k, v in counts.items() if k != "broken")
    with open(path + ".txt", "w") as summary:
        summary.write("frames %d\nbytes %d\nwakes %d\n" % (frames, size, wakes))
        for kind in sorted(counts):
            summary.write("wake_%s %d\n" % (kind, counts[kind]))
    # Renamed only when whole, so that a run cut short never leaves a capture that looks done.
    os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main()
