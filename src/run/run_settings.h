#pragma once

#include <string>

#include "filter/filter_options.h"

namespace zelvane {

// What the command line asks for besides a run.
enum class RunRequest {
  kRun,
  kHelp,     // the word --help or -h where a source name would stand
  kVersion,  // the word --version where a source name would stand
};

// Everything a run needs, filled once from the command line. The filter
// takes `filter` as it stands.
struct RunSettings {
  std::string source;       // empty: not given
  std::string destination;  // empty: not given
  FilterOptions filter;
  bool quiet = false;  // no "Running..." and no settings report
  RunRequest request = RunRequest::kRun;  // the first --help or --version wins
};

}  // namespace zelvane
