#!/usr/bin/env python3
"""The measurements of bench/wine/wine_client_bench.sh.

  wine_measure.py cpu SECONDS LABEL=PID...
      CPU (% of one core, the scheduler's own count) and wake-ups (voluntary context switches)
      of every thread of each process over the same SECONDS, from /proc/PID/task/*/.
  wine_measure.py latency MIC_FIFO HEARD_FILE BLOCKS SEED
      feeds BLOCKS blocks of noise into a pipe microphone, one 1000-byte block at once every
      31.25 ms as a capture device hands a finished block over (its first sample was spoken one
      block earlier), while watching HEARD_FILE (what the listener's pipe speaker plays, written
      as it plays) grow; prints one latency per block found whole, in ms: from the moment the
      block's first sample was spoken to the moment the speaker played it."""
import os
import struct
import sys
import threading
import time

BLOCK = 1000
BLOCK_S = 0.03125


def threads(pid):
    out = {}
    base = "/proc/%d/task" % pid
    for tid in os.listdir(base):
        try:
            comm = open("%s/%s/comm" % (base, tid)).read().strip()
            run = int(open("%s/%s/schedstat" % (base, tid)).read().split()[0])
            wake = 0
            for line in open("%s/%s/status" % (base, tid)):
                if line.startswith("voluntary_ctxt_switches:"):
                    wake = int(line.split()[1])
            out[int(tid)] = (comm, run, wake)
        except OSError:
            pass
    return out


def cpu(seconds, processes):
    before = {label: threads(pid) for label, pid in processes}
    t0 = time.monotonic()
    time.sleep(seconds)
    wall = time.monotonic() - t0
    after = {label: threads(pid) for label, pid in processes}
    for label, pid in processes:
        print("%s (pid %d), %.1f s" % (label, pid, wall))
        print("  %-8s %-22s %8s %11s" % ("thread", "name", "% core", "wake-ups/s"))
        total = wakes = 0.0
        for tid in sorted(after[label]):
            comm, run, wake = after[label][tid]
            _, run0, wake0 = before[label].get(tid, (comm, 0, 0))
            pct = (run - run0) / 1e9 / wall * 100
            w = (wake - wake0) / wall
            total += pct
            wakes += w
            if pct >= 0.005 or w >= 0.5:
                print("  %-8d %-22s %8.2f %11.1f" % (tid, comm + (" (main)" if tid == pid else ""), pct, w))
        print("  %-31s %8.2f %11.1f" % ("total", total, wakes))


def latency(mic, heard, blocks, seed):
    x = seed
    signal = bytearray()
    for _ in range(blocks * BLOCK // 2):
        x = (1103515245 * x + 12345) & 0x7FFFFFFF
        signal += struct.pack("<H", x >> 8 & 0xFFFF)
    start_size = os.path.getsize(heard)
    marks = []  # (size of the file, time it was seen)
    done = threading.Event()

    def watch():
        last = -1
        while not done.is_set():
            size = os.path.getsize(heard)
            if size != last:
                marks.append((size, time.monotonic()))
                last = size
            time.sleep(0.001)
    watcher = threading.Thread(target=watch)
    watcher.start()
    fd = os.open(mic, os.O_RDWR | os.O_NONBLOCK)
    spoken = []
    t0 = time.monotonic()
    for k in range(blocks):
        due = t0 + k * BLOCK_S
        delay = due - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        spoken.append(time.monotonic() - BLOCK_S)
        os.write(fd, signal[k * BLOCK:(k + 1) * BLOCK])
    os.close(fd)
    time.sleep(1.5)
    done.set()
    watcher.join()
    played = open(heard, "rb").read()

    def arrival(offset):  # when the byte at `offset` was first in the file
        for size, t in marks:
            if size > offset:
                return t
        return None
    pos = start_size
    for k in range(blocks):
        at = played.find(bytes(signal[k * BLOCK:(k + 1) * BLOCK]), pos)
        if at < 0:
            continue
        pos = at + BLOCK
        t = arrival(at)
        if t is not None:
            print("%.1f" % ((t - spoken[k]) * 1000))


def main(argv):
    if len(argv) >= 3 and argv[1] == "cpu":
        cpu(float(argv[2]), [(a.split("=")[0], int(a.split("=")[1])) for a in argv[3:]])
        return 0
    if len(argv) == 6 and argv[1] == "latency":
        latency(argv[2], argv[3], int(argv[4]), int(argv[5]))
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
