#!/usr/bin/env python3
"""The board's end of the line: makes a pseudo-terminal, links it as the Wine
prefix's COM port, waits for the program's "R", then writes the test pattern
(0..255, then the high bytes of a fixed LCG) and reports how long it took.

    feeder.py <link path> <bytes> <ready file> [baud]

With a baud rate the bytes are paced as a UART at that rate would send them
(8N1: baud / 10 bytes a second), in 1 KiB pieces; without, as fast as the
pseudo-terminal takes them.
"""
import os
import select
import sys
import time


def pattern(n):
    out = bytearray(range(256))[:n]
    x = 0x1234
    for _ in range(n - len(out)):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out.append(x >> 24)
    return bytes(out)


def main():
    link, total, ready = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    rate = int(sys.argv[4]) / 10.0 if len(sys.argv) > 4 else 0.0
    master, slave = os.openpty()
    name = os.ttyname(slave)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(name, link)
    # The slave stays open here so the line does not hang up between the
    # program's opens; its settings are left as the program makes them.
    data = pattern(total)
    open(ready, "w").write(name + "\n")
    print(f"feeder: {link} -> {name}", flush=True)
    deadline = time.time() + 60
    got = b""
    while b"R" not in got:
        if time.time() > deadline:
            print("feeder: no start request", flush=True)
            return 1
        r, _, _ = select.select([master], [], [], 0.5)
        if r:
            got += os.read(master, 256)
    start = time.time()
    sent = 0
    while sent < total:
        # Echo, if the program left it on, would come back here: drain it.
        r, w, _ = select.select([master], [master], [], 5)
        if r:
            os.read(master, 65536)
        if rate > 0:
            ahead = start + sent / rate - time.time()
            if ahead > 0:
                time.sleep(ahead)
        if w:
            sent += os.write(master, data[sent:sent + (1024 if rate > 0 else 4096)])
    took = time.time() - start
    print(f"feeder: wrote {sent} bytes in {took * 1000:.1f} ms "
          f"({sent / took:.0f} bytes/s)", flush=True)
    # Keep the line open until the program is done with its other checks.
    time.sleep(float(os.environ.get("FEEDER_LINGER", "20")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
