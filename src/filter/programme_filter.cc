#include "filter/programme_filter.h"

#include "base/failure.h"
#include "filter/line_rules.h"

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The file layer's own code for data beyond a ceiling.
constexpr std::int32_t kTooLarge = 105;

}  // namespace

ProgrammeFilter::ProgrammeFilter(LineWriter& writer, const FilterOptions& options)
    : writer_(writer),
      options_(options),
      cleaner_(options.encoding),
      normaliser_(options.cet, options.cetoffset, options.zone, options.separators) {}

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
  throw EInOutError(kTooLarge, "A programme of the source is larger than 256 MiB",
                    FailurePosition::kProgrammeTooLarge);
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
  StoreClean(rewritten, scan, held_.opening);
  // Long start tags are broken over several lines; the lines up to the one
  // holding the tag's ">" belong to the opening.
  openingContinues_ = line.find('>', tagRest) == kNone;
}

void ProgrammeFilter::ContinueOpening(std::string_view line, const LineScan& scan) {
  if (line.find('>') != kNone) openingContinues_ = false;
  if (line.empty()) return;
  StoreClean(Rewritten(line), scan, held_.opening);
  CheckHeldSize();
}

void ProgrammeFilter::HoldLine(std::string_view line, const LineScan& scan) {
  const LineKind kind = ClassifyLine(line, scan.headTagStarts);
  switch (kind.lineClass) {
    case LineClass::kTitle:
      if (CheckTitleAt(line, kind.at, options_)) dropProgramme_ = true;
      StoreClean(line, scan, held_.titles);
      break;
    case LineClass::kSubTitle:
      StoreClean(line, scan, held_.subTitles);
      break;
    case LineClass::kDesc:
      held_.descs.Add(line);
      held_.descCleaning.push_back(CleaningOf(scan));
      break;
    case LineClass::kKenmerken:
      held_.kenmerken.assign(line);
      held_.kenmerkenScan = scan;
      break;
    case LineClass::kClosing:
      CloseProgramme(&line, scan);
      break;
    case LineClass::kFurther:
      if (kind.demoted && line.substr(0, kHeadLength).find("<desc") != kNone) {
        held_.furtherDesc = true;
      }
      // Empty lines are not written inside a programme.
      if (!line.empty()) StoreClean(line, scan, held_.further);
      break;
  }
  if (inProgramme_) CheckHeldSize();
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
  if (options_.kenmerk && !held_.kenmerken.empty() &&
      !(held_.descs.Empty() && held_.furtherDesc)) {
    MergeKenmerkenIntoDesc();
  }
  WriteProgramme(closingLine, closingScan);
}

void ProgrammeFilter::MergeKenmerkenIntoDesc() {
  merged_.clear();
  if (!held_.descs.Empty()) merged_.assign(held_.descs[held_.descs.Size() - 1]);
  MergeKenmerken(held_.kenmerken, merged_);
  // The merged line needs cleaning where the desc line or the kenmerken
  // line did: the text put in comes from the kenmerken line and sits between
  // a blank or full stop and "</desc", so no markup is made across its
  // edges. A promise of cleaning that is not needed changes nothing.
  const std::uint8_t kenmerkenCleaning = CleaningOf(held_.kenmerkenScan);
  if (held_.descs.Empty()) {
    held_.descs.Add(merged_);
    held_.descCleaning.push_back(kenmerkenCleaning);
  } else {
    held_.descs.ReplaceLast(merged_);
    held_.descCleaning.back() |= kenmerkenCleaning;
  }
  held_.kenmerken.clear();
}

void ProgrammeFilter::WriteList(const LineList& list) {
  if (!list.MayHoldEmptyLine()) {
    writer_.WriteEndedLines(list.EndedLines());
    return;
  }
  for (std::size_t i = 0; i < list.Size(); ++i) {
    if (!list[i].empty()) writer_.WriteLine(list[i]);
  }
}

void ProgrammeFilter::WriteProgramme(const std::string_view* closingLine,
                                     const LineScan& closingScan) {
  WriteList(held_.opening);
  WriteList(held_.titles);
  WriteList(held_.subTitles);
  for (std::size_t i = 0; i < held_.descs.Size(); ++i) {
    cleaner_.Write(held_.descs[i], ScanOfCleaning(held_.descCleaning[i]), writer_);
  }
  if (!held_.kenmerken.empty()) cleaner_.Write(held_.kenmerken, held_.kenmerkenScan, writer_);
  WriteList(held_.further);
  if (closingLine != nullptr) cleaner_.Write(*closingLine, closingScan, writer_);
}

}  // namespace zelvane
