#!/usr/bin/env python3
"""Runs two builds of zelvane on the same listings and compares, for every
listing and switch set, the output bytes, the exit status and what was
printed on standard output and standard error. It is how a change that must
not alter behaviour is checked: the corpus of real listings, generated and
hostile listings, and random listings that mix every shape the filter knows.

    bench/compare_binaries.py OLD NEW [--random N] [--seed S] [--corpus DIR]
                              [--generator PATH] [--megabytes M] [--switches SET]...
                              [--layouts]

Each SET is one string of switches ("--cet --kenmerk"); the default sets
cover every switch. With --layouts every listing (corpus, generated and
random) is also run in two compact layouts made from it by joining lines:
each channel and programme on one line, and everything after the first line
on one line. Prints one line per difference and a summary; exits 1 when
anything differs.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

DEFAULT_SWITCHES = [
    "",
    "--cet",
    "--cet -6 --kenmerk",
    "--cet --kenmerk --tba --talpa",
    "--kenmerk --tba --talpa",
    "--cet +1 --tba",
]

# Pieces of text that the filter treats specially, mixed into random lines.
SPECIAL = [
    "<br>", "<BR />", "<br/>", "<p>", "</p>", "<P>", "</P>", "&lt;br&gt;", "&LT;BR&GT;",
    "&amp;", "&", " & ", "&&", "&#233;", "&#xE9;", "&#x41;", "&#65;", "&#150;", "&#127;",
    "&#159;", "&#160;", "&#8217;", "&#x1F600;", "&#0;", "&#;", "&#x;", "&#99999999999;",
    "&quot;", "&apos;", "&gt;", "&unknown;", "&#233", "\\&", "]&", "<b>", "<p class=x>",
    "\xe9", "\xc3\xa9", "\xe2\x80\x99", "\xff", "\x96", "\t", "  ",
]
WORDS = ["het", "nieuws", "film", "To Be Announced", "to be announced", "TALPA", "talpa",
         "Talpa", "weer", "sport", "caf\xe9", "Schöne Grüße", "x", ""]
ZONES = ["", "", "", " CET", " CET", " UTC", " +0200", "+0200", " -0500", "-0330", " cet",
         "  CET "]


def random_stamp(rng):
    year = rng.choice([1996, 2007, 2023, 2024, 2037, 2099, rng.randint(1996, 2099)])
    month = rng.choice([3, 10, rng.randint(1, 12)])
    day = rng.choice([rng.randint(24, 28), rng.randint(1, 28), 31 if month in (3, 10) else 28])
    hour = rng.choice([1, 2, 3, rng.randint(0, 23)])
    stamp = f"{year:04d}{month:02d}{day:02d}{hour:02d}{rng.randint(0, 59):02d}{rng.randint(0, 59):02d}"
    shape = rng.random()
    if shape < 0.003:
        stamp = stamp[:rng.choice([4, 6, 8, 10, 12])]
    elif shape < 0.0035:
        stamp = stamp[:8] + "25" + stamp[10:]  # no such hour: ends the run
    return stamp + rng.choice(ZONES)


def random_text(rng):
    parts = []
    for _ in range(rng.randint(0, 6)):
        parts.append(rng.choice(SPECIAL) if rng.random() < 0.35 else rng.choice(WORDS))
    return " ".join(parts)


def random_programme(rng, lines):
    indent = rng.choice(["  ", "  ", "", "\t", "          "])
    attributes = f'start="{random_stamp(rng)}"'
    if rng.random() < 0.9:
        attributes += f' stop="{random_stamp(rng)}"'
    lines.append(f'{indent}<programme {attributes} channel="ned{rng.randint(1, 3)}">')
    inner = indent + "  "
    for _ in range(rng.randint(0, 8)):
        kind = rng.random()
        if kind < 0.25:
            lines.append(f'{inner}<title lang="nl">{random_text(rng)}</title>')
        elif kind < 0.35:
            lines.append(f'{inner}<sub-title>{random_text(rng)}</sub-title>')
        elif kind < 0.55:
            lines.append(f'{inner}<desc lang="nl">{random_text(rng)}</desc>')
        elif kind < 0.7:
            lines.append(f'{inner}<kenmerken>{random_text(rng)}</kenmerken>')
        elif kind < 0.8:
            lines.append(f'{inner}<category>{random_text(rng)}</category>')
        else:
            lines.append(inner + random_text(rng))
    if rng.random() < 0.9:
        lines.append(indent + rng.choice(["</programme>", "</programme>", "</PROGRAMME>",
                                           "</programme> x"]))


def random_listing(rng):
    first = rng.choice([
        '<?xml version="1.0" encoding="ISO-8859-1"?>', '<?xml version="1.0" encoding="UTF-8"?>',
        '<?xml version="1.0"?>', "\ufeff<?xml version='1.0'?>", "<tv>", "",
        '<?xml version="1.0" encoding = "windows-1252"?>',
    ])
    lines = [first, '<tv generator-info-name="x">']
    for _ in range(rng.randint(0, 40)):
        kind = rng.random()
        if kind < 0.7:
            random_programme(rng, lines)
        elif kind < 0.8:
            lines.append(f'  <channel id="ned{rng.randint(1, 3)}">')
        else:
            lines.append(random_text(rng))
    if rng.random() < 0.9:
        lines.append("</tv>")
    encoding = rng.choice(["latin-1", "utf-8", "utf-8"])
    ends = rng.choice(["\n", "\r\n", "\n", "\r\n", "mixed"])
    data = bytearray()
    for line in lines:
        data += line.encode(encoding, errors="replace")
        end = ends if ends != "mixed" else rng.choices(["\n", "\r\n", "\r", "\x1a\n"], [48, 48, 2, 2])[0]
        data += end.encode()
    if encoding == "utf-8" and data and rng.random() < 0.2:
        data.insert(rng.randint(0, len(data)), 0xFF)  # one byte that is no UTF-8
    if rng.random() < 0.1:
        del data[rng.randint(0, len(data)):]
    return bytes(data)


def split_line(line):
    """A line (with its line end) as its indentation, its content and its end."""
    end = len(line)
    if line.endswith(b"\n"):
        end -= 2 if line.endswith(b"\r\n") else 1
    content = line[:end].lstrip(b" \t")
    return line[:end - len(content)], content, line[end:]


def compact_layouts(data):
    """`data` with each channel and programme on one line, and with everything
    after its first line on one line. Lines are joined without their line ends
    and without the indentation of the lines joined on; a channel or programme
    runs from its start tag's line to the line of its end tag, or up to the
    next one's start or the end of tv when it has none."""
    # Only LF ends a line here: a lone CR, which random listings hold now and
    # then, stays inside the line it stands in.
    lines = [split_line(line) for line in re.findall(rb"[^\n]*\n|[^\n]+$", data)]
    if not lines:
        return data, data
    per_programme = bytearray()
    open_element = False
    for indent, content, end in lines:
        folded = content.lower()
        starts = folded.startswith((b"<programme", b"<channel"))
        if open_element and (starts or folded.startswith(b"</tv")):
            per_programme += b"\n"
            open_element = False
        if open_element:
            per_programme += content
        else:
            per_programme += indent + content
        open_element = open_element or starts
        if open_element and folded.startswith((b"</programme", b"</channel")):
            open_element = False
        if not open_element:
            per_programme += end
    if open_element:
        per_programme += lines[-1][2]
    indent, content, end = lines[0]
    one_line = indent + content + end + b"".join(content for _, content, _ in lines[1:])
    return bytes(per_programme), one_line


def run(binary, source, switches, work):
    output = os.path.join(work, "out.xml")
    if os.path.exists(output):
        os.remove(output)
    command = [binary, source, "--output", output] + switches.split()
    result = subprocess.run(command, cwd=work, capture_output=True, timeout=600)
    try:
        with open(output, "rb") as f:
            written = f.read()
    except FileNotFoundError:
        written = None
    # The program names itself in its failure report: both builds are run
    # under one name, so the report compares as it stands.
    return (result.returncode, result.stdout, result.stderr, written)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--random", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--corpus", default=os.path.join(os.path.dirname(__file__), "..", "..",
                                                         "shared", "corpus", "xmltv"))
    parser.add_argument("--generator", help="bench/generate_listing, for generated and hostile listings")
    parser.add_argument("--megabytes", type=int, default=5)
    parser.add_argument("--switches", action="append")
    parser.add_argument("--layouts", action="store_true",
                        help="also run every listing one programme a line and on one line")
    arguments = parser.parse_args()
    switch_sets = arguments.switches or DEFAULT_SWITCHES

    work = tempfile.mkdtemp(prefix="zelvane-compare-")
    try:
        # Both builds run under the program's own name from one folder each.
        binaries = []
        for label, path in (("old", arguments.old), ("new", arguments.new)):
            folder = os.path.join(work, label)
            os.mkdir(folder)
            shutil.copy(path, os.path.join(folder, "zelvane"))
            binaries.append(os.path.join(folder, "zelvane"))
        listings = []
        if os.path.isdir(arguments.corpus):
            for name in sorted(os.listdir(arguments.corpus)):
                listings.append(("corpus/" + name, os.path.join(arguments.corpus, name)))
        if arguments.generator:
            for kind in ["realistic", "br", "amp", "ref", "ltbr", "further"]:
                for encoding in ["latin1", "utf8"] if kind == "realistic" else ["latin1"]:
                    path = os.path.join(work, f"generated-{kind}-{encoding}.xml")
                    subprocess.run([arguments.generator, str(arguments.megabytes), path, "1",
                                    encoding, kind], check=True)
                    listings.append((f"generated/{kind}-{encoding}", path))
        rng = random.Random(arguments.seed)
        for index in range(arguments.random):
            path = os.path.join(work, f"random-{index}.xml")
            with open(path, "wb") as f:
                f.write(random_listing(rng))
            listings.append((f"random/{index}", path))
        if arguments.layouts:
            for label, path in list(listings):
                with open(path, "rb") as f:
                    compact = compact_layouts(f.read())
                for layout, data in zip(("programme", "line"), compact):
                    compact_path = os.path.join(work, f"layout-{len(listings)}.xml")
                    with open(compact_path, "wb") as f:
                        f.write(data)
                    listings.append((f"{label}@{layout}", compact_path))

        runs = differences = failures = 0
        for label, path in listings:
            for switches in switch_sets:
                run_folder = os.path.join(work, "run")
                os.makedirs(run_folder, exist_ok=True)
                old = run(binaries[0], path, switches, run_folder)
                new = run(binaries[1], path, switches, run_folder)
                runs += 1
                failures += old[0] != 0
                if old != new:
                    differences += 1
                    what = [name for name, a, b in zip(("status", "stdout", "stderr", "output"),
                                                       old, new) if a != b]
                    print(f"DIFFERS {label} [{switches}]: {', '.join(what)}")
        print(f"{len(listings)} listings, {len(switch_sets)} switch sets, {runs} runs "
              f"({failures} ending in a failure report), {differences} differences")
        return 1 if differences else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
