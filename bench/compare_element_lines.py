#!/usr/bin/env python3
"""Compares the element lines that a tool prints with those of the reference
model (element_line_model.py beside this file), on the model's own cases and
on random listings of every shape: the usual layout, one programme a line,
one line, programmes running together mid-line, odd indentation, line ends
anywhere (start tags over several lines), comments, CDATA, PIs and DOCTYPE
subsets, quotes holding "<", ">" and "/>", empty-element tags, unclosed
quotes, comments and children, "<" as text, nested children, text before
tv, a byte-order mark, CR LF, lone CR, Ctrl-Z and bytes from 0x80, and now
and then a listing with lines longer than the reader's blocks.

    bench/compare_element_lines.py TOOL [--random N] [--seed S] [--keep DIR]
                                   [--shrink K] [--show K] [--tv-in-programme R]
                                   [FILE...]

TOOL FILE must write every element line of FILE followed by one LF to
standard output and exit 0. Each differing listing is printed with its first
differing element line (repr of both sides) and kept in DIR with the two
outputs; with --shrink K the first K differing listings are also cut down to
a small input that still differs (kept as NAME.min.xml). --tv-in-programme
R runs the model with another reading R (child, child-0) of a tv start tag
directly inside a programme or channel; the model's own cases are run too,
and may then differ where they hold that reading. Exits 1 on any
difference.
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import element_line_model as model  # noqa: E402


# -- random listings -----------------------------------------------------------

WORDS = [b"Nieuws", b"weer", b"het", b"journaal", b"film", b"caf\xe9", b"Sch\xc3\xb6ne",
         b"\xe2\x80\x99s", b"a", b"x", b"Tom & Jerry".replace(b"&", b"&amp;"), b"3/5",
         b"\xff\xfe", b"\x96", b"\xef\xbb\xbf"]
# Pieces of content text that the splitter must leave alone.
CONTENT = [b"<br>", b"<br/>", b"<BR />", b"<p>", b"</p>", b"<b>x</b>", b"a < b", b"<3", b"<=",
           b"< programme>", b"<-", b"&lt;tv&gt;", b"<!-- </programme> -->",
           b"<!-- <title> -- -->", b"<![CDATA[</desc><programme>]]>", b"<![CDATA[]]>",
           b"<?pi </tv>?>", b"</titles>", b"<titles>", b"<value>6</value>", b"<i a='>'>x</i>",
           b"<a href=\"x>y\">l</a>", b"<\xe9>", b">", b"/>", b"]]>", b"-->", b"?>",
           b"\t", b"  ", b"<!DOCTYPE x>", b"<tv>", b"<Programme>", b"<programmes>",
           b"<channel-x>", b"<tvx>"]
ATTR_VALUES = [b"20240101060000 +0100", b"nl1", b"a>b", b"a<b", b"x/>", b"<programme>",
               b"</title>", b"it's", b"", b"--", b"\xe9t\xe9", b"]]>", b"?>", b"<!--"]
CHILDREN = [b"title", b"sub-title", b"desc", b"credits", b"date", b"category", b"keyword",
            b"language", b"length", b"icon", b"url", b"country", b"episode-num", b"video",
            b"audio", b"previously-shown", b"premiere", b"new", b"subtitles", b"rating",
            b"star-rating", b"review", b"image", b"titles", b"display-name", b"\xe9l\xe9ment",
            b"_x", b":y", b"a.b", b"tv", b"x-programme"]
NESTED = {b"credits": [b"actor", b"director", b"presenter"], b"video": [b"aspect", b"quality"],
          b"rating": [b"value", b"icon"], b"star-rating": [b"value"],
          b"audio": [b"stereo"], b"subtitles": [b"language"]}


class Unit:
    """One line of the usual layout: its indentation and its text; `group`
    numbers the programme or channel it belongs to (0: none)."""

    def __init__(self, indent, text, group=0):
        self.indent = indent
        self.text = text
        self.group = group


def word(rng):
    return rng.choice(WORDS)


def attribute(rng):
    name = rng.choice([b"start", b"stop", b"channel", b"lang", b"id", b"src", b"system",
                       b"clumpidx", b"x"])
    value = rng.choice(ATTR_VALUES) if rng.random() < 0.5 else word(rng)
    if rng.random() < 0.8:
        quote = b'"' if b'"' not in value else b"'"
    else:
        quote = b"'" if b"'" not in value else b'"'
    space = rng.choice([b" ", b" ", b" ", b"\t", b"  "])
    return space + name + b"=" + quote + value + quote


def start_tag(rng, name, attributes=None, empty=False):
    count = rng.choice([0, 0, 1, 1, 2, 3]) if attributes is None else attributes
    text = b"<" + name + b"".join(attribute(rng) for _ in range(count))
    if empty:
        text += rng.choice([b"/>", b" />", b"/>"])
    else:
        text += rng.choice([b">", b">", b">", b" >"])
    return text


def content(rng, allow_breaks):
    parts = []
    for _ in range(rng.choice([0, 1, 1, 2, 3, 5])):
        roll = rng.random()
        if roll < 0.55:
            parts.append(word(rng))
        elif roll < 0.9:
            parts.append(rng.choice(CONTENT))
        elif allow_breaks:
            parts.append(b"\n")
        else:
            parts.append(b" ")
    return rng.choice([b" ", b""]).join(parts)


def child_units(rng, group, hostile):
    name = rng.choice(CHILDREN)
    units = []
    if rng.random() < 0.12:
        units.append(Unit(4, start_tag(rng, name, empty=True), group))
        return units
    text = start_tag(rng, name)
    if name in NESTED and rng.random() < 0.6:
        inner = []
        for _ in range(rng.randint(1, 3)):
            sub = rng.choice(NESTED[name])
            if rng.random() < 0.2:
                inner.append(start_tag(rng, sub, empty=True))
            else:
                inner.append(start_tag(rng, sub) + content(rng, False) + b"</" + sub + b">")
        if rng.random() < 0.5:
            units.append(Unit(4, text, group))
            units.extend(Unit(6, piece, group) for piece in inner)
            units.append(Unit(4, b"</" + name + b">", group))
            return units
        text += b"".join(inner)
    else:
        text += content(rng, rng.random() < 0.3)
    if hostile and rng.random() < 0.08:
        return [Unit(4, text, group)]  # left unclosed
    end = b"</" + name + rng.choice([b">", b">", b">", b" >"])
    units.append(Unit(4, text + end, group))
    return units


def misc_markup(rng):
    return rng.choice([
        b"<!-- " + word(rng) + b" -->", b"<!---->", b"<!-- <programme> </tv> -->",
        b"<?pi " + word(rng) + b"?>", b"<?xml-stylesheet href=\"a>b\"?>", b"<!x>",
        b"<!-- a\n  b -->", b"<?pi\n?>", b"<!DOCTYPE tv>",
    ])


def hostile_piece(rng):
    return rng.choice([
        b"<!-- unclosed ", b"<x a=\"unclosed>", b"<programme a='1", b"</title>", b"</tv>",
        b"<![CDATA[unclosed", b"<?unclosed", b"<!DOCTYPE [", b"</", b"<", b"<!", b"<!-",
        b"</programme", b"<programme/>", b"<channel id=\"c\"/>", b"</channel>", b"<tv/>",
        b"<tv>", b"]", b"\"", b"'",
    ])


def programme_units(rng, group, hostile, name):
    units = []
    attributes = rng.choice([1, 2, 3, 3, 4]) if name == b"programme" else 1
    if rng.random() < 0.05:
        return [Unit(2, start_tag(rng, name, attributes, empty=True), group)]
    units.append(Unit(2, start_tag(rng, name, attributes), group))
    for _ in range(rng.choice([0, 1, 2, 3, 4, 6])):
        roll = rng.random()
        if roll < 0.85:
            units.extend(child_units(rng, group, hostile))
        elif roll < 0.95:
            units.append(Unit(4, misc_markup(rng), group))
        elif hostile:
            units.append(Unit(4, hostile_piece(rng), group))
        else:
            units.append(Unit(4, word(rng), group))
    if not (hostile and rng.random() < 0.1):
        units.append(Unit(2, b"</" + name + b">", group))
    return units


def prolog_units(rng, hostile):
    units = []
    if rng.random() < 0.85:
        encoding = rng.choice([b"", b" encoding=\"UTF-8\"", b" encoding='ISO-8859-1'"])
        units.append(Unit(0, b"<?xml version=\"1.0\"" + encoding + b"?>"))
    for _ in range(rng.choice([0, 0, 0, 1, 2])):
        units.append(Unit(0, rng.choice([
            b"Nieuws<br>weer", b"text < more", b"<!-- before -->", b"<?pi x?>", b"<b>bold</b>",
            b"</programme>", b"<![CDATA[<tv>]]>", b"&amp;", b"<title>x</title>"])))
    roll = rng.random()
    if roll < 0.5:
        units.append(Unit(0, b"<!DOCTYPE tv SYSTEM \"xmltv.dtd\">"))
    elif roll < 0.65:
        subset = rng.choice([
            b"<!ENTITY a \"x>]<tv>\">", b"<!ELEMENT tv (channel*, programme*)>",
            b"<!ENTITY b 'it''>", b"<!-- subset comment -->",
            b"<!ATTLIST tv date CDATA #IMPLIED>"])
        units.append(Unit(0, b"<!DOCTYPE tv [" + rng.choice([b"", b"\n", b" "]) + subset
                          + rng.choice([b"", b"\n", b" "]) + b"]>"))
    elif roll < 0.7:
        units.append(Unit(0, b"<!DOCTYPE tv PUBLIC \"a>b\" 'c]d'>"))
    if hostile and rng.random() < 0.2:
        units.append(Unit(0, hostile_piece(rng)))
    return units


def listing_units(rng, hostile, items=None):
    units = prolog_units(rng, hostile)
    units.append(Unit(0, start_tag(rng, b"tv", rng.choice([0, 1, 2]))))
    group = 0
    for _ in range(rng.choice([0, 1, 2, 3, 5, 8]) if items is None else items):
        roll = rng.random()
        if roll < 0.25:
            group += 1
            units.extend(programme_units(rng, group, hostile, b"channel"))
        elif roll < 0.85:
            group += 1
            units.extend(programme_units(rng, group, hostile, b"programme"))
        elif roll < 0.93:
            units.append(Unit(2, misc_markup(rng)))
        elif roll < 0.97:
            units.append(Unit(2, rng.choice([b"<foo>x</foo>", b"<bar a=\">\"/>", b"stray text",
                                             b"<foo><!-- in foo --></foo>"])))
        elif hostile:
            units.append(Unit(2, hostile_piece(rng)))
    if rng.random() < 0.9:
        units.append(Unit(0, b"</tv>"))
    if rng.random() < 0.1:
        units.append(Unit(0, rng.choice([b"<!-- after -->", b"trailing text<br>",
                                         b"<programme><title>t</title></programme>"])))
    return units


def blank(rng):
    return rng.choice([b"", b" ", b"  ", b"\t", b" \t ", b"   "])


def layout(rng, units, shape):
    if shape == "usual":
        return b"\n".join(b" " * unit.indent + unit.text for unit in units)
    if shape == "odd-indent":
        return b"\n".join(rng.choice([b" " * unit.indent, b" " * rng.randint(0, 20), b"\t" * 2,
                                      b" \t"]) + unit.text + blank(rng) for unit in units)
    if shape == "programme-a-line":
        lines = []
        for index, unit in enumerate(units):
            joined = unit.group and index and units[index - 1].group == unit.group
            if joined:
                lines[-1] += rng.choice([b"", b"", b"", b" "]) + unit.text
            else:
                lines.append(b" " * unit.indent + unit.text)
        return b"\n".join(lines)
    if shape == "one-line":
        body = b"".join(unit.text.replace(b"\n", b" ") for unit in units[1:])
        if units and units[0].text.startswith(b"<?xml") and rng.random() < 0.5:
            return units[0].text + b"\n" + body
        return units[0].text + body if units else body
    if shape == "running":
        out = b""
        for unit in units:
            roll = rng.random()
            if roll < 0.5:
                out += unit.text
            elif roll < 0.7:
                out += blank(rng) + unit.text
            elif roll < 0.9:
                out += b"\n" + b" " * unit.indent + unit.text
            else:
                out += blank(rng) + b"\n" + blank(rng) + unit.text
        return out
    if shape == "broken":
        text = layout(rng, units, rng.choice(["usual", "one-line", "running"]))
        pieces = bytearray()
        for byte in text:
            pieces.append(byte)
            if rng.random() < 0.03:
                pieces += rng.choice([b"\n", b"\n  ", b"\n\t", b"\r", b"\r\n"])
        return bytes(pieces)
    raise ValueError(shape)


SOUP = [b"<", b">", b"/", b"/>", b"</", b"<!--", b"-->", b"-", b"<![CDATA[", b"]]>", b"]",
        b"[", b"<?", b"?>", b"?", b"<!", b"<!DOCTYPE tv", b'"', b"'", b"=", b" ", b"\t",
        b"\n", b"\r\n", b"\r", b"programme", b"channel", b"tv", b"title", b"titles", b"desc",
        b"x", b"\xe9", b"\xef\xbb\xbf", b"!", b"<programme>", b"</programme>", b"<tv>",
        b"</tv>", b"<title>", b"</title>", b"<desc>", b"</desc>", b"<channel id='c'>",
        b"</channel>", b"<new/>", b"<programme/>", b"<tv/>", b" a=\"", b"<br>", b"3", b"_",
        b":"]


def soup(rng):
    return b"".join(rng.choice(SOUP) for _ in range(rng.randint(0, 60)))


SHAPES = ["usual", "odd-indent", "programme-a-line", "one-line", "running", "broken"]


def random_listing(rng):
    """A random listing and the name of its shape."""
    if rng.random() < 0.12:
        data, shape = soup(rng), "soup"
    elif rng.random() < 0.008:
        # Lines longer than the reader's blocks of 256 KiB.
        hostile = rng.random() < 0.3
        shape = rng.choice(["one-line", "one-line", "one-line", "running"])
        data = layout(rng, listing_units(rng, hostile, rng.randint(1500, 6000)), shape)
        shape = "large-" + shape + ("+hostile" if hostile else "")
    else:
        hostile = rng.random() < 0.4
        shape = rng.choice(SHAPES)
        data = layout(rng, listing_units(rng, hostile), shape)
        if hostile:
            shape += "+hostile"
    # Line ends, the end of the input, a byte-order mark, Ctrl-Z.
    roll = rng.random()
    if roll < 0.2:
        data = data.replace(b"\n", b"\r\n")
        shape += "+crlf"
    elif roll < 0.3:
        data = b"".join(line + rng.choice([b"\n", b"\r\n", b"\r\n", b"\r", b"\r\r\n"])
                        for line in data.split(b"\n"))
        shape += "+mixed-ends"
    if rng.random() < 0.6:
        data += rng.choice([b"\n", b"\r\n", b"\n\n"])
    if rng.random() < 0.1:
        data = model.BOM + data
        shape += "+bom"
    if rng.random() < 0.04:
        at = rng.randint(0, len(data))
        data = data[:at] + b"\x1a" + data[at:]
        shape += "+ctrl-z"
    return data, shape


# -- running and comparing -------------------------------------------------------

def run_tool(tool, path, timeout):
    try:
        done = subprocess.run([tool, path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, "timed out"
    return done.stdout, (None if done.returncode == 0 else
                         f"exit {done.returncode}: {done.stderr[:300]!r}")


class Checker:
    def __init__(self, tool, keep, timeout):
        self.tool = tool
        self.keep = keep
        self.timeout = timeout
        self.scratch = tempfile.mkdtemp(prefix="element-lines-")
        self.runs = 0

    def tool_output(self, data):
        path = os.path.join(self.scratch, "listing.xml")
        with open(path, "wb") as handle:
            handle.write(data)
        self.runs += 1
        return run_tool(self.tool, path, self.timeout)

    def differs(self, data):
        """None when the tool agrees with the model, else a description."""
        want = model.render(model.element_lines(data))
        got, failure = self.tool_output(data)
        if failure:
            return failure, want, got or b""
        if got == want:
            return None
        return first_difference(want, got), want, got


def first_difference(want, got):
    want_lines = want.split(b"\n")
    got_lines = got.split(b"\n")
    for index in range(max(len(want_lines), len(got_lines))):
        a = want_lines[index] if index < len(want_lines) else None
        b = got_lines[index] if index < len(got_lines) else None
        if a != b:
            if index == len(want_lines) - 1 and a == b"":
                a = "(end)"
            if index == len(got_lines) - 1 and b == b"":
                b = "(end)"
            return f"element line {index + 1}: model {a!r}, tool {b!r}"
    return "no line differs (?)"


def shrink(checker, data, budget):
    """Cuts pieces out of `data` while the tool still differs from the model."""
    best = data
    chunk = max(1, len(best) // 2)
    while chunk >= 1 and checker.runs < budget:
        start = 0
        cut_any = False
        while start < len(best) and checker.runs < budget:
            candidate = best[:start] + best[start + chunk:]
            if candidate and checker.differs(candidate) is not None:
                best = candidate
                cut_any = True
            else:
                start += chunk
        if not cut_any:
            chunk //= 2
    return best


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tool")
    parser.add_argument("files", nargs="*")
    parser.add_argument("--random", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--keep", default=os.path.join(tempfile.gettempdir(),
                                                      "element-line-differences"))
    parser.add_argument("--shrink", type=int, default=0, metavar="K")
    parser.add_argument("--show", type=int, default=40, metavar="K")
    parser.add_argument("--timeout", type=float, default=20)
    parser.add_argument("--tv-in-programme", choices=["content", "child", "child-0"],
                        default="content",
                        help="the model's reading of a tv start tag directly inside a "
                             "programme or channel")
    args = parser.parse_intermixed_args(argv[1:])
    model.TV_START_IN_PROGRAMME = args.tv_in_programme

    inputs = []
    for index, (text, _) in enumerate(model.CASES):
        inputs.append((f"case-{index:03d}", "model case", model.L(text)))
    for path in args.files:
        with open(path, "rb") as handle:
            inputs.append((os.path.basename(path), "file", handle.read()))
    rng = random.Random(args.seed)
    for index in range(args.random):
        data, shape = random_listing(rng)
        inputs.append((f"random-{args.seed}-{index:05d}", shape, data))

    checker = Checker(args.tool, args.keep, args.timeout)
    differing = []
    by_shape = {}
    for name, shape, data in inputs:
        result = checker.differs(data)
        key = shape.split("+")[0]
        total, bad = by_shape.get(key, (0, 0))
        by_shape[key] = (total + 1, bad + (result is not None))
        if result is None:
            continue
        description, want, got = result
        differing.append(name)
        os.makedirs(args.keep, exist_ok=True)
        base = os.path.join(args.keep, name)
        for suffix, content_bytes in ((".xml", data), (".model", want), (".tool", got)):
            with open(base + suffix, "wb") as handle:
                handle.write(content_bytes)
        if len(differing) <= args.show:
            print(f"{name} ({shape}, {len(data)} bytes): {description}")
        if len(differing) <= args.shrink:
            small = shrink(checker, data, checker.runs + 400)
            with open(base + ".min.xml", "wb") as handle:
                handle.write(small)
            again = checker.differs(small)
            print(f"    shrunk to {small!r}")
            if again is not None:
                print(f"    {again[0]}")

    for shape, (total, bad) in sorted(by_shape.items()):
        print(f"  {shape:18s} {total:6d} listings, {bad:5d} differ")
    print(f"{len(inputs)} listings, {len(differing)} differ"
          + (f"; kept in {args.keep}" if differing else ""))
    print(f"{len(inputs) - len(differing)} passed, {len(differing)} failed")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
