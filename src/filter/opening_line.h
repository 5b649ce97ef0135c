#pragma once

#include <string>
#include <string_view>

namespace zelvane {

class TimeStampNormaliser;

// Puts `line` into `out` with the values of its start and stop attributes
// (`start="` or `stop="` after a blank or a tab, up to the next double quote)
// replaced by their normalised forms, start first. An attribute that is
// absent or unclosed stays as it is. Returns false, leaving `out` alone, when
// the line holds neither value. Raises EConvertError.
bool RewriteOpeningLine(std::string_view line, TimeStampNormaliser& normaliser,
                        std::string& out);

}  // namespace zelvane
