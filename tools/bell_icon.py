"""The golden bell of the desktop icon, drawn from one geometry at each size: a crown
loop, a dome flaring to a lip, and a clapper below it. At a pixel size the lip, the
dome's top and the clapper are fitted to whole pixels and the outline keeps a width
in whole (or half) pixels, so that small sizes stay crisp; each pixel is the average
of a grid of samples. svg() gives the same bell unfitted, for any size."""
import math

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
DESIGN = 256.0  # the SVG's view box, and the size the proportions below are for

OUTLINE = (92, 60, 0)
GOLD_LIGHT, GOLD, GOLD_DEEP = (255, 238, 140), (247, 196, 36), (186, 124, 0)
CLAPPER = (72, 72, 72)


def _mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def _gold(u):
    """The body's colour across it, u from 0 (left edge) to 1 (right edge)."""
    u = min(1.0, max(0.0, u))
    return _mix(GOLD_LIGHT, GOLD, u / 0.45) if u < 0.45 else _mix(GOLD, GOLD_DEEP, (u - 0.45) / 0.55)


class Bell:
    """The bell's measures in pixels for one size; `fit` rounds them to the grid."""

    def __init__(self, size, fit=True):
        f = size / DESIGN
        snap = round if fit else (lambda v: v)
        self.size, self.c = size, size / 2.0
        self.outline = (1.0 if size <= 32 else 1.5 if size <= 48 else 2.0 if size <= 64
                        else 3.0 if size <= 128 else 5.0) if fit else 5.0 * f
        self.dome_y = snap(84 * f)            # the dome's centre: above it, a half circle
        self.dome_r = self.dome_y - snap(46 * f)  # its top on a pixel's edge too
        self.lip_top, self.lip_bottom = snap(186 * f), snap(208 * f)
        # Room for gold between the outline's two lines.
        self.lip_bottom = max(self.lip_bottom, self.lip_top + 2 * self.outline + 1)
        self.lip_half = snap(112 * f)
        self.body_half = 96 * f               # the flare's half width where it meets the lip
        self.lip_round = min((self.lip_bottom - self.lip_top) / 2.0, 8 * f)
        self.loop_y, self.loop_out = self.dome_y - self.dome_r - 8 * f, max(1.6, 18 * f)
        self.loop_in = self.loop_out - max(1.0, 8 * f)
        if fit and size <= 24:  # too small for a ring: a knob on the crown
            self.loop_y, self.loop_out, self.loop_in = self.dome_y - self.dome_r - 1.0, 1.5, 0.0
        self.clapper_r = max(1.5, 17 * f)
        self.clapper_y = self.lip_bottom + self.clapper_r * 0.55

    def half_width(self, y, inset=0.0):
        """The body's half width at height y, `inset` inside its edge; -1 outside it."""
        r = self.dome_r - inset
        if y < self.dome_y:
            dy = self.dome_y - y
            return math.sqrt(r * r - dy * dy) if dy <= r else -1.0
        if y > self.lip_top + self.outline:  # the lip covers the rest
            return -1.0
        span = self.lip_top - self.dome_y
        t = min(1.0, (y - self.dome_y) / span)
        slope = (self.body_half - self.dome_r) * 1.7 * t ** 0.7 / span
        return self.dome_r + (self.body_half - self.dome_r) * t ** 1.7 - inset * math.sqrt(1 + slope * slope)

    def in_lip(self, x, y, inset=0.0):
        left, right = self.c - self.lip_half + inset, self.c + self.lip_half - inset
        top, bottom = self.lip_top + inset, self.lip_bottom - inset
        if not (left <= x <= right and top <= y <= bottom):
            return False
        r = max(0.0, self.lip_round - inset)
        dx = max(left + r - x, 0.0, x - (right - r))
        dy = max(top + r - y, 0.0, y - (bottom - r))
        return dx * dx + dy * dy <= r * r

    def colour(self, x, y):
        """The colour at point (x, y) and whether anything is there."""
        w = self.half_width(y)
        if self.in_lip(x, y):
            if not self.in_lip(x, y, self.outline):
                return OUTLINE
            return _mix(_gold((x - self.c + self.lip_half) / (2 * self.lip_half)), GOLD_DEEP, 0.35)
        if w >= 0 and abs(x - self.c) <= w:
            inner = self.half_width(y, self.outline)
            if inner < 0 or abs(x - self.c) > inner:
                return OUTLINE
            u = (x - self.c + w) / (2 * w) if w > 0 else 0.5
            gold = _gold(u)
            # A gleam down the left side of the flare.
            if 0.14 <= u <= 0.26 and self.dome_y - self.dome_r * 0.4 <= y <= self.lip_top - 2 * self.outline:
                gold = _mix(gold, (255, 255, 255), 0.55)
            return gold
        d = math.hypot(x - self.c, y - self.loop_y)
        if self.loop_in <= d <= self.loop_out:
            return OUTLINE
        if math.hypot(x - self.c, y - self.clapper_y) <= self.clapper_r:
            return CLAPPER
        return None


def pixels(size):
    """pixel(x, y) -> (r, g, b, a) of the bell drawn at `size` px."""
    bell = Bell(size)
    n = 8 if size <= 64 else 4
    cache = {}

    def pixel(x, y):
        if (x, y) not in cache:
            r = g = b = hits = 0
            for j in range(n):
                for i in range(n):
                    col = bell.colour(x + (i + 0.5) / n, y + (j + 0.5) / n)
                    if col is not None:
                        r, g, b, hits = r + col[0], g + col[1], b + col[2], hits + 1
            cache[(x, y)] = ((0, 0, 0, 0) if hits == 0 else
                             (round(r / hits), round(g / hits), round(b / hits),
                              round(255 * hits / (n * n))))
        return cache[(x, y)]
    return pixel


def _hex(c):
    return '#%02x%02x%02x' % tuple(round(v) for v in c)


def svg():
    bell = Bell(int(DESIGN), fit=False)
    c, o = bell.c, bell.outline
    steps = 32
    ys = [bell.dome_y + (bell.lip_top - bell.dome_y) * k / steps for k in range(steps + 1)]
    right = ['%.2f,%.2f' % (c + bell.half_width(y), y) for y in ys]
    left = ['%.2f,%.2f' % (c - bell.half_width(y), y) for y in reversed(ys)]
    top = bell.dome_y - bell.dome_r
    body = ('M %s L %s L %s A %.2f %.2f 0 0 1 %.2f,%.2f Z' %
            (right[0], ' '.join(right[1:] + left[:1]), ' '.join(left[1:]),
             bell.dome_r, bell.dome_r, c + bell.dome_r, bell.dome_y))
    gleam_x = c - bell.body_half * 0.6
    return '''<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <title>Morrowby</title>
  <defs>
    <linearGradient id="gold" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="{light}"/>
      <stop offset="0.45" stop-color="{gold}"/>
      <stop offset="1" stop-color="{deep}"/>
    </linearGradient>
    <linearGradient id="lip" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="{lip_light}"/>
      <stop offset="0.45" stop-color="{lip_gold}"/>
      <stop offset="1" stop-color="{deep}"/>
    </linearGradient>
  </defs>
  <circle cx="{c}" cy="{loop_y:.2f}" r="{loop_r:.2f}" fill="none" stroke="{outline}" stroke-width="{loop_w:.2f}"/>
  <circle cx="{c}" cy="{clapper_y:.2f}" r="{clapper_r:.2f}" fill="{clapper}"/>
  <path d="{body}" fill="url(#gold)" stroke="{outline}" stroke-width="{o2:.2f}" stroke-linejoin="round"/>
  <path d="M {gx:.2f},{gy0:.2f} L {gx2:.2f},{gy1:.2f}" stroke="#ffffff" stroke-opacity="0.55" stroke-width="{gw:.2f}" stroke-linecap="round"/>
  <rect x="{lx:.2f}" y="{ly:.2f}" width="{lw:.2f}" height="{lh:.2f}" rx="{lr:.2f}" fill="url(#lip)" stroke="{outline}" stroke-width="{o2:.2f}"/>
</svg>
'''.format(light=_hex(GOLD_LIGHT), gold=_hex(GOLD), deep=_hex(GOLD_DEEP),
           lip_light=_hex(_mix(GOLD_LIGHT, GOLD_DEEP, 0.35)), lip_gold=_hex(_mix(GOLD, GOLD_DEEP, 0.35)),
           outline=_hex(OUTLINE), clapper=_hex(CLAPPER), c=c, body=body, o2=2 * o,
           loop_y=bell.loop_y, loop_r=(bell.loop_in + bell.loop_out) / 2,
           loop_w=bell.loop_out - bell.loop_in, clapper_y=bell.clapper_y, clapper_r=bell.clapper_r,
           gx=c - bell.dome_r * 0.55, gy0=top + bell.dome_r * 0.7, gx2=gleam_x,
           gy1=bell.lip_top - 4 * o, gw=bell.body_half * 0.2,
           lx=c - bell.lip_half + o, ly=bell.lip_top + o, lw=2 * (bell.lip_half - o),
           lh=bell.lip_bottom - bell.lip_top - 2 * o, lr=max(0.0, bell.lip_round - o))
