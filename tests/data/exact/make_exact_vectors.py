#!/usr/bin/env python3
"""Writes the data files (*.txt) beside this script: reference results of the value
machine's conversions and divisions, computed with exact rational arithmetic
(fractions, decimal) rather than the C library.

    python3 tests/data/exact/make_exact_vectors.py

The random cases come from a fixed starting value, so the output is stable."""

import math
import os
import random
import struct
from decimal import Decimal, getcontext
from fractions import Fraction

getcontext().prec = 2000
rng = random.Random(20261206)

DOUBLE = (53, -1022, 1023)
SINGLE = (24, -126, 127)


def nearest(x, fmt):
    """The nearest binary value of format fmt to the Fraction x, ties to
    even; None when it overflows or when a non-zero x rounds to 0."""
    mant, emin, emax = fmt
    if x == 0:
        return Fraction(0)
    neg = x < 0
    a = -x if neg else x
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if Fraction(2) ** e > a:
        e -= 1
    if Fraction(2) ** (e + 1) <= a:
        e += 1
    e = max(e, emin)
    ulp = Fraction(2) ** (e - mant + 1)
    q = a / ulp
    n = q.numerator // q.denominator
    rest = q - n
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and n % 2 == 1):
        n += 1
    r = n * ulp
    if r >= Fraction(2) ** (emax + 1) or r == 0:
        return None
    return -r if neg else r


def double_bits(v):
    return struct.unpack('<Q', struct.pack('<d', float(v)))[0]


def single_bits(v):
    return struct.unpack('<I', struct.pack('<f', float(v)))[0]


def exact_text(x):
    """The exact decimal text of a dyadic Fraction."""
    d = Decimal(x.numerator) / Decimal(x.denominator)
    return format(d, 'f')


# ---- Texts to reals ---------------------------------------------------------

texts = [
    # Extremes of DOUBLE and FLOAT, as the server writes them and shorter.
    "1.7976931348623157e308", "-1.7976931348623157e+308", "2.2250738585072014e-308",
    "2.225073858507201e-308", "4.9406564584124654e-324", "5e-324", "-5e-324",
    "3.4028234663852886e+38", "3.40282347e+38", "3.4028235e38", "-3.40282e38", "1.17549435e-38",
    "1.1754944e-38", "1.4012984643248171e-45", "1.4e-45", "1e-45",
    # 17 significant digits, and the reals of the faults seen.
    "0.10000000000000001", "0.30000000000000004", "9007199254740993", "9007199254740992.5",
    "1.2345678901234567e-300", "98765432109876543", "-0.000012345678901234567",
    "1.150791976326441e-41", "4.873328466134014e+89", "3.141592653589793", "2.718281828459045",
    "123456789012345678901234567890", "0.000000000000000000000000000000000001",
    # Ties of DOUBLE: 2^53 + 1 and 2^53 + 3.
    "9007199254740993", "9007199254740995",
    # Out of range both ways, and zeros.
    "1e309", "-1e400", "1e-400", "2e-324", "0", "-0.0", "0e999", "000.000",
    # Forms of the grammar.
    "  42  ", "+.5", "5.", "1E5", "1e+05", "-2.5E-3",
]
for _ in range(250):
    digits = ''.join(rng.choice('0123456789') for _ in range(rng.randint(1, 20)))
    digits = str(rng.randint(1, 9)) + digits[1:]
    exp = rng.randint(-345, 310)
    sign = rng.choice(['', '-'])
    texts.append(f"{sign}{digits[0]}.{digits[1:] or '0'}e{exp}")
for _ in range(60):
    # Singles of every range, written with 9 digits.
    e = rng.randint(-149, 127)
    x = Fraction(rng.randint(1 << 23, (1 << 24) - 1)) * Fraction(2) ** (e - 23)
    texts.append('%.8e' % float(x))
# Just above and below the midpoint of two singles: read through a double
# they land on the midpoint and round to even, read directly they do not.
for _ in range(60):
    e = rng.randint(-100, 100)
    m = rng.randint(1 << 23, (1 << 24) - 2)
    mid = (Fraction(2 * m + 1, 2)) * Fraction(2) ** (e - 23)
    delta = Fraction(1, 10 ** 60) * Fraction(2) ** (e - 23)
    for x in (mid + delta, mid - delta):
        texts.append(format(Decimal(x.numerator) / Decimal(x.denominator), 'e'))
# Midpoints of two doubles exactly (ties to even) and just above.
for _ in range(40):
    e = rng.randint(-300, 300)
    m = rng.randint(1 << 52, (1 << 53) - 2)
    mid = (Fraction(2 * m + 1, 2)) * Fraction(2) ** (e - 52)
    for x in (mid, mid + Fraction(1, 10 ** 40) * Fraction(2) ** (e - 52)):
        texts.append(format(Decimal(x.numerator) / Decimal(x.denominator), 'e'))

real_rows = []
seen = set()
for t in texts:
    if t in seen:
        continue
    seen.add(t)
    x = Fraction(Decimal(t.strip()))
    d = nearest(x, DOUBLE)
    f = nearest(x, SINGLE)
    # A zero keeps the text's sign.
    sign = -1.0 if x == 0 and t.strip().startswith('-') else 1.0
    real_rows.append((t, d is not None, double_bits(sign * float(d)) if d is not None else 0,
                      f is not None, single_bits(sign * float(f)) if f is not None else 0))

# ---- Reals to integers --------------------------------------------------------

INT_TYPES = [(2, 8, False), (3, 16, False), (4, 32, False), (5, 64, False),
             (6, 8, True), (7, 16, True), (8, 32, True), (9, 64, True)]


def around(x):
    v = float(x)
    return [math.nextafter(v, -math.inf), v, math.nextafter(v, math.inf)]


integer_rows = []
for code, bits, signed in INT_TYPES:
    lo, hi = (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if signed else (0, (1 << bits) - 1)
    reals = around(lo) + around(hi) + around(hi + 1) + around(lo - 1)
    reals += [0.0, -0.0, 0.5, -0.5, 0.9999999999999999, -0.9999999999999999, 1.5, -1.5,
              float(2 ** 63 - 1024), -float(2 ** 63), float(2 ** 63), 1e300, -1e300, 5e-324]
    for _ in range(6):
        reals.append(rng.uniform(lo, hi))
    for r in reals:
        t = math.trunc(Fraction(r))
        ok = lo <= t <= hi
        integer_rows.append((code, double_bits(r), ok, (t & ((1 << 64) - 1)) if ok else 0))

# ---- Integer divisions into a real ------------------------------------------------

division_rows = []
pairs = [(9, 1, 9, 5486811), (9, 1, 9, 3), (9, -1, 9, 3), (9, 2 ** 63 - 1, 9, 3), (9, -2 ** 63, 9, 7),
         (5, 2 ** 64 - 1, 5, 3), (5, 2 ** 64 - 1, 9, -1), (8, 7, 8, -2), (8, 1, 8, 10),
         (9, 2 ** 53 + 1, 9, 1), (9, 1, 5, 2 ** 64 - 1), (8, -2 ** 31, 9, 2 ** 62 + 1)]
for _ in range(120):
    a = rng.choice([rng.randint(-2 ** 63, 2 ** 63 - 1), rng.randint(-10 ** 6, 10 ** 6)])
    b = rng.choice([rng.randint(-2 ** 63, 2 ** 63 - 1), rng.randint(1, 10 ** 7)]) or 1
    pairs.append((9, a, 9, b))
for ta, a, tb, b in pairs:
    division_rows.append((ta, a & ((1 << 64) - 1), tb, b & ((1 << 64) - 1),
                          double_bits(nearest(Fraction(a, b), DOUBLE))))

# ---- Currency divisions -----------------------------------------------------------

CY_MAX = 2 ** 79 - 1


def money_text(n):
    """Millionths as the currency library writes them."""
    s = str(abs(n)).rjust(7, '0')
    s = (s[:-6] + '.' + s[-6:]).rstrip('0').rstrip('.')
    return ('-' if n < 0 else '') + s


def cy_row(ta, a, tb, b):
    # Both operands in millionths (currency) or units (integer).
    xa = Fraction(a, 10 ** 6) if ta == 10 else Fraction(a)
    xb = Fraction(b, 10 ** 6) if tb == 10 else Fraction(b)
    q = math.trunc(xa / xb * 10 ** 6)
    ok = -CY_MAX - 1 <= q <= CY_MAX
    return (ta, money_text(a) if ta == 10 else str(a), tb, money_text(b) if tb == 10 else str(b), ok,
            money_text(q) if ok else "")


currency_rows = [cy_row(10, 4999999999999995, 10, 10000000000000000000000),
                 cy_row(10, 1000000, 10, 3000000), cy_row(10, -1000000, 10, 3000000),
                 cy_row(10, 2000000, 10, 3000000), cy_row(10, -2000000, 10, -3000000),
                 cy_row(10, 1, 10, 2000000), cy_row(10, CY_MAX, 10, 1), cy_row(10, CY_MAX, 10, 1000000),
                 cy_row(10, -CY_MAX, 10, -1000000), cy_row(10, CY_MAX, 10, 500000), cy_row(10, 10 ** 12, 8, 7), cy_row(8, 1, 10, 3),
                 cy_row(9, 2 ** 63 - 1, 10, 10 ** 12)]
for _ in range(80):
    a = rng.choice([rng.randint(-10 ** 12, 10 ** 12), rng.randint(-CY_MAX, CY_MAX)])
    b = rng.choice([rng.randint(-10 ** 9, 10 ** 9), rng.randint(-CY_MAX, CY_MAX)]) or 7
    currency_rows.append(cy_row(10, a, 10, b))

# ---- Decimal divisions --------------------------------------------------------------


def decimal_text(x, scale):
    """x rounded half away from zero to scale digits, trailing zeros dropped,
    as the machine writes decimals."""
    a = abs(x) * 10 ** scale
    n = a.numerator // a.denominator
    if (a - n) * 2 >= 1:
        n += 1
    s = str(n).rjust(scale + 1, '0')
    if scale:
        s = s[:-scale] + '.' + s[-scale:]
        s = s.rstrip('0').rstrip('.')
    return ('-' if x < 0 and n != 0 else '') + s


def random_decimal():
    scale = rng.randint(0, 8)
    return str(Decimal(rng.randint(-10 ** 14, 10 ** 14)).scaleb(-scale))


decimal_rows = []
decimal_pairs = [("1", "3"), ("2", "3"), ("-2", "3"), ("1", "7"), ("10", "4"), ("1", "0.0003"),
                 ("123456789012345678", "0.7"), ("99999999999999999999", "0.00000000000000000001"),
                 ("0.00000001", "3"), ("5", "-0.25")]
decimal_pairs += [(random_decimal(), random_decimal()) for _ in range(60)]


def rounded(x, scale):
    a = abs(x) * 10 ** scale
    n = a.numerator // a.denominator
    return Fraction(n + ((a - n) * 2 >= 1), 10 ** scale)


# Quotients of 19 integer digits that rounding first to 20 fraction digits,
# then to the 19 that fit, would get wrong.
found = 0
while found < 4:
    a, b = str(rng.randint(10 ** 21, 10 ** 22)), str(rng.randint(101, 999))
    x = Fraction(int(a), int(b))
    if 10 ** 18 <= x < 10 ** 19 and rounded(rounded(x, 20), 19) != rounded(x, 19):
        decimal_pairs.append((a, b))
        found += 1
for a, b in decimal_pairs:
    if Decimal(b) == 0:
        continue
    x = Fraction(Decimal(a)) / Fraction(Decimal(b))
    scale = max(20, -Decimal(a).as_tuple().exponent, -Decimal(b).as_tuple().exponent)
    whole = abs(x.numerator) // x.denominator
    digits = len(str(whole)) if whole else 0
    # Beyond 38 integer digits the division fails: an empty text.
    scale = min(scale, 38 - digits)
    decimal_rows.append((a, b, decimal_text(x, scale) if digits <= 38 else ""))

# ---- 64-bit integers to singles -------------------------------------------------------

single_rows = []
values = [2 ** 60 + 2 ** 36 + 1, 2 ** 60 + 2 ** 36, 2 ** 60 + 3 * 2 ** 36, 2 ** 63 - 1, -2 ** 63,
          2 ** 64 - 1, 2 ** 24 + 1, 2 ** 24 + 3, -(2 ** 24 + 1), 16777217 * 2 ** 20 + 1]
for _ in range(80):
    v = rng.getrandbits(rng.randint(1, 64))
    if v < 2 ** 63 and rng.random() < 0.5:
        v = -v
    values.append(v)
for v in values:
    code = 5 if v >= 2 ** 63 else 9
    single_rows.append((code, v & ((1 << 64) - 1), single_bits(nearest(Fraction(v), SINGLE)),
                        double_bits(nearest(Fraction(v), DOUBLE))))

# ---- Output ---------------------------------------------------------------------------------

def write(name, columns, rows):
    """One case a line, fields apart by tabs; the first line names the columns."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), name + '.txt')
    with open(path, 'w') as f:
        f.write('# ' + '\t'.join(columns) + '\n')
        for row in rows:
            f.write('\t'.join(row) + '\n')


def b(ok):
    return '1' if ok else '0'


write('real_texts', ['text', 'reads as a double', 'its bits', 'reads as a single', 'its bits'],
      [(t, b(okd), f'{db:016X}', b(okf), f'{fb:08X}') for t, okd, db, okf, fb in real_rows])
write('real_to_integer', ['integer type', 'double bits', 'fits', '64-bit pattern'],
      [(str(code), f'{db:016X}', b(ok), f'{v:016X}') for code, db, ok, v in integer_rows])
write('integer_divisions', ['type a', 'pattern a', 'type b', 'pattern b', 'quotient double bits'],
      [(str(ta), f'{a:016X}', str(tb), f'{b_:016X}', f'{db:016X}') for ta, a, tb, b_, db in division_rows])
write('currency_divisions', ['type a', 'a', 'type b', 'b', 'fits', 'currency quotient'],
      [(str(ta), a, str(tb), b_, b(ok), q) for ta, a, tb, b_, ok, q in currency_rows])
write('decimal_divisions', ['a', 'b', 'quotient, empty when it has no room'],
      [(a, b_, q) for a, b_, q in decimal_rows])
write('integer_to_real', ['integer type', '64-bit pattern', 'nearest single bits', 'nearest double bits'],
      [(str(code), f'{v:016X}', f'{fb:08X}', f'{db:016X}') for code, v, fb, db in single_rows])
