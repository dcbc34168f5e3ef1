#!/usr/bin/env python3
"""Checks of the installed Windows program's test (tests/wine/installed_test.sh): shortcuts,
sound heard, pixels of window pictures and the side-by-side picture of two main windows.

  wine_checks.py lnk-workdir FILE.lnk
      the working folder ("Start in") a shell link holds
  wine_checks.py heard FED HEARD [MOST_LOST]
      FED (16-bit stereo, 8000 Hz) in what a pipe speaker played, in order and bit for bit,
      with nothing between but silence (where the player ran dry) and at most MOST_LOST
      (default 0) 1000-byte blocks' worth of it missing
  wine_checks.py noise FILE SECONDS SEED
      noise that repeats nowhere, as the microphone is fed with it
  wine_checks.py colour IMAGE X Y
      the pixel's colour, RRGGBB
  wine_checks.py count IMAGE X0 Y0 X1 Y1 RRGGBB... [--tolerance N]
      how many pixels of the rectangle are none of the given colours
  wine_checks.py compare WINDOWS.png LINUX.png SIDE.png DIFF.png
      the two main windows side by side into SIDE.png, the pixels that differ (beyond a small
      tolerance) white in DIFF.png, and the share of differing pixels, in all and by zone
Pictures are read through ImageMagick (/usr/bin/convert)."""
import struct
import subprocess
import sys

CONVERT = "/usr/bin/convert"


# ---- pictures --------------------------------------------------------------------------------

class Picture:
    def __init__(self, path):
        ppm = subprocess.run([CONVERT, path, "-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
        # "P6\n<w> <h>\n255\n" then the pixels
        fields = []
        pos = 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            if ppm[pos:pos + 1] == b"#":
                pos = ppm.index(b"\n", pos)
                continue
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[pos + 1:]

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return self.data[i], self.data[i + 1], self.data[i + 2]


def parse_colour(text):
    return int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16)


def close(a, b, tolerance):
    return max(abs(a[0] - b[0]), abs(a[1] - b[1]), abs(a[2] - b[2])) <= tolerance


def write_ppm(path, width, height, data):
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (width, height))
        out.write(bytes(data))


# Where the main window (550 x 730) draws text: title, ticker, channel name and count, the
# labels under the meters, knobs and lamps, the countdown, the talker's name, town and phrase,
# NETWORK, the version and designer lines. Differences there are font rendering (the two
# systems' rasterisers, hinting and smoothing of the same Liberation faces).
TEXT_ZONES = [
    (205, 6, 345, 44),     # "ORVANE"
    (10, 45, 540, 67),     # ticker
    (15, 83, 186, 103),    # channel name
    (10, 165, 190, 198),   # the channel's user count, CHANNEL
    (200, 176, 520, 195),  # AUDIO LEFT, AUDIO RIGHT
    (20, 287, 280, 306),   # PARAMS, MIC GAIN, VOLUME
    (295, 239, 520, 259),  # UDP SVC TCP, SERVER LOAD
    (295, 289, 520, 309),  # HTTPS TX-RX TST, TIME LEFT
    (448, 267, 516, 287),  # the countdown
    (10, 317, 260, 341),   # talker's first name and town
    (396, 377, 470, 396),  # NETWORK
    (15, 617, 285, 641),   # talker's phrase
    (412, 601, 516, 639),  # version, designer
]
# What shows each program's own state rather than the picture: the status lamps (the TCP lamp's
# 5 s heartbeat, the HTTPS lamp's request count), the server load lamps and the LED ring's
# chaser.
STATE_ZONES = [
    (300, 212, 520, 238),  # UDP SVC TCP, SERVER LOAD lamps
    (300, 262, 440, 288),  # HTTPS TX-RX TST lamps
    (375, 335, 480, 440),  # the LED ring
]
# The animated picture: its frame depends on when each program started.
ANIMATION_ZONE = (350, 450, 500, 600)


def in_zone(x, y, zone):
    return zone[0] <= x < zone[2] and zone[1] <= y < zone[3]


def compare(windows_png, linux_png, side_png, diff_png, tolerance=40):
    a, b = Picture(windows_png), Picture(linux_png)
    if (a.width, a.height) != (b.width, b.height):
        print("the pictures differ in size: %dx%d and %dx%d" % (a.width, a.height, b.width, b.height))
        return 1
    subprocess.run([CONVERT, windows_png, linux_png, "+append", side_png], check=True)
    total = a.width * a.height
    differing = in_text = in_animation = in_state = 0
    mask = bytearray(3 * total)
    for y in range(a.height):
        for x in range(a.width):
            i = 3 * (y * a.width + x)
            pa = a.data[i:i + 3]
            pb = b.data[i:i + 3]
            if max(abs(pa[0] - pb[0]), abs(pa[1] - pb[1]), abs(pa[2] - pb[2])) <= tolerance:
                continue
            differing += 1
            mask[i:i + 3] = b"\xff\xff\xff"
            if in_zone(x, y, ANIMATION_ZONE):
                in_animation += 1
            elif any(in_zone(x, y, z) for z in TEXT_ZONES):
                in_text += 1
            elif any(in_zone(x, y, z) for z in STATE_ZONES):
                in_state += 1
    write_ppm(diff_png + ".ppm", a.width, a.height, mask)
    subprocess.run([CONVERT, diff_png + ".ppm", diff_png], check=True)
    rest = differing - in_text - in_animation - in_state

    def share(n):
        return 100.0 * n / total
    print("pixels differing by more than %d in a colour channel: %.2f %% of %d" % (tolerance, share(differing), total))
    print("  text (font rendering): %.2f %%" % share(in_text))
    print("  animated picture (its frame depends on the start time): %.2f %%" % share(in_animation))
    print("  lamps and LED ring (each program's own heartbeat and counters): %.2f %%" % share(in_state))
    print("  elsewhere (lines, curves and rotated pictures drawn by each system): %.2f %%" % share(rest))
    return 0


# ---- sound ----------------------------------------------------------------------------------

BLOCK = 1000
FRAME = 4  # 16-bit stereo


def without_silent_frames(data):
    """The frames of `data` that are not all zero: what a pipe speaker wrote where it had
    nothing to play (the program's ring or the sound path running dry) taken out. Noise fed to
    a microphone has a frame of four zero bytes about once in 4e9."""
    zero = bytes(FRAME)
    return b"".join(data[i:i + FRAME] for i in range(0, len(data) - FRAME + 1, FRAME) if data[i:i + FRAME] != zero)


def heard(fed_path, heard_path, most_lost):
    """What was fed, as a pipe speaker played it: with the silence the player put in taken out
    (where its ring or the sound path ran dry), every byte left must be one of the fed signal's,
    bit for bit and in order. Pieces of it may be missing, at most `most_lost` blocks' worth: on a
    machine loaded far beyond its cores a full jitter ring drops a block, and Wine's capture can
    lose a stretch of the microphone's stream before the program sees it."""
    fed = open(fed_path, "rb").read()
    played = open(heard_path, "rb").read()
    blocks = [fed[i:i + BLOCK] for i in range(0, len(fed) - BLOCK + 1, BLOCK)]
    whole = 0
    pos = 0
    for b in blocks:
        at = played.find(b, pos)
        if at >= 0:
            whole += 1
            pos = at + BLOCK
    # Where each pair of frames of the signal lies in it (the noise repeats nowhere).
    where = {fed[k:k + 2 * FRAME]: k for k in range(0, len(fed) - 2 * FRAME + 1, FRAME)}
    stripped = without_silent_frames(played)
    played_frames = foreign = out_of_order = 0
    last = None  # position in the signal of the frame played last
    pending = 0  # frames of other sound since then: foreign only if the signal goes on after them
    for i in range(0, len(stripped) - FRAME + 1, FRAME):
        k = where.get(stripped[i:i + 2 * FRAME])
        if k is None and last is not None and stripped[i:i + FRAME] == fed[last + FRAME:last + 2 * FRAME]:
            k = last + FRAME  # the last frame before a gap: it goes on from the one before
        if k is None:
            if last is not None:
                pending += 1
            continue
        if last is not None and k <= last:
            out_of_order += 1
        foreign += pending
        pending = 0
        played_frames += 1
        last = k
    lost_ms = (len(fed) // FRAME - played_frames) // 8
    ok = foreign == 0 and out_of_order == 0 and len(fed) - played_frames * FRAME <= most_lost * BLOCK
    print("%d of %d ms played bit-exact and in order (%d of %d blocks whole, silence put in where the output ran "
          "dry)%s%s" % ((played_frames // 8), len(fed) // FRAME // 8, whole, len(blocks),
                        "; %d ms lost" % lost_ms if lost_ms else "",
                        "; %d frames of other sound, %d out of order" % (foreign, out_of_order)
                        if foreign or out_of_order else ""))
    return 0 if ok else 1


def noise(path, seconds, seed):
    """Noise that repeats nowhere, 16-bit stereo at 8000 Hz, as the microphones are fed."""
    x = seed
    out = bytearray()
    for _ in range(8000 * 2 * seconds):
        x = (1103515245 * x + 12345) & 0x7FFFFFFF
        out += (x >> 8 & 0xFFFF).to_bytes(2, "little")
    open(path, "wb").write(out)


# ---- shortcuts ------------------------------------------------------------------------------

def lnk_workdir(path):
    """The working folder of a shell link: header, optional item-id list and link info, then
    the counted strings (name, relative path, working folder, ...) as the flags say."""
    data = open(path, "rb").read()
    flags = struct.unpack_from("<I", data, 20)[0]
    pos = 76
    if flags & 0x1:  # HasLinkTargetIDList
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    if flags & 0x2:  # HasLinkInfo
        pos += struct.unpack_from("<I", data, pos)[0]
    unicode = bool(flags & 0x80)
    for bit in (0x4, 0x8, 0x10):  # HasName, HasRelativePath, HasWorkingDir
        if not flags & bit:
            continue
        count = struct.unpack_from("<H", data, pos)[0]
        pos += 2
        size = count * (2 if unicode else 1)
        text = data[pos:pos + size].decode("utf-16-le" if unicode else "latin-1")
        pos += size
        if bit == 0x10:
            return text.rstrip("\0")
    return ""


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    cmd = argv[1]
    if cmd == "lnk-workdir":
        print(lnk_workdir(argv[2]))
        return 0
    if cmd == "heard":
        return heard(argv[2], argv[3], int(argv[4]) if len(argv) > 4 else 0)
    if cmd == "noise":
        noise(argv[2], int(argv[3]), int(argv[4]))
        return 0
    if cmd == "colour":
        p = Picture(argv[2])
        print("%02X%02X%02X" % p.at(int(argv[3]), int(argv[4])))
        return 0
    if cmd == "count":
        args = argv[2:]
        tolerance = 24
        if "--tolerance" in args:
            i = args.index("--tolerance")
            tolerance = int(args[i + 1])
            del args[i:i + 2]
        p = Picture(args[0])
        x0, y0, x1, y1 = (int(v) for v in args[1:5])
        colours = [parse_colour(c) for c in args[5:]]
        n = 0
        for y in range(max(0, y0), min(p.height, y1)):
            for x in range(max(0, x0), min(p.width, x1)):
                c = p.at(x, y)
                if not any(close(c, k, tolerance) for k in colours):
                    n += 1
        print(n)
        return 0
    if cmd == "compare":
        return compare(argv[2], argv[3], argv[4], argv[5])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
