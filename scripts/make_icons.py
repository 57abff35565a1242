#!/usr/bin/env python3
# Writes ui/kestra.ico and ui/kestra_small.ico: Kestra's icon, a target whose
# dot is held off centre by a spring (the small icon leaves the spring out),
# as 48/32/16 px images in 8-bit and 32-bit colour and 32/16 px in 4-bit
# colour.  Standard library only; the output is the same on every run.
import math
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SS = 4  # supersampling: SS x SS samples per pixel

# Design colours: (RGB for 32-bit/8-bit, index into the VGA palette for 4-bit).
RIM, FACE, CROSS, RING, SPRING, DOT, HALO = (
    ((10, 28, 64), 0), ((30, 78, 150), 4), ((120, 160, 210), 7),
    ((225, 236, 250), 15), ((255, 196, 40), 11), ((236, 72, 32), 9),
    ((250, 250, 250), 15))

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128),
       (128, 0, 128), (0, 128, 128), (192, 192, 192), (128, 128, 128),
       (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
       (0, 255, 255), (255, 255, 255)]
# 256 colours: VGA, the design colours and their blends, a colour cube, greys.
_OWN = [c for c, _ in (RIM, FACE, CROSS, RING, SPRING, DOT, HALO)]
_MIX = [tuple((x * (4 - t) + y * t + 2) // 4 for x, y in zip(a, b))
        for i, a in enumerate(_OWN) for b in _OWN[i + 1:] for t in (1, 2, 3)]
_CUBE = [(r * 255 // 4, g * 255 // 4, b * 255 // 4)
         for r in range(5) for g in range(5) for b in range(5)]
PAL256 = list(dict.fromkeys(VGA + _OWN + _MIX + _CUBE))
PAL256 += [g for g in ((v, v, v) for v in range(0, 256, 3))
           if g not in PAL256][:256 - len(PAL256)]
assert len(PAL256) == 256


def rrect(x0, y0, x1, y1, r):
    def f(x, y):
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return x0 <= x <= x1 and y0 <= y <= y1 and dx * dx + dy * dy <= r * r
    return f


def disc(cx, cy, r0, r1=0.0):
    return lambda x, y: r1 * r1 <= (x - cx) ** 2 + (y - cy) ** 2 <= r0 * r0


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polyline(pts, w):
    segs = list(zip(pts, pts[1:]))

    def f(x, y):
        for (ax, ay), (bx, by) in segs:
            vx, vy = bx - ax, by - ay
            t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
            t = min(1.0, max(0.0, t))
            if (x - ax - t * vx) ** 2 + (y - ay - t * vy) ** 2 <= w * w / 4:
                return True
        return False
    return f


def shapes(n, detailed):
    """Shapes for an n x n image, topmost first, as (test, colour)."""
    s = n / 48.0
    small = n < 32
    c = 7.5 if small else n / 2.0  # at 16 px, centre on a pixel
    rim = max(1.0, round(1.5 * s))
    rad, rw = (5.0, 0.6) if small else (0.30 * n, 1.4 * s)
    ang = math.radians(-40)
    off = (0.31 if detailed else 0.25) * n
    dx, dy = c + off * math.cos(ang), c + off * math.sin(ang)
    dr = (0.09 if detailed else 0.16) * n
    if small:  # a 5 px dot centred on a pixel
        dx, dy, dr = math.floor(dx) + 0.5, math.floor(dy) + 0.5, 2.4
    out = [(disc(dx, dy, dr), DOT), (disc(dx, dy, dr + max(0.9, s)), HALO)]
    if detailed:  # a zigzag spring from the centre to the dot
        ux, uy, k = math.cos(ang), math.sin(ang), 5 if n >= 48 else 3
        length, amp = off - dr * 0.6, 0.055 * n
        pts = [(c, c)] + [
            (c + ux * length * (i - 0.5) / k - uy * amp * (-1) ** i,
             c + uy * length * (i - 0.5) / k + ux * amp * (-1) ** i)
            for i in range(1, k + 1)] + [(c + ux * length, c + uy * length)]
        out.append((polyline(pts, 1.5 * s), SPRING))
        out.append((disc(c, c, 0.06 * n), RING))
    out.append((disc(c, c, rad + rw, rad - rw), RING))
    lw = 1.0 if small else 2.0
    half, span = lw / 2, rad + (1.0 if small else 0.08 * n)
    out.append((rect(c - half, c - span, c + half, c + span), CROSS))
    out.append((rect(c - span, c - half, c + span, c + half), CROSS))
    out.append((rrect(rim, rim, n - rim, n - rim, 0.2 * n - rim), FACE))
    out.append((rrect(0, 0, n, n, 0.2 * n), RIM))
    return out


def render(n, detailed):
    """Per pixel: (average RGB of opaque samples, coverage, majority shape)."""
    sh = shapes(n, detailed)
    px = []
    for y in range(n):
        for x in range(n):
            hits = {}
            rgb = [0, 0, 0]
            for j in range(SS):
                for i in range(SS):
                    sx, sy = x + (i + 0.5) / SS, y + (j + 0.5) / SS
                    for test, col in sh:
                        if test(sx, sy):
                            hits[col] = hits.get(col, 0) + 1
                            for k in range(3):
                                rgb[k] += col[0][k]
                            break
            cov = sum(hits.values())
            avg = tuple((v + cov // 2) // cov for v in rgb) if cov else (0, 0, 0)
            top = max(sorted(hits), key=lambda h: hits[h]) if hits else None
            px.append((avg, cov / (SS * SS), top))
    return px


def nearest(pal, rgb, cache):
    if rgb not in cache:
        cache[rgb] = min(range(len(pal)), key=lambda i: sum(
            (a - b) ** 2 for a, b in zip(pal[i], rgb)))
    return cache[rgb]


def dib(n, bpp, px):
    """A BMP-in-ICO image: header, palette, XOR bitmap, AND mask."""
    rows, cache = [], {}
    for y in reversed(range(n)):
        row = px[y * n:(y + 1) * n]
        if bpp == 32:
            b = b"".join(struct.pack("<4B", c[2], c[1], c[0],
                                     round(cov * 255)) for c, cov, _ in row)
        else:
            idx = [0 if cov < 0.5 else (nearest(PAL256, c, cache) if bpp == 8
                                        else top[1]) for c, cov, top in row]
            if bpp == 4:
                idx = [(idx[i] << 4) | idx[i + 1] for i in range(0, n, 2)]
            b = bytes(idx)
        rows.append(b + b"\0" * (-len(b) % 4))
    mask = []
    for y in reversed(range(n)):
        bits = [1 if (cov == 0 if bpp == 32 else cov < 0.5) else 0
                for _, cov, _ in px[y * n:(y + 1) * n]]
        b = bytes(sum(bits[i + k] << (7 - k) for k in range(8))
                  for i in range(0, n, 8))
        mask.append(b + b"\0" * (-len(b) % 4))
    pal = {8: PAL256, 4: VGA, 32: []}[bpp]
    body = b"".join(rows) + b"".join(mask)
    head = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bpp, 0, len(body),
                       0, 0, 0, 0)
    return head + b"".join(struct.pack("<4B", b, g, r, 0)
                           for r, g, b in pal) + body


def write_ico(path, detailed):
    cache = {}
    images = []
    for bpp, sizes in ((8, (48, 32, 16)), (32, (48, 32, 16)), (4, (32, 16))):
        for n in sizes:
            key = (n, detailed and n > 16)
            if key not in cache:
                cache[key] = render(*key)
            images.append((n, bpp, dib(n, bpp, cache[key])))
    offset = 6 + 16 * len(images)
    out = [struct.pack("<HHH", 0, 1, len(images))]
    for n, bpp, data in images:
        out.append(struct.pack("<BBBBHHII", n, n, 16 if bpp == 4 else 0, 0,
                               1, bpp, len(data), offset))
        offset += len(data)
    out += [data for _, _, data in images]
    with open(os.path.join(ROOT, path), "wb") as f:
        f.write(b"".join(out))


if __name__ == "__main__":
    os.makedirs(os.path.join(ROOT, "ui"), exist_ok=True)
    write_ico("ui/kestra.ico", True)
    write_ico("ui/kestra_small.ico", False)
