#include "filter/programme_assembly.h"

#include "filter/line_cleaning.h"

namespace zelvane {

// Placeholder until programme assembly lands: every line is cleaned and
// written at once.
void FilterLine(std::string_view line, LineWriter& writer, const RunSettings& settings,
                FilterState& state) {
  state.cleaned.clear();
  AppendCleanLine(line, settings.encoding, state.cleaned);
  writer.WriteLine(state.cleaned);
}

}  // namespace zelvane
