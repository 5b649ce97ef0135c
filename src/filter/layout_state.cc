#include "filter/layout_state.h"

#include "base/byte_string.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCdataOpen = "<![CDATA[";

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The bytes that may start a name, and those that may go on with one.
constexpr std::uint8_t kNameStart = 1;
constexpr std::uint8_t kNameByte = 2;
constexpr std::array<std::uint8_t, 256> kNameBytes = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool start = letter || c == '_' || c == ':' || c >= 0x80;
    const bool further = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
    table[static_cast<std::size_t>(c)] =
        static_cast<std::uint8_t>((start ? kNameStart : 0) | (further ? kNameByte : 0));
  }
  return table;
}();

bool IsNameStart(char c) { return (kNameBytes[static_cast<unsigned char>(c)] & kNameStart) != 0; }
bool IsNameByte(char c) { return (kNameBytes[static_cast<unsigned char>(c)] & kNameByte) != 0; }

}  // namespace

// What a "<" starts, as far as the layout is concerned.
struct LayoutState::Markup {
  enum Kind : std::uint8_t {
    kText,  // no markup: a "<" of the text
    kNeedBytes,
    kStartTag,
    kEndTag,
    kComment,
    kCdata,
    kPi,
    kDeclaration,
  };
  // The names that give a tag its place in the structure.
  enum Name : std::uint8_t { kOther, kRecord, kTv };

  Kind kind = kText;
  Name name = kOther;
  std::string_view nameText;
  std::size_t after = 0;  // where the walk goes on
};

LayoutState::Markup LayoutState::Recognise(std::string_view text, std::size_t at, bool whole) {
  Markup markup;
  const std::size_t end = text.size();
  if (at + 1 >= end) {
    markup.kind = whole ? Markup::kText : Markup::kNeedBytes;
    return markup;
  }
  const char next = text[at + 1];
  if (next == '/' || IsNameStart(next)) {
    const std::size_t nameBegin = at + (next == '/' ? 2 : 1);
    std::size_t nameEnd = nameBegin;
    while (nameEnd < end && IsNameByte(text[nameEnd])) ++nameEnd;
    // A name that reaches the end of the bytes read may go on.
    if (nameEnd == end && !whole) {
      markup.kind = Markup::kNeedBytes;
      return markup;
    }
    markup.kind = next == '/' ? Markup::kEndTag : Markup::kStartTag;
    markup.nameText = text.substr(nameBegin, nameEnd - nameBegin);
    if (markup.nameText == "programme" || markup.nameText == "channel") {
      markup.name = Markup::kRecord;
    } else if (markup.nameText == "tv") {
      markup.name = Markup::kTv;
    }
    markup.after = nameEnd;
    return markup;
  }
  if (next == '!') {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with(kCommentOpen)) {
      markup.kind = Markup::kComment;
      markup.after = at + kCommentOpen.size();
    } else if (rest.starts_with(kCdataOpen)) {
      markup.kind = Markup::kCdata;
      markup.after = at + kCdataOpen.size();
    } else if (!whole && (kCommentOpen.starts_with(rest) || kCdataOpen.starts_with(rest))) {
      markup.kind = Markup::kNeedBytes;
    } else {
      markup.kind = Markup::kDeclaration;
      markup.after = at + 2;
    }
    return markup;
  }
  if (next == '?') {
    markup.kind = Markup::kPi;
    markup.after = at + 2;
  }
  return markup;
}

bool LayoutState::IsSplitPoint(const Markup& markup, Where where) {
  switch (markup.kind) {
    case Markup::kStartTag:
      // A programme or channel start tag is one anywhere, even where it
      // cuts a child short: an unclosed desc must not swallow the rest.
      if (markup.name == Markup::kRecord) return true;
      // The tv start tag has its place outside tv only; elsewhere it is
      // content, like any other element directly inside tv.
      if (markup.name == Markup::kTv) return where == Where::kOutside;
      return where == Where::kRecord;
    case Markup::kEndTag:
      return markup.name != Markup::kOther;
    case Markup::kComment:
    case Markup::kPi:
    case Markup::kDeclaration:
      return where != Where::kChild;
    default:
      return false;
  }
}

// The XMLTV writer's layout: tv at the margin, programmes and channels two
// blanks in, their children four.
std::uint8_t LayoutState::Indent(const Markup& markup, Where where) {
  if (markup.name == Markup::kTv) return 0;
  if (markup.name == Markup::kRecord) return 2;
  switch (where) {
    case Where::kOutside:
      return 0;
    case Where::kTv:
      return 2;
    default:
      return kMaxIndent;
  }
}

void LayoutState::Enter(const Markup& markup, std::string_view) {
  effect_ = Effect::kNone;
  quote_ = 0;
  subset_ = false;
  switch (markup.kind) {
    case Markup::kStartTag:
      inside_ = Inside::kTag;
      if (markup.name == Markup::kRecord) {
        effect_ = Effect::kEnterRecord;
      } else if (markup.name == Markup::kTv) {
        if (where_ == Where::kOutside) effect_ = Effect::kEnterTv;
      } else if (where_ == Where::kRecord) {
        effect_ = Effect::kEnterChild;
        tagName_.assign(markup.nameText);
      }
      break;
    case Markup::kEndTag:
      inside_ = Inside::kTag;
      if (markup.name == Markup::kRecord) {
        effect_ = Effect::kLeaveRecord;
      } else if (markup.name == Markup::kTv) {
        effect_ = Effect::kLeaveTv;
      } else if (where_ == Where::kChild && markup.nameText == child_) {
        effect_ = Effect::kLeaveChild;
      }
      break;
    case Markup::kComment:
      inside_ = Inside::kComment;
      break;
    case Markup::kCdata:
      inside_ = Inside::kCdata;
      break;
    case Markup::kPi:
      inside_ = Inside::kPi;
      break;
    default:
      inside_ = Inside::kDeclaration;
      break;
  }
}

void LayoutState::EndTag(bool empty) {
  inside_ = Inside::kText;
  switch (effect_) {
    case Effect::kEnterTv:
      if (!empty) where_ = Where::kTv;
      break;
    case Effect::kEnterRecord:
      // A programme start tag finishes whatever was open; an empty one
      // holds nothing, and tv takes up again.
      where_ = empty ? Where::kTv : Where::kRecord;
      break;
    case Effect::kEnterChild:
      if (!empty) {
        where_ = Where::kChild;
        child_.swap(tagName_);
      }
      break;
    case Effect::kLeaveChild:
      where_ = Where::kRecord;
      break;
    case Effect::kLeaveRecord:
      where_ = Where::kTv;
      break;
    case Effect::kLeaveTv:
      where_ = Where::kOutside;
      break;
    case Effect::kNone:
      break;
  }
}

bool LayoutState::HasContentBefore(std::string_view text, std::size_t at) {
  if (content_) return true;
  std::size_t from = 0;
  if (byteOrderMark_ && text.starts_with(kByteOrderMark)) from = kByteOrderMark.size();
  for (std::size_t i = from; i < at; ++i) {
    if (!IsWhite(text[i])) {
      content_ = true;
      return true;
    }
  }
  return false;
}

// Walks a tag from `from` up to its ">", quoted attribute values passed
// over; returns where the walk goes on, setting `ended` when the tag ends.
std::size_t LayoutState::WalkTag(std::string_view text, std::size_t from, bool& ended,
                                 Notes* notes) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* close = end;
  // The attribute values of a programme's or channel's start tag (times,
  // channel names) differ from one to the next; those of their children
  // (a language, a rating system) mostly repeat.
  if (notes == nullptr || effect_ != Effect::kEnterRecord) {
    close = scanner_->OutsideQuotes(begin + from, end, '>', quote_);
  } else {
    // Byte by byte, noting the long quoted values.
    std::size_t valueBegin = from;
    for (const char* at = begin + from; at != end; ++at) {
      const char c = *at;
      if (quote_ != 0) {
        if (c != quote_) continue;
        const auto position = static_cast<std::size_t>(at - begin);
        if (position - valueBegin >= Notes::kMinQuotedHole) notes->Add(valueBegin, position, c);
        quote_ = 0;
      } else if (c == '"' || c == '\'') {
        quote_ = c;
        valueBegin = static_cast<std::size_t>(at - begin) + 1;
      } else if (c == '>') {
        close = at;
        break;
      }
    }
  }
  if (close == end) return text.size();
  ended = true;
  // "/>" ends an empty-element tag: it enters nothing.
  EndTag(close != begin && close[-1] == '/');
  return static_cast<std::size_t>(close - begin) + 1;
}

// As WalkTag for a declaration, whose "[...]" subset may hold ">".
std::size_t LayoutState::WalkDeclaration(std::string_view text, std::size_t from, bool& ended) {
  const std::size_t end = text.size();
  for (std::size_t at = from; at < end; ++at) {
    if (quote_ != 0) {
      const std::size_t close = text.find(quote_, at);
      if (close == kNone) return end;
      quote_ = 0;
      at = close;
      continue;
    }
    const char c = text[at];
    if (c == '"' || c == '\'') {
      quote_ = c;
    } else if (c == '[') {
      subset_ = true;
    } else if (c == ']') {
      subset_ = false;
    } else if (c == '>' && !subset_) {
      ended = true;
      inside_ = Inside::kText;
      return at + 1;
    }
  }
  return end;
}

bool LayoutState::SplitsBefore(std::string_view element, Where where, std::uint8_t& indent) {
  const Markup markup = Recognise(element, 0, true);
  if (!IsSplitPoint(markup, where)) return false;
  indent = Indent(markup, where);
  return true;
}

// Walks the text from `at` to the next "<" and the markup that it starts,
// moving `at` past them. True where the walk stops there, with `stop`.
bool LayoutState::WalkText(std::string_view text, std::size_t& at, bool whole, bool afterMarkup,
                           Notes* notes, Stop& stop) {
  const std::size_t end = text.size();
  // A line's first "<" mostly follows a few blanks.
  std::size_t near = at;
  const std::size_t nearEnd = std::min(end, at + 8);
  while (near < nearEnd && text[near] != '<') ++near;
  const void* found =
      near < nearEnd ? text.data() + near : std::memchr(text.data() + near, '<', end - near);
  const auto tag = found == nullptr
                       ? end
                       : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
  if (notes != nullptr && afterMarkup && found != nullptr && tag > at) notes->Add(at, tag, '<');
  if (found == nullptr) {
    at = end;
    return false;
  }
  const Markup markup = Recognise(text, tag, whole);
  if (markup.kind == Markup::kNeedBytes) {
    stop = {Stop::kNeedBytes, tag, 0};
    return true;
  }
  if (markup.kind == Markup::kText) {
    content_ = true;
    at = tag + 1;
    if (notes != nullptr) ++notes->tags;
    return false;
  }
  if (IsSplitPoint(markup, where_) && HasContentBefore(text, tag)) {
    // The next element line starts with this markup.
    content_ = false;
    byteOrderMark_ = false;
    stop = {Stop::kSplit, tag, Indent(markup, where_)};
    return true;
  }
  if (notes != nullptr) ++notes->tags;
  content_ = true;
  Enter(markup, text);
  at = markup.after;
  return false;
}

LayoutState::Stop LayoutState::Walk(std::string_view text, std::size_t from, bool whole,
                                    Notes* notes) {
  const std::size_t end = text.size();
  std::size_t at = from;
  bool afterMarkup = false;  // `at` is where markup ended
  // Markup that ends with a text of several bytes: where it ends, or, when
  // more bytes may come, where a search must go on not to miss it.
  const auto closeBy = [&](std::string_view closing) -> bool {
    const std::size_t found = text.find(closing, at);
    if (found != kNone) {
      inside_ = Inside::kText;
      at = found + closing.size();
      return true;
    }
    at = whole ? end : std::max(at, end - std::min(end, closing.size() - 1));
    return false;
  };
  while (at < end) {
    bool ended = false;
    switch (inside_) {
      case Inside::kText: {
        Stop stop;
        if (WalkText(text, at, whole, afterMarkup, notes, stop)) return stop;
        afterMarkup = false;
        break;
      }
      case Inside::kTag:
        at = WalkTag(text, at, ended, notes);
        break;
      case Inside::kDeclaration:
        at = WalkDeclaration(text, at, ended);
        break;
      case Inside::kComment:
        ended = closeBy("-->");
        if (!ended && !whole) return {Stop::kNeedBytes, at, 0};
        break;
      case Inside::kCdata:
        ended = closeBy("]]>");
        if (!ended && !whole) return {Stop::kNeedBytes, at, 0};
        break;
      case Inside::kPi:
        ended = closeBy("?>");
        if (!ended && !whole) return {Stop::kNeedBytes, at, 0};
        break;
    }
    afterMarkup = ended;
    if (ended && notes != nullptr) notes->markupEnd = at;
  }
  if (whole) return {Stop::kLineEnd, end, 0};
  return {Stop::kNeedBytes, at, 0};
}

}  // namespace zelvane
