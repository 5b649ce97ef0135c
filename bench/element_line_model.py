#!/usr/bin/env python3
"""A reference model, in plain Python, of how the bytes of a listing become
element lines: the lines that the first-line rules and the programme filter
see. It is written from the rules alone, for differential testing of the
splitter in the program, and is kept literal and slow on purpose.

    bench/element_line_model.py FILE        prints FILE's element lines, each
                                            followed by one LF
    bench/element_line_model.py --self-test runs the built-in cases

Import it and call element_lines(data) for the list of element lines (bytes,
without line ends).

THE RULES, AS READ HERE
-----------------------
The line reader (as the program's reader does):
  R1. LF ends a line, and so does CR LF. A CR not followed by LF is dropped:
      no line ever holds a CR.
  R2. A Ctrl-Z (byte 26) ends the line; the rest of its physical line is
      skipped up to and including the next LF. A further Ctrl-Z met while
      skipping is not skipped: it stands at the start of the next line.
  R3. A Ctrl-Z as the first byte of a line (before any CR dropping: the raw
      byte) ends the input, and so does the end of the bytes. The last line
      may lack a line end. An empty input, or one that starts with Ctrl-Z,
      has no lines; an input of a lone CR has one empty line.

Cutting each delivered line ("physical line") into element lines:
  S1. A split point is the "<" of markup at a structural place, and only
      when the element line so far holds more than white space (space, tab,
      CR; on the input's first line a leading byte-order mark EF BB BF also
      counts). At a split the element line so far ends, its trailing white
      space dropped, and the next one starts with the indentation and the
      markup. The last element line of a physical line keeps its trailing
      white space; an empty physical line is one empty element line.
  S2. Structural places:
      - programme/channel start or end tag, tv end tag: anywhere (also in a
        child's content, which they end); indentation 2, 2 and 0;
      - tv start tag: outside tv only; indentation 0;
      - any other start tag: directly inside an open programme or channel;
        indentation 4;
      - comment, processing instruction, declaration: outside tv (0),
        directly inside tv (2), directly inside programme/channel (4).
  S3. State: tv start tag enters tv; programme/channel start tag enters it,
      finishing whatever was open; another start tag directly inside a
      programme or channel enters that child; programme/channel end tag
      returns to tv; tv end tag returns to outside; a child ends at the
      first end tag of its own exact name; an empty-element tag enters
      nothing; "<" followed by anything but a name-start byte (ASCII letter,
      "_", ":", any byte >= 0x80), "/", "!" or "?" is text.

CHOICES MADE WHERE THE RULES ARE SILENT (each with the rule it reads)
  C1. Names. "a < followed by ... a name's first character": a name is the
      run of name bytes after "<" or "</": ASCII letters, digits, "_", ":",
      "-", ".", and any byte >= 0x80. It ends at the first other byte or at
      the end of the physical line. So "<programmes>" and "<programme-x>"
      are not programme tags, "<programme/>" and "<programme\t" are.
  C2. Markup kinds are decided from the bytes on the same physical line:
      "<!--" opens a comment, "<![CDATA[" a CDATA section, any other "<!" a
      declaration, "<?" a processing instruction, "</" an end tag (even with
      an empty name, as "</>" or "</" at the end of a line: a tag that
      matches nothing), "<" + name-start byte a start tag. A "<" as the last
      byte of a physical line is text (it is followed by the line end).
  C3. "anything inside a tag (quoted attribute values skipped)": every tag,
      start or end, structural or content, is scanned to its closing ">",
      and inside it a '"' or "'" opens a quoted value up to the same quote
      byte, wherever it stands (no "=" needed before it). A tag, a quote, a
      comment, a CDATA section, a PI and a declaration go on across physical
      lines until they are closed.
  C4. "an empty-element tag (.../>) enters nothing": a tag is empty-element
      when the byte just before its closing ">" is "/", outside quotes and
      on the same physical line. It has the effect of a start tag directly
      followed by its end tag: "<programme .../>" and "<channel .../>" still
      finish whatever was open and leave the state directly inside tv (as
      "<programme ...></programme>" would, also outside tv); "<tv/>"
      changes nothing; an empty child enters nothing.
  C5. State changes take effect at the tag's closing ">" (the empty-element
      mark is only known there); the split and its indentation are decided
      at the "<" from the state before the tag. An unclosed tag changes
      nothing.
  C6. "a tv start tag: outside tv" and "any other start tag": "other" is
      other than programme, channel and tv. A tv start tag anywhere but
      outside tv is neither a split point nor a state change (inside a
      programme it is not a child; in tv it is content). Two other readings
      are available as TV_START_IN_PROGRAMME: a child like any other, or a
      child indented 0 as tv start tags are.
  C7. "a programme or channel end tag returns to tv", "a tv end tag to
      outside": taken literally, from any state, including outside tv and
      from a programme closed by the other word ("</channel>" ends an open
      programme). A tv end tag inside a child is a split point (indentation
      0), ends the child and its programme, and leaves tv.
  C8. End tags other than programme, channel and tv are never split points,
      also directly inside a programme or channel (a stray "</title>" there
      is content), and never change the state except the open child's own.
  C9. A CDATA section is not among the structural places (it is neither a
      start tag nor a comment, PI or declaration), so "<![CDATA[" is never a
      split point, also directly inside a programme; it hides what it holds.
  C10. Elements directly inside tv other than programme and channel, and any
      markup outside tv other than the tv start tag, comments, PIs and
      declarations, are content and are not tracked: after "<foo>" directly
      inside tv a comment is still taken as directly inside tv. Markup in a
      child's content is not tracked either: a child has no depth, so
      "<desc><desc>a</desc>" ends the child at the first "</desc>".
  C11. Comments end at "-->" whose dashes come after the "<!--" ("<!-->"
      and "<!--->" do not end); CDATA ends at "]]>"; a PI ends at "?>"
      whose "?" comes after the "<?" ("<?>" does not end). The bytes of each
      closing sequence must stand together on one physical line.
  C12. A declaration ends at the first ">" outside quotes and outside its
      "[...]" subset. Inside it (subset included) '"' and "'" open quoted
      literals, "[" outside quotes enters the subset and "]" outside quotes
      leaves it (no nesting count). Comments and PIs inside the subset are
      not recognised as such: a quote inside them still opens a literal.
  C13. The byte-order mark counts as white space only as the first three
      bytes of the input's first physical line (so only in its first element
      line); anywhere else it is text. Trailing white space dropped at a
      split is space, tab and CR, not a byte-order mark.
  C14. A CR never reaches the splitter (R1), so CR as white space never
      matters here.
"""

import sys

# What a tv start tag directly inside a programme or channel is (C6):
# "content" (this model's reading), "child" (a child like any other), or
# "child-0" (a child, but with the tv start tag's indentation 0). The other
# two are there for comparing with implementations that read the rule so.
TV_START_IN_PROGRAMME = "content"

LF = 0x0A
CR = 0x0D
CTRL_Z = 0x1A
BOM = b"\xef\xbb\xbf"
WHITE = b" \t\r"

# Levels of the structure the splitter tracks.
OUTSIDE = "outside"      # outside tv
IN_TV = "tv"             # directly inside tv
IN_ELEMENT = "element"   # directly inside an open programme or channel
IN_CHILD = "child"       # inside a child of a programme or channel

# What the bytes at the current position belong to.
TEXT = "text"
TAG = "tag"
COMMENT = "comment"
CDATA = "cdata"
PI = "pi"
DECLARATION = "declaration"


def read_lines(data):
    """The physical lines that the program's line reader delivers."""
    lines = []
    pos = 0
    size = len(data)
    while pos < size and data[pos] != CTRL_Z:
        line = bytearray()
        while pos < size and data[pos] != LF and data[pos] != CTRL_Z:
            if data[pos] != CR:
                line.append(data[pos])
            pos += 1
        if pos < size and data[pos] == LF:
            pos += 1
        elif pos < size and data[pos] == CTRL_Z:
            pos += 1
            while pos < size and data[pos] != LF and data[pos] != CTRL_Z:
                pos += 1
            if pos < size and data[pos] == LF:
                pos += 1
        lines.append(bytes(line))
    return lines


def is_name_start(byte):
    return (0x41 <= byte <= 0x5A or 0x61 <= byte <= 0x7A or byte == 0x5F or byte == 0x3A
            or byte >= 0x80)


def is_name_byte(byte):
    return is_name_start(byte) or 0x30 <= byte <= 0x39 or byte == 0x2D or byte == 0x2E


def name_at(line, pos):
    end = pos
    while end < len(line) and is_name_byte(line[end]):
        end += 1
    return line[pos:end]


class Splitter:
    """Cuts physical lines into element lines; the state carries from one
    physical line to the next."""

    def __init__(self):
        self.level = OUTSIDE
        self.element = b""      # name of the open programme or channel
        self.child = b""        # name of the open child
        self.mode = TEXT
        self.quote = None       # open quote byte inside a tag or declaration
        self.in_subset = False  # inside a declaration's [...] subset
        self.tag_is_end = False
        self.tag_name = b""
        self.first_line = True

    # -- the structure ---------------------------------------------------

    def split_place(self, kind, name):
        """The indentation when markup of `kind` (and `name`) at the
        current state is at a structural place, else None."""
        if kind == "start":
            if name in (b"programme", b"channel"):
                return 2
            if name == b"tv":
                if self.level == OUTSIDE:
                    return 0
                if self.level == IN_ELEMENT and TV_START_IN_PROGRAMME == "child":
                    return 4
                if self.level == IN_ELEMENT and TV_START_IN_PROGRAMME == "child-0":
                    return 0
                return None
            if self.level == IN_ELEMENT:
                return 4
            return None
        if kind == "end":
            if name in (b"programme", b"channel"):
                return 2
            if name == b"tv":
                return 0
            return None
        if kind in ("comment", "pi", "declaration"):
            return {OUTSIDE: 0, IN_TV: 2, IN_ELEMENT: 4}.get(self.level)
        return None  # CDATA

    def tag_closed(self, empty):
        name = self.tag_name
        if self.tag_is_end:
            if name in (b"programme", b"channel"):
                self.level = IN_TV
            elif name == b"tv":
                self.level = OUTSIDE
            elif self.level == IN_CHILD and name == self.child:
                self.level = IN_ELEMENT
            return
        if name in (b"programme", b"channel"):
            if empty:
                self.level = IN_TV
            else:
                self.level = IN_ELEMENT
                self.element = name
        elif name == b"tv":
            if empty:
                pass
            elif self.level == OUTSIDE:
                self.level = IN_TV
            elif self.level == IN_ELEMENT and TV_START_IN_PROGRAMME in ("child", "child-0"):
                self.level = IN_CHILD
                self.child = name
        elif self.level == IN_ELEMENT and not empty:
            self.level = IN_CHILD
            self.child = name

    # -- one physical line -------------------------------------------------

    def split(self, line):
        out = []
        current = bytearray()
        bom_here = self.first_line and line.startswith(BOM)
        self.first_line = False

        def only_white():
            text = bytes(current)
            if bom_here and not out and text.startswith(BOM):
                text = text[len(BOM):]
            return all(byte in WHITE for byte in text)

        def take(count):
            nonlocal pos
            current.extend(line[pos:pos + count])
            pos += count

        pos = 0
        # Bytes of a closing sequence seen just before, on this line.
        run = 0        # dashes (comment), "]" (CDATA)
        last = None    # previous byte inside a tag or PI, on this line
        size = len(line)
        while pos < size:
            byte = line[pos]
            if self.mode == TEXT:
                if byte != 0x3C:  # "<"
                    take(1)
                    continue
                following = line[pos + 1] if pos + 1 < size else None
                if following is None:
                    take(1)  # "<" at the end of the line: text
                    continue
                if following == 0x2F:  # "/"
                    kind, name, opening = "end", name_at(line, pos + 2), None
                    opening = 2 + len(name)
                elif following == 0x21:  # "!"
                    if line.startswith(b"<!--", pos):
                        kind, name, opening = "comment", b"", 4
                    elif line.startswith(b"<![CDATA[", pos):
                        kind, name, opening = "cdata", b"", 9
                    else:
                        kind, name, opening = "declaration", b"", 2
                elif following == 0x3F:  # "?"
                    kind, name, opening = "pi", b"", 2
                elif is_name_start(following):
                    kind, name = "start", name_at(line, pos + 1)
                    opening = 1 + len(name)
                else:
                    take(1)  # "<" as text
                    continue
                indent = self.split_place(kind, name)
                if indent is not None and not only_white():
                    out.append(bytes(current).rstrip(WHITE))
                    current = bytearray(b" " * indent)
                take(opening)
                run = 0
                last = None
                if kind in ("start", "end"):
                    self.mode = TAG
                    self.tag_is_end = kind == "end"
                    self.tag_name = name
                    self.quote = None
                    last = name[-1] if name else following
                elif kind == "comment":
                    self.mode = COMMENT
                elif kind == "cdata":
                    self.mode = CDATA
                elif kind == "pi":
                    self.mode = PI
                else:
                    self.mode = DECLARATION
                    self.quote = None
                    self.in_subset = False
                continue

            take(1)
            if self.mode == TAG:
                if self.quote is not None:
                    if byte == self.quote:
                        self.quote = None
                elif byte in (0x22, 0x27):
                    self.quote = byte
                elif byte == 0x3E:  # ">"
                    self.mode = TEXT
                    self.tag_closed(last == 0x2F)
                last = byte
            elif self.mode == COMMENT:
                if byte == 0x3E and run >= 2:
                    self.mode = TEXT
                run = run + 1 if byte == 0x2D else 0
            elif self.mode == CDATA:
                if byte == 0x3E and run >= 2:
                    self.mode = TEXT
                run = run + 1 if byte == 0x5D else 0
            elif self.mode == PI:
                if byte == 0x3E and last == 0x3F:
                    self.mode = TEXT
                last = byte
            elif self.mode == DECLARATION:
                if self.quote is not None:
                    if byte == self.quote:
                        self.quote = None
                elif byte in (0x22, 0x27):
                    self.quote = byte
                elif byte == 0x5B:  # "["
                    self.in_subset = True
                elif byte == 0x5D:  # "]"
                    self.in_subset = False
                elif byte == 0x3E and not self.in_subset:
                    self.mode = TEXT
        out.append(bytes(current))
        return out


def element_lines(data):
    splitter = Splitter()
    result = []
    for line in read_lines(data):
        result.extend(splitter.split(line))
    return result


def render(lines):
    return b"".join(line + b"\n" for line in lines)


# -- self-test ---------------------------------------------------------------

def L(text):
    """Test text: str with \\xNN escapes for single bytes."""
    return text.encode("latin-1")


PROG = '<programme start="20240101060000 +0100" stop="20240101070000 +0100" channel="nl1">'

# (input, expected element lines); inputs and outputs as latin-1 str.
CASES = [
    # The reader.
    ("", []),
    ("\x1a<tv>\n", []),
    ("\n", [""]),
    ("\r", [""]),
    ("a", ["a"]),
    ("a\n", ["a"]),
    ("a\r\nb\rc\n\nd", ["a", "bc", "", "d"]),
    ("a\x1ab\nc\n", ["a", "c"]),
    ("a\x1ab\n\x1ac\n", ["a"]),
    ("a\x1ab\x1ac\nd\n", ["a"]),
    ("a\n\r\x1ab\nc", ["a", "", "c"]),
    ("a\x1a", ["a"]),
    # The usual layout comes out unchanged.
    ('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE tv SYSTEM "xmltv.dtd">\n'
     '<tv generator-info-name="x">\n  <channel id="nl1">\n'
     '    <display-name lang="nl">NPO 1</display-name>\n  </channel>\n'
     '  ' + PROG + '\n    <title lang="nl">Nieuws</title>\n'
     '    <desc lang="nl">Het nieuws\nvan de dag.   </desc>\n'
     '    <new />\n  </programme>\n</tv>\n',
     ['<?xml version="1.0" encoding="UTF-8"?>', '<!DOCTYPE tv SYSTEM "xmltv.dtd">',
      '<tv generator-info-name="x">', '  <channel id="nl1">',
      '    <display-name lang="nl">NPO 1</display-name>', '  </channel>',
      '  ' + PROG, '    <title lang="nl">Nieuws</title>',
      '    <desc lang="nl">Het nieuws', 'van de dag.   </desc>',
      '    <new />', '  </programme>', '</tv>']),
    # A whole programme on one line.
    ('  ' + PROG + '<title>A</title><desc>B</desc></programme>\n',
     ['  ' + PROG, '    <title>A</title>', '    <desc>B</desc>', '  </programme>']),
    # The desc before the title, blanks between.
    ('<programme a="1"> <desc>B</desc>\t<title>A</title>  </programme>  \n',
     ['<programme a="1">', '    <desc>B</desc>', '    <title>A</title>', '  </programme>  ']),
    # Programmes running together, starting mid-line.
    ('<tv><programme a="1"><title>A</title></programme><programme a="2"><title>B</ti\n'
     'tle></programme><channel id="c"><display-name>C</display-name></channel></tv>',
     ['<tv>', '  <programme a="1">', '    <title>A</title>', '  </programme>',
      '  <programme a="2">', '    <title>B</ti', 'tle>', '  </programme>',
      '  <channel id="c">', '    <display-name>C</display-name>', '  </channel>', '</tv>']),
    # A whole listing on one line, with the declaration.
    ('<?xml version="1.0"?><!DOCTYPE tv SYSTEM "xmltv.dtd"><tv><channel id="c">'
     '<display-name>C</display-name></channel>' + PROG + '<title>A</title></programme></tv>',
     ['<?xml version="1.0"?>', '<!DOCTYPE tv SYSTEM "xmltv.dtd">', '<tv>', '  <channel id="c">',
      '    <display-name>C</display-name>', '  </channel>', '  ' + PROG,
      '    <title>A</title>', '  </programme>', '</tv>']),
    # The declaration with tv and a programme after it.
    ('<?xml version="1.0"?><tv><programme start="1">\n',
     ['<?xml version="1.0"?>', '<tv>', '  <programme start="1">']),
    # Children indented by 16 blanks stay as they are.
    ('<tv>\n  <programme a="1">\n                <title>A</title>\n'
     '                <desc>B</desc>\n  </programme>\n',
     ['<tv>', '  <programme a="1">', '                <title>A</title>',
      '                <desc>B</desc>', '  </programme>']),
    # A ">" inside a quoted attribute value.
    ('<tv><programme title="a>b" x=\'<title>\'><title>A</title></programme>',
     ['<tv>', '  <programme title="a>b" x=\'<title>\'>', '    <title>A</title>', '  </programme>']),
    ('<tv><programme a="/>"><title>A</title>',
     ['<tv>', '  <programme a="/>">', '    <title>A</title>']),
    # Comments and CDATA hide markup.
    ('<tv><programme a="1"><desc>x<!-- </programme><title> --></desc>'
     '<title><![CDATA[</programme><b>]]></title></programme>',
     ['<tv>', '  <programme a="1">', '    <desc>x<!-- </programme><title> --></desc>',
      '    <title><![CDATA[</programme><b>]]></title>', '  </programme>']),
    # A comment, a PI and a declaration at each level.
    ('<!-- a --><?pi x?><!DOCTYPE tv><tv><!-- b --><?pi?><programme>'
     '<!-- c --><?pi?><title>A<!-- d --><?pi?></title></programme></tv><!-- e -->',
     ['<!-- a -->', '<?pi x?>', '<!DOCTYPE tv>', '<tv>', '  <!-- b -->', '  <?pi?>',
      '  <programme>', '    <!-- c -->', '    <?pi?>', '    <title>A<!-- d --><?pi?></title>',
      '  </programme>', '</tv>', '<!-- e -->']),
    # A comment running over lines hides a programme on its way.
    ('<tv>x<!-- one\n<programme>two --><programme>\n',
     ['<tv>x', '  <!-- one', '<programme>two -->', '  <programme>']),
    # A CDATA section directly inside a programme is no split point.
    ('<tv><programme><![CDATA[x]]><title>A</title>',
     ['<tv>', '  <programme><![CDATA[x]]>', '    <title>A</title>']),
    # A declaration with a subset holding ">" and "]" in literals.
    ('<!DOCTYPE tv [ <!ENTITY a "x>]<tv>"> <!ELEMENT tv (programme)*> ]><tv><programme>',
     ['<!DOCTYPE tv [ <!ENTITY a "x>]<tv>"> <!ELEMENT tv (programme)*> ]>', '<tv>',
      '  <programme>']),
    ('<!DOCTYPE tv [\n<!ENTITY a "b">\n]><tv>\n',
     ['<!DOCTYPE tv [', '<!ENTITY a "b">', ']>', '<tv>']),
    # An unclosed desc is ended by the next programme, channel or end tag.
    ('<tv><programme a="1"><desc>B<programme a="2"><title>A</title></programme>',
     ['<tv>', '  <programme a="1">', '    <desc>B', '  <programme a="2">', '    <title>A</title>',
      '  </programme>']),
    ('<tv><programme><desc>B</programme><channel id="x"><desc>C</channel></tv>',
     ['<tv>', '  <programme>', '    <desc>B', '  </programme>', '  <channel id="x">',
      '    <desc>C', '  </channel>', '</tv>']),
    ('<tv><programme><desc>B</tv><programme><title>T</title>',
     ['<tv>', '  <programme>', '    <desc>B', '</tv>', '  <programme>', '    <title>T</title>']),
    # Content markup in a child is no split point.
    ('<tv><programme><desc>Nieuws<br>weer<p>en</p></desc><rating><value>6</value></rating>',
     ['<tv>', '  <programme>', '    <desc>Nieuws<br>weer<p>en</p></desc>',
      '    <rating><value>6</value></rating>']),
    # A child ends at its own exact end tag only.
    ('<tv><programme><title>A</titles><b>x</b></title><desc>D</desc>',
     ['<tv>', '  <programme>', '    <title>A</titles><b>x</b></title>', '    <desc>D</desc>']),
    ('<tv><programme><desc><desc>a</desc>b</desc><title>T</title>',
     ['<tv>', '  <programme>', '    <desc><desc>a</desc>b</desc>', '    <title>T</title>']),
    # Text and markup before tv are not cut.
    ('Nieuws<br>weer<p/></x><![CDATA[<tv>]]>\n<tv>', ['Nieuws<br>weer<p/></x><![CDATA[<tv>]]>',
                                                       '<tv>']),
    ('Nieuws <tv>', ['Nieuws', '<tv>']),
    # Elements directly inside tv other than programme and channel are content.
    ('<tv><foo a="1">x</foo><bar/><programme>',
     ['<tv><foo a="1">x</foo><bar/>', '  <programme>']),
    # "<" as text.
    ('<tv><programme><title>a < b <3 <= <-</title><desc>x</desc>',
     ['<tv>', '  <programme>', '    <title>a < b <3 <= <-</title>', '    <desc>x</desc>']),
    ('<tv><programme>a <\n', ['<tv>', '  <programme>a <']),
    ('<tv><programme>< title>', ['<tv>', '  <programme>< title>']),
    # Empty-element tags enter nothing.
    ('<tv><programme><new/><title>A</title><icon src="x" /></programme>',
     ['<tv>', '  <programme>', '    <new/>', '    <title>A</title>', '    <icon src="x" />',
      '  </programme>']),
    ('<tv><programme a="1"/><foo>x<!-- c --></foo><programme a="2"><title>A</title>',
     ['<tv>', '  <programme a="1"/><foo>x', '  <!-- c --></foo>', '  <programme a="2">',
      '    <title>A</title>']),
    ('<tv><programme><desc>x<programme/><!-- c --><title>T</title>',
     ['<tv>', '  <programme>', '    <desc>x', '  <programme/>', '  <!-- c --><title>T</title>']),
    ('<tv/><!-- c --><tv>', ['<tv/>', '<!-- c -->', '<tv>']),
    # Empty-element mark split from ">" by a line end is no mark.
    ('<tv><programme><new /\n><title>A</title>',
     ['<tv>', '  <programme>', '    <new /', '><title>A</title>']),
    # A start tag over several lines.
    ('<tv><programme start="1"\n     stop="2"\n  channel="x"><title>A</title>\n',
     ['<tv>', '  <programme start="1"', '     stop="2"', '  channel="x">', '    <title>A</title>']),
    # An unclosed quote runs on.
    ('<tv><programme a="1><title>A</title>\n</programme>"><title>B</title>',
     ['<tv>', '  <programme a="1><title>A</title>', '</programme>">', '    <title>B</title>']),
    # An unclosed comment runs on.
    ('<tv><!-- x\n<programme><title>A</title>\n',
     ['<tv>', '  <!-- x', '<programme><title>A</title>']),
    # The names: exact words.
    ('<tv><programmes><programme-x></tv>', ['<tv><programmes><programme-x>', '</tv>']),
    ('<tv><programme\tstart="1"><title\n>A</title>', ['<tv>', '  <programme\tstart="1">',
                                                      '    <title', '>A</title>']),
    ('<tv><Programme><TV>', ['<tv><Programme><TV>']),
    # Trailing white space: dropped at a split, kept at the end of the line.
    ('<tv>  \t <programme>\t<title>A</title>   \n',
     ['<tv>', '  <programme>', '    <title>A</title>   ']),
    ('   \t\n', ['   \t']),
    ('<tv>x\n\n   <programme>\n', ['<tv>x', '', '   <programme>']),
    # Only white space before: no split, the indentation stays.
    ('<tv>\n\t<programme><title>A</title>\n',
     ['<tv>', '\t<programme>', '    <title>A</title>']),
    # The byte-order mark on the first line counts as white space.
    ('\xef\xbb\xbf<?xml version="1.0"?><tv>\n',
     ['\xef\xbb\xbf<?xml version="1.0"?>', '<tv>']),
    ('\xef\xbb\xbf  <tv><programme>\n', ['\xef\xbb\xbf  <tv>', '  <programme>']),
    ('\xef\xbb\xbf\n\xef\xbb\xbf<tv>\n', ['\xef\xbb\xbf', '\xef\xbb\xbf', '<tv>']),
    (' \xef\xbb\xbf<tv>', [' \xef\xbb\xbf', '<tv>']),
    # CR LF and lone CR.
    ('<tv>\r\n<programme>\r<title>A</title>\r\n',
     ['<tv>', '<programme>', '    <title>A</title>']),
    ('<tv>\r <programme>\r\r\n', ['<tv>', '  <programme>']),
    # A Ctrl-Z ends the line mid-tag.
    ('<tv><programme a="1\x1a"><title>\n"><title>A</title>\n',
     ['<tv>', '  <programme a="1', '">', '    <title>A</title>']),
    # Non-ASCII bytes: names and text.
    ('<tv><programme><\xe9t\xe9>x</\xe9t\xe9><desc>caf\xe9 <\xff</desc>',
     ['<tv>', '  <programme>', '    <\xe9t\xe9>x</\xe9t\xe9>', '    <desc>caf\xe9 <\xff</desc>']),
    # A stray end tag directly inside a programme is content.
    ('<tv><programme></title><title>A</title>',
     ['<tv>', '  <programme></title>', '    <title>A</title>']),
    # Programme and channel end tags return to tv from anywhere.
    ('</programme><!-- c --><programme><title>T</title></channel><!-- d -->',
     ['</programme>', '  <!-- c -->', '  <programme>', '    <title>T</title>', '  </channel>',
      '  <!-- d -->']),
    # A tv start tag inside tv or a programme is content.
    ('<tv><tv><programme><tv><title>A</title>',
     ['<tv><tv>', '  <programme><tv>', '    <title>A</title>']),
    # The tv end tag leaves tv: what follows is outside again.
    ('<tv></tv><programme>x<br>y<!-- c --><?p?><tv>',
     ['<tv>', '</tv>', '  <programme>x', '    <br>y<!-- c --><?p?><tv>']),
    ('<tv></tv><programme><!-- c --><?p?>', ['<tv>', '</tv>', '  <programme>', '    <!-- c -->',
                                              '    <?p?>']),
    ('<tv></tv>text<br><!-- c -->', ['<tv>', '</tv>text<br>', '<!-- c -->']),
    # Quotes are skipped in end tags too.
    ('<tv><programme><title>A</title a=">"><desc>B', ['<tv>', '  <programme>',
                                                      '    <title>A</title a=">">',
                                                      '    <desc>B']),
    # Closing sequences: "<!-->", "<?>" and "]]" not closing early.
    ('<tv><!--><programme>--><programme>', ['<tv>', '  <!--><programme>-->', '  <programme>']),
    ('<tv><?><programme>?><programme>', ['<tv>', '  <?><programme>?>', '  <programme>']),
    ('<tv><programme><title><![CDATA[]>]]]></title><desc>D',
     ['<tv>', '  <programme>', '    <title><![CDATA[]>]]]></title>', '    <desc>D']),
    # A quote in a comment inside a subset still opens a literal.
    ("<!DOCTYPE tv [\n<!-- don't -->\n]>\n<tv><programme>",
     ["<!DOCTYPE tv [", "<!-- don't -->", "]>", "<tv><programme>"]),
    # A line end cuts a name: "<" at the end of a line is text, "</" an end
    # tag without a name that matches nothing.
    ('<tv><programme>x <\ntitle>A</title><desc>',
     ['<tv>', '  <programme>x <', 'title>A</title>', '    <desc>']),
    ('<tv><programme><title>A</\ntitle><desc>',
     ['<tv>', '  <programme>', '    <title>A</', 'title><desc>']),
    # The empty-element mark is "/" right before ">".
    ('<tv><programme /  ><title>x', ['<tv>', '  <programme /  >', '    <title>x']),
    ('<tv><programme x=/><title>', ['<tv>', '  <programme x=/><title>']),
    # "<!" without "--" is a declaration, also "<!-" at the end of a line.
    ('<tv><!-\n-><programme>', ['<tv>', '  <!-', '->', '  <programme>']),
]


def self_test():
    count = 0
    for text, expected in CASES:
        got = element_lines(L(text))
        want = [L(line) for line in expected]
        assert got == want, f"input {text!r}\n  got  {got!r}\n  want {want!r}"
        count += 1
    # The lines of the usual layout come out unchanged, whatever the line
    # ends, and so do the element lines of any listing when fed again.
    for text, _ in CASES:
        for ending in ("\n", "\r\n"):
            data = L(text.replace("\n", ending))
            if text.startswith("<?xml") and "\n<!DOCTYPE" in text:
                assert element_lines(data) == read_lines(data), text
                count += 1
            once = element_lines(data)
            if b"\x1a" not in data:
                assert element_lines(render(once)) == once, text
                count += 1
    return count


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        count = self_test()
        print(f"{count} passed, 0 failed")
        return 0
    if len(argv) != 2:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    with open(argv[1], "rb") as handle:
        data = handle.read()
    sys.stdout.buffer.write(render(element_lines(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
