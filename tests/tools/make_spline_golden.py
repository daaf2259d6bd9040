#!/usr/bin/env python3
"""Writes the reference curves of the smoothing tests (tests/chart/data/).

Run once; the files are committed. The curves come from textbook formulas in
exact rational arithmetic, independent of the program's weights and solver:
- approximating: the uniform cubic B-spline in its segment (basis-matrix)
  form, with phantom ends P0 = 2 P1 - P2 and P(N+1) = 2 P(N) - P(N-1);
- interpolating: the natural cubic spline over the point index (zero second
  derivative at both ends), through its second-derivative system.
Sample i is taken where the program takes it: T = i / Steps and
c = (N - 1) * T + 1 in double arithmetic; the curve is then evaluated exactly
at that c and rounded to 17 significant digits.
"""
from fractions import Fraction
import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "chart", "data")


def source(n):
    """A scan-like set of points: slightly uneven X, a wavy positive Y."""
    seed, xs, ys = 12345, [], []
    for i in range(n):
        seed = (seed * 1103515245 + 12345) % 2**31
        noise = seed / 2**31
        xs.append(87.0 + 0.1 * i + 0.03 * noise)
        ys.append(40.0 + 12.0 * ((i % 17) / 17.0) + 6.0 * noise)
    return xs, ys


def approximating(p, c):
    n = len(p)
    q = [2 * p[0] - p[1]] + p + [2 * p[-1] - p[-2]]  # q[k] = control point k
    seg = min(int(c), n - 1)
    u = c - seg
    b = [(1 - u) ** 3, 3 * u**3 - 6 * u**2 + 4, -3 * u**3 + 3 * u**2 + 3 * u + 1, u**3]
    return sum(w * q[seg - 1 + m] for m, w in enumerate(b)) / 6


def natural_moments(p):
    n = len(p)
    m = [Fraction(0)] * n
    if n < 3:
        return m
    # M[i-1] + 4 M[i] + M[i+1] = 6 (P[i-1] - 2 P[i] + P[i+1]), M at the ends 0.
    diag = [Fraction(4)] * n
    rhs = [6 * (p[i - 1] - 2 * p[i] + p[i + 1]) if 0 < i < n - 1 else Fraction(0) for i in range(n)]
    for i in range(2, n - 1):
        f = 1 / diag[i - 1]
        diag[i] -= f
        rhs[i] -= f * rhs[i - 1]
    for i in range(n - 2, 0, -1):
        m[i] = (rhs[i] - (m[i + 1] if i + 1 < n - 1 else 0)) / diag[i]
    return m


def interpolating(p, moments, c):
    n = len(p)
    seg = min(int(c), n - 1)  # between points seg and seg + 1 (1-based)
    u = c - seg
    a, b = p[seg - 1], p[seg]
    ma, mb = moments[seg - 1], moments[seg]
    return (1 - u) * a + u * b + (((1 - u) ** 3 - (1 - u)) * ma + (u**3 - u) * mb) / 6


def write(n, factor, interpolate):
    xs, ys = source(n)
    px, py = [Fraction(v) for v in xs], [Fraction(v) for v in ys]
    steps = max(1, min(n * factor, 600))
    mx, my = natural_moments(px), natural_moments(py)
    name = "spline_%s_%d.txt" % ("interp" if interpolate else "approx", n)
    with open(os.path.join(OUT, name), "w") as f:
        f.write("# written by tests/tools/make_spline_golden.py\n")
        f.write("%d %d %d %d\n" % (n, factor, int(interpolate), steps))
        for x, y in zip(xs, ys):
            f.write("%.17g %.17g\n" % (x, y))
        for i in range(steps + 1):
            c = Fraction((n - 1) * (i / steps) + 1)
            if interpolate:
                x, y = interpolating(px, mx, c), interpolating(py, my, c)
            else:
                x, y = approximating(px, c), approximating(py, c)
            f.write("%.17g %.17g\n" % (float(x), float(y)))


if __name__ == "__main__":
    for n in (211, 50):
        for interpolate in (False, True):
            write(n, 10, interpolate)
