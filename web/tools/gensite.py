#!/usr/bin/env python3
"""Generates the page's data module from the window's resource package.

    gensite.py RES_DIR STATIC_DIR SITE_DIR

Reads the main layout and the console pages its tab control holds (positions of the tabs, the
command buttons, the boxes and the lamps, and which picture each uses), the skin table (how many states each picture
holds side by side), the keyboard table (265.xml) and the translation documents (en.xml, ja.xml),
and writes them as one ES module that the page imports (SITE_DIR/data.js). It also writes the
page itself (SITE_DIR/index.html) from STATIC_DIR/index.html with the style sheet and the window's
frame (its size and background picture from the main layout) inside it, so that the frame is
painted before any other file arrives or any script runs (allowed by the page's
Content-Security-Policy through its hash), and copies the art the skins name. Nothing here is typed
by hand: a change in res/ reaches the page with the next build. Fails loudly on anything it does not understand.
"""

import base64
import hashlib
import json
import re
import shutil
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

PAGE_SUFFIX = "page"  # a console's page title in the tab control: its word and "page" ("ps3page")


def fail(message):
    sys.exit(f"gensite: {message}")


def parse(path):
    try:
        return ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        fail(f"{path}: {e}")


def pos(element, path):
    value = element.get("pos")
    m = re.fullmatch(r"\s*(-?\d+)\s*,\s*(-?\d+)\s*", value or "")
    if not m:
        fail(f"{path}: element {element.get('name')!r} has no usable pos {value!r}")
    return int(m.group(1)), int(m.group(2))


def svg_size(path):
    root = parse(path)
    try:
        return int(float(root.get("width"))), int(float(root.get("height")))
    except (TypeError, ValueError):
        fail(f"{path}: no width and height")


def skins(res):
    """skin name -> {art, w, h, states}: the picture and the size of one state."""
    table = {}
    path = res / "values" / "skin.xml"
    for s in parse(path):
        src = s.get("src")
        if not src:
            continue  # colour rectangles: the menu's, drawn with CSS
        m = re.fullmatch(r"IMG:(\w+)_png", src)
        if not m:
            fail(f"{path}: skin {s.get('name')} has an image {src!r} that is not IMG:<name>_png")
        art = m.group(1)
        w, h = svg_size(res / "art" / f"{art}.svg")
        states = int(s.get("states", "1"))
        if states < 1 or w % states:
            fail(f"{path}: skin {s.get('name')}: {w} px is not {states} states wide")
        table[s.get("name")] = {"art": art, "w": w // states, "h": h, "states": states}
    return table


def main_window(res, skin_table):
    path = res / "layout" / "XML_MAINWND.xml"
    host = parse(path)
    out = {"width": int(host.get("width")), "height": int(host.get("height")), "tabs": [], "commands": []}
    root = host.find("root")
    for e in root:
        name = e.get("name", "")
        if e.tag == "img" and name == "img_background":
            out["background"] = skin_table[e.get("skin")]["art"]
        elif e.tag == "text" and name == "text_title":
            x, y = pos(e, path)
            out["title"] = {"x": x, "y": y, "text": resolve_string(res, (e.text or "").strip())}
        elif e.tag == "tabctrl" and name == "tabctrl_mode":
            x, y = pos(e, path)
            w, h = (int(v) for v in e.get("size").split(","))
            out["pages"] = {"x": x, "y": y, "w": w, "h": h,
                            "titles": [p.get("title") for p in e.findall("page")]}
        elif e.tag == "imgbtn" and name in ("btn_min", "btn_close"):
            continue  # a browser tab has its own caption buttons
        elif e.tag == "imgbtn":
            x, y = pos(e, path)
            entry = {"name": name, "x": x, "y": y, "skin": e.get("skin"), "text": (e.text or "").strip()}
            out["buttons"] = out.get("buttons", []) + [entry]
    if "pages" not in out or "title" not in out:
        fail(f"{path}: expected tabctrl_mode and text_title")
    # The consoles are the tab control's pages; each has its tab button "btn_<word>".
    titles = out["pages"]["titles"]
    if not titles or any(not t or not t.endswith(PAGE_SUFFIX) for t in titles):
        fail(f"{path}: every page of tabctrl_mode needs a title <word>{PAGE_SUFFIX}")
    out["words"] = [t[: -len(PAGE_SUFFIX)] for t in titles]
    tab_names = {"btn_" + w for w in out["words"]}
    for entry in out.pop("buttons", []):
        (out["tabs"] if entry["name"] in tab_names else out["commands"]).append(entry)
    if len(out["tabs"]) != len(titles) or len(out["commands"]) != 4:
        fail(f"{path}: expected a tab button for each of {len(titles)} pages and four commands")
    return out


def resolve_string(res, text):
    m = re.fullmatch(r"@string/(\w+)", text)
    if not m:
        return text
    for s in parse(res / "values" / "string.xml"):
        if s.tag == m.group(1):
            return s.get("value")
    fail(f"string {text} is not in values/string.xml")


def console_page(res, word, skin_table):
    path = res / "layout" / f"{word}page.xml"
    include = parse(path)
    window = include.find("window")
    page = {"art": skin_table[window.get("skin")]["art"], "boxes": {}, "lamps": {}}
    box_prefix, lamp_prefix = f"btn_{word}_key_", f"img_{word}_key_"
    for e in window:
        name = e.get("name", "")
        if name.startswith(box_prefix):
            x, y = pos(e, path)
            page["boxes"][name[len(box_prefix):]] = {"x": x, "y": y}
        elif name.startswith(lamp_prefix):
            x, y = pos(e, path)
            page["lamps"][name[len(lamp_prefix):]] = {"x": x, "y": y}
    if not page["boxes"]:
        fail(f"{path}: no boxes named {box_prefix}*")
    return page


def keyboard(res):
    path = res / "keyboard" / "265.xml"
    d = parse(path)
    frame = d.find("frame")
    out = {
        "caption": d.get("caption"), "trCtx": d.get("trCtx"),
        "width": int(d.get("width")), "height": int(d.get("height")),
        "frame": {k: int(frame.get(k)) for k in ("x", "y", "width", "height")},
        "keys": [],
    }
    for k in d.findall("key"):
        key = {"id": int(k.get("id")), "upper": k.get("upper", ""), "x": int(k.get("x")), "y": int(k.get("y")),
               "w": int(k.get("width")), "h": int(k.get("height")), "available": k.get("available") == "1"}
        if k.get("lower") is not None:
            key["lower"] = k.get("lower")
        if k.get("multiline") == "1":
            key["multiline"] = True
        out["keys"].append(key)
    if not out["keys"]:
        fail(f"{path}: no keys")
    return out


def translations(res, name):
    path = res / "translator" / f"{name}.xml"
    out = {}
    for ctx in parse(path).findall("context"):
        messages = {}
        for m in ctx.findall("message"):
            source, tr = m.findtext("source"), m.findtext("translation")
            if source is None or tr is None:
                fail(f"{path}: a message without source or translation in {ctx.get('name')}")
            messages[source] = tr
        if ctx.get("name"):
            out[ctx.get("name")] = messages
    return out


def frame_css(res, main):
    svg = (res / "art" / f"{main['background']}.svg").read_bytes()
    uri = "data:image/svg+xml;base64," + base64.b64encode(svg).decode("ascii")
    return (f".window {{ width: {main['width']}px; height: {main['height']}px; "
            f"background-image: url({uri}); background-size: {main['width']}px {main['height']}px; }}\n"
            f"main {{ width: calc({main['width']}px * var(--fit, 1)); }}\n")


def main():
    if len(sys.argv) != 4:
        fail("usage: gensite.py RES_DIR STATIC_DIR SITE_DIR")
    res, static, site = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
    skin_table = skins(res)
    data = {
        "skins": skin_table,
        "main": main_window(res, skin_table),
        "pages": {},
        "keyboard": keyboard(res),
        "translations": {"en": translations(res, "en"), "ja": translations(res, "ja")},
    }
    data["pages"] = {w: console_page(res, w, skin_table) for w in data["main"]["words"]}
    site.mkdir(parents=True, exist_ok=True)
    # The art the page shows (the frame's background goes into the style sheet), and the icon.
    main = data["main"]
    shown = {skin_table[b["skin"]]["art"] for b in main["tabs"] + main["commands"]}
    shown |= {p["art"] for p in data["pages"].values()}
    shown |= {skin_table[k]["art"] for k in ("skin_custombox_png", "skin_status_png")} | {"icon"}
    (site / "art").mkdir(exist_ok=True)
    for art in sorted(shown):
        shutil.copyfile(res / "art" / f"{art}.svg", site / "art" / f"{art}.svg")
    text = "// Generated by web/tools/gensite.py from res/ at build time. Do not edit.\n"
    text += "export default " + json.dumps(data, ensure_ascii=False, separators=(",", ":")) + ";\n"
    (site / "data.js").write_text(text, encoding="utf-8")

    template = (static / "index.html").read_text(encoding="utf-8")
    style = (static / "style.css").read_text(encoding="utf-8") + frame_css(res, data["main"])
    marker = '<link rel="stylesheet" href="style.css">'
    if marker not in template or "STYLE-HASH" not in template:
        fail(f"{static / 'index.html'} has no {marker} or no STYLE-HASH in its Content-Security-Policy")
    # The style sheet is inside the page; the page's policy allows that one sheet by its hash.
    inline = "\n" + style
    digest = base64.b64encode(hashlib.sha256(inline.encode("utf-8")).digest()).decode("ascii")
    page = template.replace("STYLE-HASH", f"'sha256-{digest}'").replace(marker, "<style>" + inline + "</style>")
    (site / "index.html").write_text(page, encoding="utf-8")


if __name__ == "__main__":
    main()
