#!/usr/bin/env python3
"""Lays out the four pad pictures (res/art/<console>.svg).

The button centres come from the lamp positions of the page layouts; the shapes around them are
drawn here. Run it (python3 res/art/padgen.py) after changing a lamp position or a shape, then rebuild, run the
art_tests suite and look at the pages it composes in build/default/docs/screenshots, then at the window
itself (scripts/window-screenshots)."""
import math, sys, os

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))

def f(v):
    s = f"{v:.1f}"
    return s[:-2] if s.endswith('.0') else s

# ---------------------------------------------------------------- shape helpers

def mirror_path(cx, top, segs):
    """segs: left half from (cx, top) as list of cubic segments ((c1),(c2),(p)) ending on the axis.
    Returns a closed path: left half down, mirrored right half back up."""
    d = [f"M{f(cx)},{f(top)}"]
    pts = [(cx, top)]
    for c1, c2, p in segs:
        d.append(f"C{f(c1[0])},{f(c1[1])} {f(c2[0])},{f(c2[1])} {f(p[0])},{f(p[1])}")
        pts.append(p)
    # right half: walk the segments backwards, mirrored
    m = lambda q: (2 * cx - q[0], q[1])
    for i in range(len(segs) - 1, -1, -1):
        c1, c2, p = segs[i]
        start = pts[i]
        d.append(f"C{f(m(c2)[0])},{f(m(c2)[1])} {f(m(c1)[0])},{f(m(c1)[1])} {f(m(start)[0])},{f(m(start)[1])}")
    d.append("Z")
    return " ".join(d)

def wedge(cx, cy, r1, r2, a0, a1):
    """Annular sector between angles a0..a1 (degrees, SVG orientation: 0 = right, 90 = down)."""
    def pt(r, a):
        return (cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
    p0, p1, p2, p3 = pt(r2, a0), pt(r2, a1), pt(r1, a1), pt(r1, a0)
    return (f"M{f(p0[0])},{f(p0[1])} A{f(r2)},{f(r2)} 0 0 1 {f(p1[0])},{f(p1[1])} "
            f"L{f(p2[0])},{f(p2[1])} A{f(r1)},{f(r1)} 0 0 0 {f(p3[0])},{f(p3[1])} Z")

def arrow(cx, cy, r, a, size=3.2):
    """Small triangle pointing outwards at angle a, its centre r from (cx, cy)."""
    ux, uy = math.cos(math.radians(a)), math.sin(math.radians(a))
    px, py = -uy, ux
    tip = (cx + (r + size) * ux, cy + (r + size) * uy)
    b1 = (cx + (r - size * 0.6) * ux + size * px, cy + (r - size * 0.6) * uy + size * py)
    b2 = (cx + (r - size * 0.6) * ux - size * px, cy + (r - size * 0.6) * uy - size * py)
    return f"M{f(tip[0])},{f(tip[1])} L{f(b1[0])},{f(b1[1])} L{f(b2[0])},{f(b2[1])} Z"

def dpad_arm(cx, cy, direction, inner, outer, half, r=2.5):
    """One arm of a cross pad: a bar from `inner` to `outer` px off the centre, pointed towards it."""
    pts = [(-half, -inner), (-half, -outer + r), (-half + r, -outer), (half - r, -outer), (half, -outer + r),
           (half, -inner), (0, -inner + half * 0.7)]
    rot = {'UP': 0, 'R': 90, 'DOWN': 180, 'L': 270}[direction]
    c, s = math.cos(math.radians(rot)), math.sin(math.radians(rot))
    q = [(cx + x * c - y * s, cy + x * s + y * c) for x, y in pts]
    return "M" + " L".join(f"{f(x)},{f(y)}" for x, y in q) + " Z"

# ---------------------------------------------------------------- the pads

def mix(a, b, t):
    pa = [int(a[i:i + 2], 16) for i in (1, 3, 5)]
    pb = [int(b[i:i + 2], 16) for i in (1, 3, 5)]
    return '#' + ''.join(f"{round(x + (y - x) * t):02x}" for x, y in zip(pa, pb))

def lampc(p):
    return (p[0] + 5, p[1] + 5)

PADS = {}

PADS['ps3'] = dict(
    title='PS3-family pad: dual sticks low in the middle, cross pad and four round face buttons',
    axis=357.5, top=156,
    segs=[((330, 156), (300, 146), (262, 146)), ((228, 146), (209, 170), (207, 205)),
          ((205, 240), (196, 300), (196, 335)), ((196, 362), (214, 378), (238, 378)),
          ((262, 378), (274, 362), (284, 340)), ((296, 314), (306, 292), (330, 290)),
          ((340, 289), (350, 290), (357.5, 290))],
    colors=dict(body0='#4a4d53', body1='#232427', rim='#7a7f88', btn0='#6a6e76', btn1='#3c3f44',
                btnrim='#14151a', well='#141518', cap0='#5a5e66', cap1='#2c2e33', mark='#a9adb5',
                wedge='#43464c', face=None, accent=None),
    boxes={'L2': (55, 20), 'L1': (55, 49), 'SELECT': (55, 94), 'ARROW_UP': (55, 123), 'ARROW_DOWN': (55, 152),
           'ARROW_L': (55, 180), 'ARROW_R': (55, 209), 'lyhih_UP': (55, 238), 'lyhih_DOWN': (55, 266),
           'lxhih_L': (55, 295), 'lxhih_R': (55, 324), 'LSTICK_KEY': (55, 353), 'R2': (541, 20), 'R1': (541, 49),
           'START': (541, 93), 'A': (541, 122), 'B': (541, 151), 'X': (541, 179), 'Y': (541, 208),
           'RSTICK_KEY': (541, 312), 'HOME': (304, 331)},
    lamps={'L2': (282, 33), 'L1': (282, 61), 'SELECT': (330, 203), 'ARROW_UP': (281, 188), 'ARROW_DOWN': (281, 217),
           'ARROW_L': (267, 202), 'ARROW_R': (296, 202), 'lyhih_UP': (317, 220), 'lyhih_DOWN': (317, 252),
           'lxhih_L': (300, 236), 'lxhih_R': (336, 236), 'LSTICK_KEY': (317, 236), 'R2': (424, 30), 'R1': (424, 58),
           'START': (374, 203), 'A': (425, 220), 'B': (444, 202), 'X': (404, 202), 'Y': (424, 183),
           'RSTICK_KEY': (390, 236), 'HOME': (352, 216)},
    lstick=dict(c=(322, 241), R=24, rin=8), rstick=dict(c=(395, 241), R=24),
    dpad=dict(c=(286.5, 207.5), half=7, style='cross'),
    face=dict(r=9.5),
    select=dict(kind='pill_h', w=16, h=7), start=dict(kind='pill_h', w=16, h=7, tri=True),
    home=dict(kind='round', r=8),
    shoulder=dict(style='ps', strip=(236, 80, 479, 92)),
)

PADS['ps4'] = dict(
    title='PS4-family pad: touch panel between the short centre buttons, light strip along the top',
    axis=353.5, top=150,
    segs=[((320, 148), (290, 140), (258, 142)), ((224, 144), (204, 168), (200, 205)),
          ((196, 245), (186, 300), (188, 340)), ((190, 368), (210, 384), (234, 382)),
          ((256, 380), (266, 362), (274, 338)), ((284, 312), (300, 288), (330, 285)),
          ((340, 284), (347, 284), (353.5, 284))],
    colors=dict(body0='#46546e', body1='#1f2532', rim='#7d8ba6', btn0='#5d6780', btn1='#343b4b',
                btnrim='#10131a', well='#12151c', cap0='#56617a', cap1='#262c39', mark='#aab4c8',
                wedge='#3d465a', face=None, accent='#5d9cff'),
    boxes={'L2': (50, 20), 'L1': (50, 49), 'SELECT': (537, 93), 'ARROW_UP': (50, 123), 'ARROW_DOWN': (50, 152),
           'ARROW_L': (50, 180), 'ARROW_R': (50, 209), 'lyhih_UP': (50, 238), 'lyhih_DOWN': (50, 266),
           'lxhih_L': (50, 295), 'lxhih_R': (50, 324), 'LSTICK_KEY': (50, 353), 'R2': (537, 20), 'R1': (537, 49),
           'START': (289, 318), 'A': (537, 122), 'B': (537, 151), 'X': (537, 179), 'Y': (537, 208),
           'RSTICK_KEY': (537, 263), 'HOME': (537, 293), 'SHARE': (50, 94)},
    lamps={'L2': (277, 31), 'L1': (277, 59), 'SELECT': (399, 176), 'ARROW_UP': (274, 187), 'ARROW_DOWN': (274, 212),
           'ARROW_L': (262, 200), 'ARROW_R': (288, 199), 'lyhih_UP': (309, 216), 'lyhih_DOWN': (310, 246),
           'lxhih_L': (294, 232), 'lxhih_R': (326, 232), 'LSTICK_KEY': (309, 231), 'R2': (424, 30), 'R1': (424, 58),
           'START': (337, 185), 'A': (423, 216), 'B': (441, 199), 'X': (405, 199), 'Y': (423, 181),
           'RSTICK_KEY': (387, 231), 'HOME': (348, 232), 'SHARE': (300, 176)},
    lstick=dict(c=(314, 236), R=22, rin=7), rstick=dict(c=(392, 236), R=22),
    dpad=dict(c=(279.5, 204.5), half=6.5, style='cross'),
    face=dict(r=8.5),
    select=dict(kind='pill_v', w=7, h=15), share=dict(kind='pill_v', w=7, h=15),
    start=dict(kind='panel', rect=(317, 144, 74, 58)),
    home=dict(kind='round', r=7),
    shoulder=dict(style='ps', strip=(232, 78, 475, 90)),
)

PADS['switch'] = dict(
    title='Switch-family pad: stick above the cross pad on the left, buttons above the stick on the right',
    axis=361.5, top=142,
    segs=[((320, 142), (262, 138), (236, 144)), ((212, 150), (202, 168), (198, 196)),
          ((193, 232), (183, 296), (188, 346)), ((191, 374), (208, 388), (232, 386)),
          ((256, 384), (270, 366), (281, 336)), ((292, 308), (312, 298), (338, 298)),
          ((349, 298), (356, 298), (361.5, 298))],
    colors=dict(body0='#4b4346', body1='#1e1a1c', rim='#86797e', btn0='#5c5558', btn1='#2f2a2c',
                btnrim='#0f0d0e', well='#151214', cap0='#5a5256', cap1='#252022', mark='#a89ca1',
                wedge='#3e383b', face=None, accent=None),
    boxes={'L2': (53, 30), 'L1': (53, 60), 'SELECT': (53, 91), 'lyhih_UP': (53, 120), 'lyhih_DOWN': (53, 149),
           'lxhih_L': (53, 177), 'lxhih_R': (53, 205), 'LSTICK_KEY': (53, 235), 'ARROW_UP': (53, 263),
           'ARROW_DOWN': (53, 292), 'ARROW_L': (53, 321), 'ARROW_R': (53, 350), 'R2': (541, 30), 'R1': (541, 60),
           'START': (541, 91), 'A': (541, 120), 'B': (541, 149), 'X': (541, 177), 'Y': (541, 205),
           'RSTICK_KEY': (541, 279), 'HOME': (541, 311), 'CAPTURE': (541, 339)},
    lamps={'L2': (282, 42), 'L1': (283, 72), 'SELECT': (326, 183), 'lyhih_UP': (282, 185), 'lyhih_DOWN': (283, 212),
           'lxhih_L': (268, 200), 'lxhih_R': (298, 199), 'LSTICK_KEY': (283, 199), 'ARROW_UP': (318, 226),
           'ARROW_DOWN': (318, 250), 'ARROW_L': (305, 238), 'ARROW_R': (329, 238), 'R2': (429, 42), 'R1': (430, 72),
           'START': (387, 182), 'A': (444, 202), 'B': (426, 219), 'X': (426, 184), 'Y': (408, 202),
           'RSTICK_KEY': (393, 237), 'HOME': (374, 201), 'CAPTURE': (339, 200)},
    lstick=dict(c=(288, 204), R=21, rin=6), rstick=dict(c=(398, 242), R=21),
    dpad=dict(c=(322.5, 243), half=6, style='buttons'),
    face=dict(r=8.5),
    select=dict(kind='minus'), start=dict(kind='plus'),
    home=dict(kind='ringed', r=7), capture=dict(kind='square', s=11),
    shoulder=dict(style='switch', strip=(238, 92, 485, 104)),
)

PADS['xbox'] = dict(
    title='Xbox-family pad: offset sticks, round centre button high up, coloured face buttons',
    axis=358, top=150,
    segs=[((326, 148), (292, 138), (260, 142)), ((226, 146), (206, 170), (202, 205)),
          ((198, 240), (190, 292), (194, 330)), ((198, 362), (216, 378), (240, 376)),
          ((262, 374), (276, 356), (288, 332)), ((298, 312), (318, 300), (340, 300)),
          ((348, 300), (354, 300), (358, 300))],
    colors=dict(body0='#e4e6ea', body1='#a9adb4', rim='#f5f6f8', btn0='#4a4d53', btn1='#26282c',
                btnrim='#111215', well='#2a2c30', cap0='#4a4d53', cap1='#1f2124', mark='#b9bdc5',
                wedge='#34373c', strip='#5b5e64', face=dict(A='#4f9a46', B='#c0473c', X='#3d72c2', Y='#d2a92e'), accent=None),
    boxes={'L2': (55, 20), 'L1': (55, 49), 'SELECT': (55, 94), 'lyhih_UP': (55, 123), 'lyhih_DOWN': (55, 152),
           'lxhih_L': (55, 180), 'lxhih_R': (55, 209), 'LSTICK_KEY': (55, 238), 'ARROW_UP': (55, 266),
           'ARROW_DOWN': (55, 295), 'ARROW_L': (55, 324), 'ARROW_R': (55, 353), 'R2': (541, 20), 'R1': (541, 49),
           'START': (541, 93), 'A': (541, 122), 'B': (541, 151), 'X': (541, 179), 'Y': (541, 208),
           'RSTICK_KEY': (541, 306), 'HOME': (304, 324)},
    lamps={'L2': (282, 33), 'L1': (282, 61), 'SELECT': (337, 196), 'lyhih_UP': (289, 183), 'lyhih_DOWN': (289, 207),
           'lxhih_L': (276, 195), 'lxhih_R': (302, 195), 'LSTICK_KEY': (289, 195), 'ARROW_UP': (319, 225),
           'ARROW_DOWN': (320, 246), 'ARROW_L': (306, 236), 'ARROW_R': (333, 236), 'R2': (435, 30), 'R1': (436, 60),
           'START': (370, 197), 'A': (417, 211), 'B': (433, 195), 'X': (402, 194), 'Y': (418, 178),
           'RSTICK_KEY': (385, 233), 'HOME': (352, 171)},
    lstick=dict(c=(294, 200), R=21, rin=5), rstick=dict(c=(390, 238), R=21),
    dpad=dict(c=(324.5, 240.5), half=6, style='plate'),
    face=dict(r=8.5),
    select=dict(kind='round', r=6), start=dict(kind='round', r=6),
    home=dict(kind='guide', r=11),
    shoulder=dict(style='xbox', strip=(240, 80, 476, 92)),
)

# ---------------------------------------------------------------- writer

def rrect(cx, cy, w, h, r, **attrs):
    a = " ".join(f'{k.replace("_", "-")}="{v}"' for k, v in attrs.items())
    return f'<rect x="{f(cx - w / 2)}" y="{f(cy - h / 2)}" width="{f(w)}" height="{f(h)}" rx="{f(r)}" {a}/>'

def circle(cx, cy, r, **attrs):
    a = " ".join(f'{k.replace("_", "-")}="{v}"' for k, v in attrs.items())
    return f'<circle cx="{f(cx)}" cy="{f(cy)}" r="{f(r)}" {a}/>'

def path(d, **attrs):
    a = " ".join(f'{k.replace("_", "-")}="{v}"' for k, v in attrs.items())
    return f'<path d="{d}" {a}/>'

def render(name, P):
    C = P['colors']
    L = {k: lampc(v) for k, v in P['lamps'].items()}
    body_d = mirror_path(P['axis'], P['top'], P['segs'])
    out = []
    w = out.append
    w('<?xml version="1.0" encoding="UTF-8"?>')
    w(f'<!-- {P["title"]}.\n     701x400, transparent around the pad. Every button is one element whose id is the button\'s\n'
      f'     name; the pad body is "body". Generated by padgen.py from the lamp and box positions of the page. -->')
    w('<svg xmlns="http://www.w3.org/2000/svg" width="701" height="400" viewBox="0 0 701 400">')
    w('<defs>')
    w(f'<linearGradient id="bodyg" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{C["body0"]}"/>'
      f'<stop offset="1" stop-color="{C["body1"]}"/></linearGradient>')
    w(f'<linearGradient id="btng" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{C["btn0"]}"/>'
      f'<stop offset="1" stop-color="{C["btn1"]}"/></linearGradient>')
    w(f'<radialGradient id="capg" cx="0.4" cy="0.3" r="0.8"><stop offset="0" stop-color="{C["cap0"]}"/>'
      f'<stop offset="1" stop-color="{C["cap1"]}"/></radialGradient>')
    w('<linearGradient id="gloss" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#ffffff" stop-opacity="0.16"/>'
      '<stop offset="1" stop-color="#ffffff" stop-opacity="0"/></linearGradient>')
    if C.get('face'):
        for k, col in C['face'].items():
            lite = mix(col, '#ffffff', 0.35)
            dark = mix(col, '#000000', 0.3)
            w(f'<radialGradient id="face{k}" cx="0.4" cy="0.3" r="0.8"><stop offset="0" stop-color="{lite}"/>'
              f'<stop offset="0.5" stop-color="{col}"/><stop offset="1" stop-color="{dark}"/></radialGradient>')
    w(f'<clipPath id="bodyclip"><path d="{body_d}"/></clipPath>')
    w('<filter id="soft" x="-20%" y="-20%" width="140%" height="140%"><feGaussianBlur stdDeviation="6"/></filter>')
    w('</defs>')

    # --- shoulders seen from above the pad's top edge
    sh = P['shoulder']
    x0, y0, x1, y1 = sh['strip']
    w('<g id="shoulders">')
    w(f'<rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{y1 - y0}" rx="{(y1 - y0) / 2}" fill="{C.get("strip", C["body1"])}" '
      f'stroke="{C["rim"]}" stroke-opacity="0.6"/>')
    if C.get('accent'):
        w(f'<rect x="{x0 + 40}" y="{y0 + 4}" width="{x1 - x0 - 80}" height="{y1 - y0 - 8}" rx="2" fill="{C["accent"]}" fill-opacity="0.85"/>')
    w('</g>')

    # --- leader lines from the boxes: clear outside the pad, only a faint hint over it
    paths, dots = [], []
    for k, (bx, by) in P['boxes'].items():
        cx, cy = L[k]
        if 200 < bx < 450:  # box below the pad: run straight up
            paths.append(path(f"M{f(bx + 55)},{by} L{f(cx)},{f(cy)}"))
            dots.append(circle(bx + 55, by - 1.5, 1.8))
        elif bx < 200:
            x = bx + 110
            paths.append(path(f"M{x},{by + 16} H{x + 14} L{f(cx)},{f(cy)}"))
            dots.append(circle(x + 1.5, by + 16, 1.8))
        else:
            x = bx
            paths.append(path(f"M{x},{by + 16} H{x - 14} L{f(cx)},{f(cy)}"))
            dots.append(circle(x - 1.5, by + 16, 1.8))
    leaders_under = ('<g id="leaders" fill="none" stroke="#e66219" stroke-opacity="0.55" stroke-width="1">'
                     + "".join(paths) + '</g>')
    leaders_over = ('<g clip-path="url(#bodyclip)" fill="none" stroke="#e66219" stroke-opacity="0.22" stroke-width="1">'
                    + "".join(paths) + '</g>')
    leader_dots = '<g fill="#e66219" fill-opacity="0.85">' + "".join(dots) + '</g>'

    w(leaders_under)
    w(leader_dots)
    # --- body with a soft shadow and gloss
    w(f'<path d="{body_d}" fill="#000000" fill-opacity="0.55" transform="translate(0 7)" filter="url(#soft)"/>')
    w(f'<path id="body" d="{body_d}" fill="url(#bodyg)" stroke="{C["rim"]}" stroke-width="1.5"/>')
    w(f'<g clip-path="url(#bodyclip)">')
    w(f'<ellipse cx="{P["axis"]}" cy="{P["top"] + 10}" rx="170" ry="70" fill="url(#gloss)"/>')
    if C.get('plate'):
        # a slightly raised face plate across the top of the pad
        w(f'<path d="M{P["axis"] - 150},{P["top"] - 20} H{P["axis"] + 150} V{P["top"] + 120} '
          f'Q{P["axis"]},{P["top"] + 150} {P["axis"] - 150},{P["top"] + 120} Z" fill="{C["plate"]}" fill-opacity="0.05"/>')
    w('</g>')

    # --- wells under sticks and the cross pad
    ls, rs, dp = P['lstick'], P['rstick'], P['dpad']
    for s in (ls, rs):
        w(circle(*s['c'], s['R'] + 5, fill=C['well'], stroke=C['rim'], stroke_opacity='0.35'))
    if dp['style'] == 'plate':
        w(circle(*dp['c'], 24, fill=C['well'], stroke=C['rim'], stroke_opacity='0.35'))
    else:
        w(circle(*dp['c'], 23, fill='#000000', fill_opacity='0.18'))
    w(circle(*ls['c'], ls['R'], fill='url(#capg)', stroke=C['btnrim']))

    w(leaders_over)

    btn = dict(fill='url(#btng)', stroke=C['btnrim'], stroke_width='1')
    # --- shoulder buttons
    for k in ('L2', 'R2'):
        cx, cy = L[k]
        if sh['style'] == 'xbox':
            d = (f"M{f(cx - 30)},{f(cy + 12)} L{f(cx - 30)},{f(cy - 4)} Q{f(cx - 30)},{f(cy - 14)} {f(cx - 18)},{f(cy - 14)} "
                 f"L{f(cx + 18)},{f(cy - 14)} Q{f(cx + 30)},{f(cy - 14)} {f(cx + 30)},{f(cy - 4)} L{f(cx + 30)},{f(cy + 12)} Z")
            w(path(d, id=k, **btn))
        elif sh['style'] == 'switch':
            w(rrect(cx, cy, 66, 24, 5, id=k, **btn))
        else:
            d = (f"M{f(cx - 28)},{f(cy + 13)} L{f(cx - 31)},{f(cy - 6)} Q{f(cx - 32)},{f(cy - 13)} {f(cx - 24)},{f(cy - 13)} "
                 f"L{f(cx + 24)},{f(cy - 13)} Q{f(cx + 32)},{f(cy - 13)} {f(cx + 31)},{f(cy - 6)} L{f(cx + 28)},{f(cy + 13)} Z")
            w(path(d, id=k, **btn))
    for k in ('L1', 'R1'):
        cx, cy = L[k]
        if sh['style'] == 'xbox':
            w(rrect(cx, cy, 82, 16, 8, id=k, **btn))
        elif sh['style'] == 'switch':
            w(rrect(cx, cy, 74, 16, 4, id=k, **btn))
        else:
            w(rrect(cx, cy, 70, 17, 6, id=k, **btn))

    # --- cross pad
    dcx, dcy = dp['c']
    inner = 5 if dp['style'] == 'cross' else 1.5
    if dp['style'] != 'cross':
        w(rrect(dcx, dcy, 2 * dp['half'], 2 * dp['half'], 1, fill=C['btn1']))
    for k, d in (('ARROW_UP', 'UP'), ('ARROW_DOWN', 'DOWN'), ('ARROW_L', 'L'), ('ARROW_R', 'R')):
        cx, cy = L[k]
        dist = abs(cy - dcy) if d in ('UP', 'DOWN') else abs(cx - dcx)
        w(path(dpad_arm(dcx, dcy, d, inner, dist + 6.5, dp['half']), id=k, **btn))
        ang = {'UP': -90, 'DOWN': 90, 'L': 180, 'R': 0}[d]
        w(path(arrow(dcx, dcy, dist + 1, ang, 2.6), fill=C['mark'], fill_opacity='0.7'))

    # --- left stick: four direction zones round a centre key
    cx, cy = ls['c']
    for k, a0, a1 in (('lyhih_UP', -131, -49), ('lxhih_R', -41, 41), ('lyhih_DOWN', 49, 131), ('lxhih_L', 139, 221)):
        w(path(wedge(cx, cy, ls['rin'] + 2, ls['R'] - 2, a0, a1), id=k, fill=C['wedge'], stroke=C['btnrim'],
               stroke_width='0.8'))
        w(path(arrow(cx, cy, ls['R'] - 7, (a0 + a1) / 2, 2.4), fill=C['mark'], fill_opacity='0.75'))
    w(circle(cx, cy, ls['rin'], id='LSTICK_KEY', fill='url(#btng)', stroke=C['mark'], stroke_opacity='0.5'))

    # --- right stick: the whole cap is the key
    cx, cy = rs['c']
    w(circle(cx, cy, rs['R'], id='RSTICK_KEY', fill='url(#capg)', stroke=C['btnrim']))
    w(circle(cx, cy, rs['R'] - 5, fill='none', stroke=C['mark'], stroke_opacity='0.3'))
    w(circle(cx, cy, 5, fill='#000000', fill_opacity='0.2'))

    # --- face buttons
    r = P['face']['r']
    for k in ('A', 'B', 'X', 'Y'):
        cx, cy = L[k]
        fill = f'url(#face{k})' if C.get('face') else 'url(#btng)'
        w(circle(cx, cy, r + 2.5, fill='#000000', fill_opacity='0.25'))
        w(circle(cx, cy, r, id=k, fill=fill, stroke=C['btnrim']))
        w(circle(cx - r * 0.25, cy - r * 0.3, r * 0.45, fill='#ffffff', fill_opacity='0.10'))
        if not C.get('face'):
            w(circle(cx, cy, r * 0.45, fill='none', stroke=C['mark'], stroke_opacity='0.45', stroke_width='1.2'))

    # --- centre buttons
    def centre(k, shape):
        cx, cy = L[k]
        kind = shape['kind']
        if kind == 'pill_h':
            w(rrect(cx, cy, shape['w'], shape['h'], shape['h'] / 2, id=k, **btn))
        elif kind == 'pill_v':
            w(rrect(cx, cy, shape['w'], shape['h'], shape['w'] / 2, id=k, **btn))
        elif kind == 'panel':
            x, y, pw, ph = shape['rect']
            w(f'<rect id="{k}" x="{x}" y="{y}" width="{pw}" height="{ph}" rx="7" fill="url(#btng)" stroke="{C["btnrim"]}"/>')
            w(f'<rect x="{x + 3}" y="{y + 3}" width="{pw - 6}" height="{ph / 2}" rx="5" fill="#ffffff" fill-opacity="0.05"/>')
        elif kind == 'round':
            w(circle(cx, cy, shape['r'], id=k, **btn))
        elif kind == 'ringed':
            w(circle(cx, cy, shape['r'] + 2.5, fill='none', stroke=C['mark'], stroke_opacity='0.5', stroke_width='1.2'))
            w(circle(cx, cy, shape['r'], id=k, **btn))
        elif kind == 'guide':
            w(circle(cx, cy, shape['r'] + 3, fill='#000000', fill_opacity='0.25'))
            w(circle(cx, cy, shape['r'], id=k, fill='url(#btng)', stroke='#ffffff', stroke_opacity='0.55', stroke_width='1.5'))
        elif kind == 'square':
            s = shape['s']
            w(rrect(cx, cy, s, s, 2.5, id=k, **btn))
            w(circle(cx, cy, 2.6, fill='none', stroke=C['mark'], stroke_opacity='0.6'))
        elif kind == 'minus':
            w(circle(cx, cy, 6, id=k, **btn))
            w(rrect(cx, cy, 6, 1.6, 0.8, fill=C['mark'], fill_opacity='0.8'))
        elif kind == 'plus':
            w(circle(cx, cy, 6, id=k, **btn))
            w(rrect(cx, cy, 6, 1.6, 0.8, fill=C['mark'], fill_opacity='0.8'))
            w(rrect(cx, cy, 1.6, 6, 0.8, fill=C['mark'], fill_opacity='0.8'))
    for k in ('SELECT', 'START', 'HOME', 'SHARE', 'CAPTURE'):
        key = k.lower()
        if key in P:
            centre(k, P[key])
    w('</svg>')
    return "\n".join(out) + "\n"

for name, P in PADS.items():
    with open(os.path.join(OUT, name + '.svg'), 'w') as fh:
        fh.write(render(name, P))
