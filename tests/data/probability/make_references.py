#!/usr/bin/env python3
"""Reference values for the probability library's tests, computed with mpmath
(an independent arbitrary-precision implementation) at 50 significant digits.

Every argument is written as the exact double the test passes (17 digits), and
the reference is the function at that exact value. Rows whose value the
library's own cut-offs make 0 (a prefactor exponent at or below -2000, results
below 1e-300) are left out.

Run: python3 make_references.py > references.txt
Rows:
  P letter x df1 df2 value              probability of x ("Z" central, others upper tail)
  Q letter p df1 df2 value condition    inverse; condition = relative change of the
                                        value that one unit in the last place of p makes
  B n k value                           binomial coefficient (exact integer)
  O mean lnmean y value                 Poisson probability exp(y lnmean - mean) / y!
"""
import math

import mpmath
from mpmath import mp, mpf, erf, sqrt, betainc, gammainc, loggamma, log, exp, inf

mp.dps = 50
EPS = 2.0 ** -52


def num(v):
    return mp.nstr(v, 25, min_fixed=-5, max_fixed=5) if v != 0 else "0"


def dbl(v):
    return repr(float(v))


def z_central(x):
    return erf(mpf(x) / sqrt(2))


def t_parts(t, df):
    a, b = mpf(df) / 2, mpf(1) / 2
    x = mpf(df) / (mpf(t) ** 2 + df)
    return a, b, x


def t_upper(t, df):
    a, b, x = t_parts(t, df)
    if x == 0:
        return mpf(0), -inf
    e = loggamma(a + b) - loggamma(a) - loggamma(b) + a * log(x) + b * log(1 - x)
    return betainc(a, b, 0, x, regularized=True), e


def c_upper(x, df):
    a, h = mpf(df) / 2, mpf(x) / 2
    e = -h + a * log(h) - loggamma(a)
    return gammainc(a, h, inf, regularized=True), e


def f_upper(f, d1, d2):
    a, b = mpf(d2) / 2, mpf(d1) / 2
    x = mpf(d2) / (mpf(d2) + mpf(f) * d1)
    e = loggamma(a + b) - loggamma(a) - loggamma(b) + a * log(x) + b * log(1 - x)
    return betainc(a, b, 0, x, regularized=True), e


def keep(value, e):
    return e > -1990 and value > mpf("1e-300")


rows = []

for z in [1e-8, 0.001, 0.1, 0.25, 0.5, 0.75, 1, 1.5, 1.96, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.2, 6.3]:
    rows.append(f"P Z {dbl(z)} 0 0 {num(z_central(z))}")

t_dfs = [0.5, 1, 2, 2.5, 3, 4, 5, 7.3, 10, 15, 20, 30, 50, 100, 200, 500, 1000, 10000]
t_values = [0.001, 0.1, 0.5, 1, 1.5, 2, 2.5, 3, 4, 5, 7, 10, 20, 50, 100, 1000, 1e5]
for df in t_dfs:
    for t in t_values:
        v, e = t_upper(t, df)
        if keep(v, e):
            rows.append(f"P T {dbl(t)} {dbl(df)} 0 {num(v)}")

c_dfs = [0.5, 1, 2, 3, 4, 5, 7, 10, 20, 50, 100, 500, 1000, 5000]
for df in c_dfs:
    xs = sorted(set([m * df for m in [0.001, 0.01, 0.1, 0.5, 0.9, 1, 1.1, 1.5, 2, 3, 5, 10]] +
                    [0.5, 1, 3.84, 10, 50, 100, 300, 1000]))
    for x in xs:
        v, e = c_upper(x, df)
        if keep(v, e):
            rows.append(f"P C {dbl(x)} {dbl(df)} 0 {num(v)}")

f_df1 = [1, 2, 3, 5, 10, 30, 100]
f_df2 = [1, 2, 5, 10, 30, 100, 1000]
for d1 in f_df1:
    for d2 in f_df2:
        for f in [0.01, 0.1, 0.5, 1, 2, 3, 5, 10, 50, 1000]:
            v, e = f_upper(f, d1, d2)
            if keep(v, e):
                rows.append(f"P F {dbl(f)} {dbl(d1)} {dbl(d2)} {num(v)}")


def solve(fn, p, rising):
    # Bisection between a bracket found by doubling, to 45 digits.
    p = mpf(p)
    g = (lambda s: fn(s) - p) if rising else (lambda s: p - fn(s))
    lo, hi = mpf(0), mpf(1)
    while g(hi) < 0:
        lo, hi = hi, hi * 2
    while hi - lo > hi * mpf(10) ** -45:
        mid = (lo + hi) / 2
        if g(mid) < 0:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def inverse_row(letter, p, d1, d2, fn, rising):
    x = solve(fn, p, rising)
    h = x * mpf(10) ** -20
    slope = (fn(x + h) - fn(x - h)) / (2 * h)
    cond = abs(mpf(p) * EPS / (x * slope))
    rows.append(f"Q {letter} {dbl(p)} {dbl(d1)} {dbl(d2)} {num(x)} {mp.nstr(cond, 3)}")


tails = [0.5, 0.2, 0.1, 0.05, 0.025, 0.01, 0.001, 1e-4, 1e-6, 1e-8]
for p in [0.1, 0.5, 0.8, 0.9, 0.95, 0.99, 0.999, 0.9999]:
    inverse_row("Z", p, 0, 0, z_central, True)
for df in [1, 2, 3, 5, 7.5, 10, 30, 100, 1000]:
    for p in tails + [0.9, 0.99]:
        inverse_row("T", p, df, 0, lambda s, df=df: t_upper(s, df)[0], False)
for df in [1, 2, 3, 5, 10, 50, 100, 1000]:
    for p in tails + [0.9, 0.99]:
        inverse_row("C", p, df, 0, lambda s, df=df: c_upper(s, df)[0], False)
for d1, d2 in [(1, 1), (1, 10), (2, 5), (3, 30), (5, 10), (10, 20), (12, 4), (30, 100), (100, 1000)]:
    for p in tails + [0.9]:
        inverse_row("F", p, d1, d2, lambda s, d1=d1, d2=d2: f_upper(s, d1, d2)[0], False)

for n, k in [(5, 2), (10, 3), (20, 10), (32, 16), (33, 5), (40, 20), (52, 5), (60, 30), (100, 50), (200, 3),
             (500, 250), (1000, 10), (1000, 500)]:
    rows.append(f"B {n} {k} {math.comb(n, k)}")

for mean, y in [(0.5, 0), (2, 3), (7.5, 0), (7.5, 7), (7.5, 20), (10, 10), (30, 33), (40, 50), (100, 90),
                (100, 130), (1000, 1000), (0.01, 5)]:
    lnmean = math.log(mean)
    v = exp(y * mpf(lnmean) - mpf(mean) - loggamma(y + 1))
    rows.append(f"O {dbl(mean)} {dbl(lnmean)} {y} {num(v)}")

print("# Generated by make_references.py (mpmath %s, %d digits); see that file." % (mpmath.__version__, mp.dps))
for r in rows:
    print(r)
