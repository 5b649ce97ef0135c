#include "filter/opening_line.h"

#include "base/byte_string.h"
#include "time/timestamp.h"

#include <cstring>
#include <utility>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The value of the attribute `name` (with its `="`) in `line`: the first
// occurrence that follows a blank or a tab, so that pdc-start and vps-start
// are passed over. `found` is false when there is none or its value has no
// closing quote.
struct AttributeValue {
  bool found = false;
  std::size_t begin = 0;
  std::size_t end = 0;
};

AttributeValue FindAttributeValue(std::string_view line, std::string_view name) {
  std::size_t at = line.find(name);
  while (at != kNone && (at == 0 || (line[at - 1] != ' ' && line[at - 1] != '\t'))) {
    at = line.find(name, at + 1);
  }
  AttributeValue value;
  if (at == kNone) return value;
  value.begin = at + name.size();
  value.end = line.find('"', value.begin);
  value.found = value.end != kNone;
  return value;
}

// The end (the closing quote) of a value at `begin` that may be a usual
// stamp, or kNone: the first of the places where a usual stamp can end (14,
// 18 or 20 bytes on) that holds a quote. The normaliser accepts no quote
// within a usual stamp, so a value it accepts ends at its first quote.
std::size_t UsualValueEnd(std::string_view line, std::size_t begin) {
  static constexpr std::size_t kUsualLengths[] = {14, 18, 20};
  for (const std::size_t length : kUsualLengths) {
    const std::size_t at = begin + length;
    if (at >= line.size()) return kNone;
    if (line[at] == '"') return at;
  }
  return kNone;
}

// Puts the normalised stamp of `length` bytes at `to`, in one fixed piece
// for the lengths of the usual results; returns where it ends.
char* PutStamp(char* to, const char* stamp, std::size_t length) {
  static_assert(TimeStampNormaliser::kUsualMaxLength == 20);
  if (length == 20) {
    std::memcpy(to, stamp, 20);
  } else if (length == 14) {
    std::memcpy(to, stamp, 14);
  } else {
    std::memcpy(to, stamp, length);
  }
  return to + length;
}

// The opening line as listings write it: blanks, then
// `<programme start="A" stop="B"` with usual stamps A and B, rewritten
// straight into `out`. The start value is then the first `start="` after a
// blank, and the stop value the first `stop="` after one, as the general path
// finds them: nothing before either value can hold one. False, with `out`
// as it was, for any other line.
bool RewriteUsualOpeningLine(std::string_view line, TimeStampNormaliser& normaliser,
                             std::string& out) {
  static constexpr char kLead[] = "<programme start=\"";
  static constexpr char kBetween[] = "\" stop=\"";
  std::size_t at = 0;
  while (at < line.size() && line[at] == ' ') ++at;
  if (!LiteralAt(line, at, kLead)) return false;
  const std::size_t startBegin = at + sizeof kLead - 1;
  const std::size_t startEnd = UsualValueEnd(line, startBegin);
  if (startEnd == kNone || !LiteralAt(line, startEnd, kBetween)) return false;
  const std::size_t stopBegin = startEnd + sizeof kBetween - 1;
  const std::size_t stopEnd = UsualValueEnd(line, stopBegin);
  if (stopEnd == kNone) return false;
  // Both stamps first, so that the line's length is known before it is
  // written.
  const auto value = [line](std::size_t begin, std::size_t end) {
    return std::string_view(line.data() + begin, end - begin);
  };
  char startStamp[TimeStampNormaliser::kUsualMaxLength];
  char stopStamp[TimeStampNormaliser::kUsualMaxLength];
  const std::size_t startLength = normaliser.WriteUsual(value(startBegin, startEnd), startStamp);
  if (startLength == 0) return false;
  const std::size_t stopLength = normaliser.WriteUsual(value(stopBegin, stopEnd), stopStamp);
  if (stopLength == 0) return false;
  const std::size_t restLength = line.size() - stopEnd;
  out.resize(startBegin + startLength + sizeof kBetween - 1 + stopLength + restLength);
  char* const outBegin = out.data();
  char* const outEnd = outBegin + out.size();
  // The pieces go in fixed sizes where they can, which needs no call: both
  // the line and the result hold more than 32 bytes (two stamps of at least
  // 14 and the texts around them). A short rest goes first as the line's
  // last 32 bytes, and a short start as its first 32; the pieces written
  // after each overwrite what it takes too many.
  constexpr std::size_t kPiece = 32;
  static_assert(sizeof kLead - 1 + 14 + sizeof kBetween - 1 + 14 >= kPiece);
  if (restLength <= kPiece) {
    std::memcpy(outEnd - kPiece, line.data() + line.size() - kPiece, kPiece);
  } else {
    std::memcpy(outEnd - restLength, line.data() + stopEnd, restLength);
  }
  char* to = outBegin;
  if (startBegin <= kPiece) {
    std::memcpy(to, line.data(), kPiece);
  } else {
    std::memcpy(to, line.data(), startBegin);
  }
  to += startBegin;
  to = PutStamp(to, startStamp, startLength);
  std::memcpy(to, kBetween, sizeof kBetween - 1);
  to += sizeof kBetween - 1;
  PutStamp(to, stopStamp, stopLength);
  return true;
}

}  // namespace

bool RewriteOpeningLine(std::string_view line, TimeStampNormaliser& normaliser,
                        std::string& out) {
  if (RewriteUsualOpeningLine(line, normaliser, out)) return true;
  const AttributeValue start = FindAttributeValue(line, "start=\"");
  const AttributeValue stop = FindAttributeValue(line, "stop=\"");
  if (!start.found && !stop.found) return false;
  // Both values are read from the line as it came; they never overlap, since
  // a value ends at the first double quote after its own.
  // The start value is normalised first, so that an invalid one is the one
  // reported; the values are written in the order they stand in the line.
  const AttributeValue* first = &start;
  const AttributeValue* second = &stop;
  const bool swapped = !start.found || (stop.found && stop.begin < start.begin);
  if (swapped) std::swap(first, second);
  const auto value = [line](const AttributeValue* attribute) {
    return line.substr(attribute->begin, attribute->end - attribute->begin);
  };
  out.clear();
  out.append(line.substr(0, first->begin));
  const std::string_view between =
      second->found ? line.substr(first->end, second->begin - first->end) : std::string_view();
  if (!swapped) {
    normaliser.Append(value(first), out);
    if (second->found) {
      out.append(between);
      normaliser.Append(value(second), out);
    }
  } else {
    // The stop value stands first or alone; a start value behind it is
    // still normalised first. Listings seldom write this order, so the one
    // allocation here does not matter.
    std::string startValue;
    if (second->found) normaliser.Append(value(second), startValue);
    normaliser.Append(value(first), out);
    out.append(between).append(startValue);
  }
  out.append(line.substr((second->found ? second : first)->end));
  return true;
}

}  // namespace zelvane
