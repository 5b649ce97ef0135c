#pragma once

#include <string>
#include <string_view>

#include "base/line_io.h"
#include "filter/filter_options.h"
#include "filter/held_programme.h"
#include "filter/line_cleaning.h"
#include "filter/line_scan.h"
#include "time/timestamp.h"

namespace zelvane {

// The filter of the lines after the first: gathers the lines of each
// programme, rewrites its time stamps, drops or writes it at its closing
// line, and writes every other line at once, each cleaned. All of its state
// is its own; one filter serves one pass.
class ProgrammeFilter {
 public:
  // A programme is held whole until it ends; one that would hold more memory
  // than this ends the run instead of taking all there is. Real programmes
  // hold a few KiB.
  static constexpr std::size_t kMaxProgramme = std::size_t{256} << 20;

  // Writes to `writer` with `options`, cleaning lines in the listing's
  // `encoding`; a stamp without zone takes the offset of `zone`, the zone
  // that `options.tzname` names, when one is given. `writer`, `options` and
  // `zone` must outlive the filter.
  ProgrammeFilter(LineWriter& writer, const FilterOptions& options, ListingEncoding encoding,
                  const TimeZone* zone = nullptr);
  ProgrammeFilter(const ProgrammeFilter&) = delete;
  ProgrammeFilter& operator=(const ProgrammeFilter&) = delete;

  // Decides the fate of `line`. Raises EConvertError for an invalid time
  // stamp, EInOutError for a programme that would hold more than
  // kMaxProgramme and when a write fails.
  void FilterLine(std::string_view line) { FilterLine(line, ScanLine(line)); }
  // As FilterLine, for a line whose ScanLine answers are `scan`.
  void FilterLine(std::string_view line, const LineScan& scan);

  // Ends the pass after the last line: a programme still open is finished as
  // a closing line would finish it (drop rules, merge, its lines written),
  // with no closing line of its own. Raises EInOutError when a write fails
  // and when the merge would take the programme beyond kMaxProgramme.
  void Finish();

 private:
  void OpenProgramme(std::string_view line, const LineScan& scan);
  void ContinueOpening(std::string_view line, const LineScan& scan);
  void HoldLine(std::string_view line, const LineScan& scan);
  // Ends the programme held, at `closingLine` or, when that is null, where
  // the next programme opens or the input ends.
  void CloseProgramme(const std::string_view* closingLine, const LineScan& closingScan);
  void MergeKenmerkenIntoDesc();
  void WriteProgramme(const std::string_view* closingLine, const LineScan& closingScan);
  void WriteBlock(const LineBlock& block);
  // The line with its time stamps normalised: `line` itself when it has none.
  std::string_view Rewritten(std::string_view line);
  [[noreturn]] static void RaiseProgrammeTooLarge();

  LineWriter& writer_;
  const FilterOptions& options_;
  LineCleaner cleaner_;
  TimeStampNormaliser normaliser_;
  bool inProgramme_ = false;
  bool dropProgramme_ = false;
  bool openingContinues_ = false;  // the opening start tag goes on on the next line
  HeldProgramme held_{kMaxProgramme, &RaiseProgrammeTooLarge};
  std::string rewritten_;  // an opening line with its time stamps replaced
  std::string merged_;     // the desc line that takes the kenmerken text
};

}  // namespace zelvane
