#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora from the cases of the unit tests and the
test listings: every string literal of a test file becomes one seed, behind
the settings bytes its target reads first. Run from the repository's root;
the seeds are kept in fuzz/corpus/."""
import hashlib
import pathlib
import re

LITERAL = re.compile(rb'"((?:[^"\\\n]|\\.)*)"')
ESCAPES = {b'n': b'\n', b'r': b'\r', b't': b'\t', b'\\': b'\\', b'"': b'"', b"'": b"'",
           b'?': b'?', b'a': b'\a', b'b': b'\b', b'f': b'\f', b'v': b'\v'}


def decode(body):
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i:i + 1]
        if c != b'\\':
            out += c
            i += 1
            continue
        nxt = body[i + 1:i + 2]
        if nxt == b'x':
            j = i + 2
            while j < len(body) and body[j:j + 1] in b'0123456789abcdefABCDEF':
                j += 1
            out.append(int(body[i + 2:j], 16) & 0xFF)
            i = j
        elif nxt.isdigit():
            j = i + 1
            while j < len(body) and j < i + 4 and body[j:j + 1] in b'01234567':
                j += 1
            out.append(int(body[i + 1:j], 8) & 0xFF)
            i = j
        else:
            out += ESCAPES.get(nxt, nxt)
            i += 2
    return bytes(out)


def literals(path):
    return [decode(m.group(1)) for m in LITERAL.finditer(pathlib.Path(path).read_bytes())]


def write(target, seeds):
    directory = pathlib.Path('fuzz/corpus') / target
    directory.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        (directory / hashlib.sha1(seed).hexdigest()).write_bytes(seed)


def compact_listings():
    """The example listing as compact producers write it, on one line and one
    programme a line, and a first line that holds tv and a programme."""
    one_line = b''.join(line.strip() for line in
                        pathlib.Path('examples/listing.xml').read_bytes().split(b'\n'))
    return [one_line, re.sub(rb'(<programme |<channel |</tv>)', rb'\n\1', one_line),
            b'<?xml version="1.0"?><tv><programme start="20070715213000 CET" channel="a">'
            b'<title>TALPA</title><desc>x<br>y</desc><kenmerken>k</kenmerken></programme></tv>']


def main():
    write('integer_reader', literals('src/base/byte_string_test.cc'))
    write('command_line', literals('src/run/command_line_test.cc') +
          [b'\0'.join(w.split(b' ')) for w in literals('src/run/command_line_test.cc')])
    stamps = literals('src/time/timestamp_test.cc')
    # Settings bytes: the cet switch, then the offset's choice.
    write('timestamp', [b'\x00\x00' + s for s in stamps] + [b'\x01\x00' + s for s in stamps] +
          [b'\x01\x04' + s for s in stamps[:20]] + [b'\x01\x0a' + s for s in stamps[:20]])
    lines = literals('src/filter/line_cleaning_test.cc')
    # Settings byte: the encoding, Latin-1, UTF-8 or another.
    write('line_cleaning', [bytes([i % 3]) + line for i, line in enumerate(lines)])
    listings = [p.read_bytes() for pattern in ('tests/data/filter/*.xml', 'tests/data/filepass/*.in',
                                               'examples/*.xml')
                for p in sorted(pathlib.Path('.').glob(pattern))]
    assembly = literals('src/filter/programme_filter_test.cc')
    listings.append(b'\n'.join(assembly))
    # Settings bytes: the switches (cet, kenmerk, talpa, tba, encoding), the
    # offset's choice, the read block.
    write('filter', [bytes([switches, 0, block]) + listing for listing in listings
                     for switches, block in ((0x0F, 255), (0x13, 7), (0x00, 255))])
    # Compact listings, and the splitter's cases, most of them on one line.
    write('filter', [bytes([switches, 0, block]) + listing for listing in compact_listings()
                     for switches, block in ((0x0F, 255), (0x13, 7))] +
          [b'\x0f\x00\xff' + case for case in literals('src/filter/element_lines_test.cc')
           if case.startswith(b'<tv><programme')])
    # Settings bytes: the read block, then the shift of what follows the first
    # line towards the end of the bytes that decide the encoding.
    # The first lines of the unit tests are followed by a UTF-8 character.
    files = [p.read_bytes() for p in sorted(pathlib.Path('.').glob('tests/data/filepass/*.in'))]
    lines = [line + b'\n<x>\xC3\xA9 &#233;</x>\n' for line in literals('src/filter/first_line_test.cc')
             if b'<' in line]
    write('first_line', [bytes([block, shift]) + listing for listing in files
                         for block, shift in ((255, 0), (3, 0), (255, 129), (5, 128))] +
          [bytes([block, shift]) + listing for listing in lines
           for block, shift in ((255, 0), (7, 130))] +
          [bytes([block, 0]) + listing for listing in compact_listings() for block in (255, 3)])
    # Through a destination: the mode byte, the plan of what fails (the
    # destination there, the working file's fate, the temporary file, the
    # rename, the final write, the working or temporary file's writes) and
    # the offsets where writes fail, then lines.
    text = b'<tv>\n' + b'\n'.join(b'  <channel id="c%d"/>' % i for i in range(300)) + b'\n</tv>\n'
    plans = (0x01, 0x03, 0x05, 0x04, 0x02, 0x0B, 0x11, 0x23, 0x31, 0x41, 0x43)
    write('line_writer', [b'\x08' + bytes([plan, 0, 0, 0]) + b'\x00\x30\x00\x00' + text
                          for plan in plans])


if __name__ == '__main__':
    main()
