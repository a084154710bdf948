#!/usr/bin/env python3
"""An independent transcription of the filter's arithmetic, written from its description rather
than from the C++ code, used to check the stored golden digests of tests/golden_test.cpp.

Every value that the filter rounds to float is rounded here with struct; everything else is
Python's double arithmetic in the same order. The sessions and their digests are read from the
test file itself, so both stay in one place:

  python3 tests/golden/reference_model.py tests/golden_test.cpp
"""
import math
import re
import struct
import sys


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def flush(x):  # a zero of either sign or a subnormal becomes +0.0
    return 0.0 if abs(x) < 1.1754943508222875e-38 else x


TWO_PI = f32(6.2831855)
FACTORY = [1.0, f32(0.7), 0.0, 0.0, 0.0, 0.125]


def coefficients(hz, q, rate, kind):
    w0 = f32(hz * TWO_PI / rate)
    cs, sn = f32(math.cos(w0)), f32(math.sin(w0))
    alpha = f32(sn / (2.0 * q)) if q else math.inf  # before Q is first set
    if kind == 1:
        b1 = f32(1.0 - cs); b0 = b2 = f32(b1 * 0.5)
    elif kind == 2:
        b1 = f32(-(cs + 1.0)); b0 = b2 = f32(b1 * -0.5)
    elif kind == 3:
        b0, b1, b2 = alpha, 0.0, f32(-alpha)
    else:
        b0, b1, b2 = 1.0, f32(cs * -2.0), 1.0
    a0, a1, a2 = f32(alpha + 1.0), f32(cs * -2.0), f32(1.0 - alpha)
    r = f32(1.0 / a0)
    return [f32(r * v) for v in (b0, b1, b2, a1, a2)]


def map_cutoff(v):
    t1, t2, low, mid, high = f32(0.33333), f32(0.66666), 900.0, 5000.0, 20000.0
    if v < t1:
        r = (low / t1) * (v + f32(0.1))
    elif v < t2:
        r = low + (mid - low) * (v - t1) / t1
    elif v <= 1.0:
        r = mid + (high - mid) * (v - t2) / t1
    else:
        r = low
    return f32(f32(r) / high)


class Filter:
    def __init__(self):
        self.p = [0.0] * 6
        self.kind, self.rate, self.hz, self.norm, self.feedback = 1, 44100.0, 0.0, 0.0, 0.0
        self.s1 = self.s2 = [0.0] * 5
        self.bank = [list(FACTORY) for _ in range(16)]
        self.program = 0
        self.h = [[0.0] * 4 for _ in range(4)]  # x1 x2 y1 y2: first L, first R, second L, R
        self.lp = [[0.0, 0.0], [0.0, 0.0]]
        self.select(0)

    # What the host's rate and the stability limits make of the cutoff, Q and low-pass cutoff.
    def section(self):
        hz = min(max(self.hz, max(270.0, f32(1e-4) * self.rate)), f32(0.49) * self.rate)
        return coefficients(hz, min(self.p[1], 1.0), self.rate, self.kind)

    def lp_cutoff(self):
        return min(max(f32(self.norm * 44100.0 / self.rate), 0.0), f32(0.99))

    def update_feedback(self):
        q, c = f32(min(self.p[1], 1.0) * f32(0.99)), self.lp_cutoff()
        self.feedback = f32(q / (1.0 - c) + q)

    def update_filters(self):
        self.s1 = self.section()
        if self.p[3] >= 0.5:
            self.s2 = self.section()
        if self.p[4] != 0.0:
            self.update_feedback()

    def set(self, i, v):
        self.bank[self.program][i] = v
        if i == 0:
            self.p[0] = v
            self.norm = map_cutoff(v)
            self.hz = f32(self.norm * 20000.0)
            self.update_filters()
        elif i == 1:
            self.p[1] = v if v > f32(0.01) else f32(0.01)
            self.update_filters()
        elif i == 2:
            self.p[2] = v
            for bound, kind in ((0.25, 1), (0.5, 2), (0.75, 3)):
                if v < bound:
                    self.kind = kind
                    break
            else:
                if v <= 1.0:
                    self.kind = 4
            self.update_filters()
        elif i == 3:
            self.p[3] = v
            if v >= 0.5:
                self.s2 = self.section()
        elif i == 4:
            self.p[4] = v
            if v > 0.0:
                self.update_feedback()
        else:
            self.p[5] = v

    def select(self, n):
        self.program = n
        values = FACTORY if n == 0 else list(self.bank[n])
        for i in range(6):
            self.set(i, values[i])

    def set_rate(self, r):
        self.rate = r
        self.update_filters()

    @staticmethod
    def biquad(c, h, x):
        y = flush(f32(h[1] * c[2] + x * c[0] + c[1] * h[0] - c[3] * h[2] - h[3] * c[4]))
        h[:] = [x, h[0], y, h[2]]
        return y

    def lowpass(self, s, x):
        c, s1, s2 = self.lp_cutoff(), s[0], s[1]
        s[0] = flush(f32(((s1 - s2) * self.feedback + (x - s1)) * c + s1))
        s[1] = flush(f32((s[0] - s2) * c + s2))
        return s[1]

    def frame(self, x, channel):
        y = self.biquad(self.s1, self.h[channel], x)
        if self.p[3] >= 0.5:
            y = self.biquad(self.s2, self.h[2 + channel], y)
        mix = max(min(self.p[4], 1000.0), -1000.0)
        if mix > 0.0:
            y = f32(self.lowpass(self.lp[channel], x) * mix + y)
        return y


class Noise:  # the same 32-bit generator as the C++ test
    state = 47

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        signed = self.state - (1 << 32) if self.state >= 1 << 31 else self.state
        return f32(signed * (1.0 / 2147483648.0))


def run(session):
    f, noise, out = Filter(), Noise(), bytearray()
    for token in session.split():
        op, arg = token[0], token[1:]
        if op == "s":
            index, value = arg.split("=")
            f.set(int(index), f32(float(value)))
        elif op == "p":
            f.select(int(arg))
        elif op == "r":
            f.set_rate(f32(float(arg)))
        elif op == "c":
            f.h = [[0.0] * 4 for _ in range(4)]
        else:
            frames = int(arg)
            pairs = [(noise.next(), noise.next()) for _ in range(frames)]
            if op == "z":  # the left input silent
                pairs = [(0.0, right) for _, right in pairs]
            elif op == "t":  # the left input at the edge of the subnormal numbers
                pairs = [(f32(left * 2.0 ** -124), right) for left, right in pairs]
            gain = f32(f.p[5] * 8.0)
            for channel, start in ((0, 0.25), (1, -0.5)):
                for pair in pairs:
                    y = f.frame(pair[channel], channel)
                    y = f32(y * gain + start) if op == "a" else f32(y * gain)
                    out += struct.pack("<f", y)
    digest = 0xCBF29CE484222325  # FNV-1a, 64 bits
    for byte in out:
        digest = ((digest ^ byte) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return digest


def main(path):
    text = open(path).read()
    cases = re.findall(r'\{"([^"]+)",\s*((?:"[^"]*"\s*)+),\s*0x([0-9a-fA-F]+)ull\}', text)
    failures = 0
    for name, pieces, stored in cases:
        digest = run("".join(re.findall(r'"([^"]*)"', pieces)))
        status = "ok" if digest == int(stored, 16) else "DIFFERS"
        failures += status != "ok"
        print(f"{name:24} 0x{digest:016x} {status}")
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures or not cases else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
