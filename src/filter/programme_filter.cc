#include "filter/programme_filter.h"

#include "base/failure.h"
#include "filter/line_rules.h"
#include "filter/opening_line.h"

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

}  // namespace

ProgrammeFilter::ProgrammeFilter(LineWriter& writer, const FilterOptions& options,
                                 ListingEncoding encoding, const TimeZone* zone)
    : writer_(writer),
      options_(options),
      cleaner_(encoding),
      normaliser_(options.cet, options.cetoffset, zone, options.separators) {}

void ProgrammeFilter::FilterLine(std::string_view line, const LineScan& scan) {
  if (inProgramme_ && openingContinues_) {
    ContinueOpening(line, scan);
    return;
  }
  if (scan.openingAt != kNone) {
    OpenProgramme(line, scan);
    return;
  }
  // Outside a programme every line goes out at once; element lines that
  // stray there set no flag and are not held for a programme to come.
  if (!inProgramme_) {
    cleaner_.Write(line, scan, writer_);
    return;
  }
  HoldLine(line, scan);
}

void ProgrammeFilter::Finish() {
  if (inProgramme_) CloseProgramme(nullptr, LineScan{});
  openingContinues_ = false;
}

void ProgrammeFilter::RaiseProgrammeTooLarge() {
  throw EInOutError(failure_code::kHeldLinesTooLarge, "A programme of the source is larger than 256 MiB",
                    FailurePosition::kHeldLinesTooLarge);
}

std::string_view ProgrammeFilter::Rewritten(std::string_view line) {
  return RewriteOpeningLine(line, normaliser_, rewritten_) ? std::string_view(rewritten_) : line;
}

// Rewriting time stamps never adds a "<" or an "&", nor puts one before
// "p>", "/p>" or "br": it only drops blanks at the ends of a value and text
// after a zone word, and adds an offset. The line's scan may then promise
// cleaning that is not needed, which changes nothing, but never misses any.
void ProgrammeFilter::OpenProgramme(std::string_view line, const LineScan& scan) {
  // A programme still open ends here as if it had been closed.
  if (inProgramme_) CloseProgramme(nullptr, LineScan{});
  openingContinues_ = false;
  const std::size_t tagRest = scan.openingAt + kProgrammeOpening.size();
  const std::string_view rewritten = Rewritten(line);
  if (line.find(kClosingText, tagRest) != kNone) {
    // The whole programme stands on this line, as generated feeds write it.
    inProgramme_ = false;
    cleaner_.Write(rewritten, scan, writer_);
    return;
  }
  inProgramme_ = true;
  held_.Clear();
  held_.AddToHead(cleaner_.Clean(rewritten, scan));
  // Long start tags are broken over several lines; the lines up to the one
  // holding the tag's ">" belong to the opening.
  // The ">" usually ends the line; otherwise it is searched for.
  openingContinues_ =
      !(line.size() > tagRest && line.back() == '>') && line.find('>', tagRest) == kNone;
}

void ProgrammeFilter::ContinueOpening(std::string_view line, const LineScan& scan) {
  if (line.find('>') != kNone) openingContinues_ = false;
  if (line.empty()) return;
  held_.AddToHead(cleaner_.Clean(Rewritten(line), scan));
}

void ProgrammeFilter::HoldLine(std::string_view line, const LineScan& scan) {
  const LineKind kind = scan.kindKnown ? scan.kind : ClassifyLine(line, scan.headTagStarts);
  switch (kind.lineClass) {
    case LineClass::kTitle:
      if (CheckTitleAt(line, kind.at, options_)) dropProgramme_ = true;
      held_.AddToHead(cleaner_.Clean(line, scan));
      break;
    case LineClass::kSubTitle:
      held_.AddSubTitle(cleaner_.Clean(line, scan));
      break;
    case LineClass::kDesc:
      held_.AddDesc(line, NeedsOf(scan));
      break;
    case LineClass::kKenmerken:
      held_.SetKenmerken(line, scan, kind.at);
      break;
    case LineClass::kClosing:
      CloseProgramme(&line, scan);
      break;
    case LineClass::kFurther:
      // A desc element that starts here runs on over the lines below.
      if ((kind.demotedElements & ElementBit(LineClass::kDesc)) != 0) held_.NoteFurtherDesc();
      // Empty lines are not written inside a programme.
      if (!line.empty()) held_.AddFurther(cleaner_.Clean(line, scan));
      break;
  }
}

void ProgrammeFilter::CloseProgramme(const std::string_view* closingLine,
                                     const LineScan& closingScan) {
  inProgramme_ = false;
  if (dropProgramme_) {
    dropProgramme_ = false;
    return;
  }
  // A desc element that runs over several lines cannot take the text, nor
  // may a second desc be built beside it: the kenmerken line stays as it is.
  if (options_.kenmerk && !held_.Kenmerken().empty() &&
      !(held_.Descs().Empty() && held_.HasFurtherDesc())) {
    MergeKenmerkenIntoDesc();
  }
  WriteProgramme(closingLine, closingScan);
}

void ProgrammeFilter::MergeKenmerkenIntoDesc() {
  const LineList& descs = held_.Descs();
  // The merged line needs cleaning where the desc line or the kenmerken
  // line did: the text put in comes from the kenmerken line and sits between
  // a blank or full stop and "</desc", so no markup is made across its
  // edges. A promise of cleaning that is not needed changes nothing.
  const CleaningNeeds kenmerkenCleaning = NeedsOf(held_.KenmerkenScan());
  const std::string_view text = KenmerkenTextAt(held_.Kenmerken(), held_.KenmerkenAt());
  const std::string_view last = descs.Empty() ? std::string_view() : descs[descs.Size() - 1];
  if (last.empty()) {
    merged_.clear();
    AppendKenmerkenDesc(text, merged_);
    if (descs.Empty()) {
      held_.AddDesc(merged_, kenmerkenCleaning);
    } else {
      held_.ReplaceLastDesc(merged_, kenmerkenCleaning);
    }
  } else if (const KenmerkenPlace place = FindKenmerkenPlace(last); place.at != kNone) {
    // The usual case: the text goes into the held desc line in place.
    held_.InsertIntoLastDesc(place.at, place.label, text, kenmerkenCleaning);
  } else {
    // A desc line without an end tag takes no text, but the promise stands.
    held_.AddLastDescCleaning(kenmerkenCleaning);
  }
  held_.ClearKenmerken();
}

void ProgrammeFilter::WriteBlock(const LineBlock& block) {
  if (!block.EndedLines().empty()) writer_.WriteEndedLines(block.EndedLines());
}

void ProgrammeFilter::WriteProgramme(const std::string_view* closingLine,
                                     const LineScan& closingScan) {
  WriteBlock(held_.Head());
  WriteBlock(held_.SubTitles());
  const LineList& descs = held_.Descs();
  for (std::size_t i = 0; i < descs.Size(); ++i) {
    cleaner_.Write(descs[i], ScanOf(held_.DescCleaning(i)), writer_);
  }
  if (!held_.Kenmerken().empty()) {
    cleaner_.Write(held_.Kenmerken(), held_.KenmerkenScan(), writer_);
  }
  WriteBlock(held_.Further());
  if (closingLine != nullptr) cleaner_.Write(*closingLine, closingScan, writer_);
}

}  // namespace zelvane
