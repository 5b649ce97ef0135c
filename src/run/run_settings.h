#pragma once

#include <cstdint>
#include <string>

namespace zelvane {

// What the command line asks for besides a run.
enum class RunRequest {
  kRun,
  kHelp,     // the word --help or -h where a source name would stand
  kVersion,  // the word --version where a source name would stand
};

// Everything a run needs, filled once from the command line.
struct RunSettings {
  std::string source;       // empty: not given
  std::string destination;  // empty: not given
  bool cet = false;
  std::int32_t cetoffset = 0;  // hours relative to CET
  bool tz = false;
  std::string tzname;  // the zone's name, as given after --tz
  bool kenmerk = false;
  bool talpa = false;
  bool tba = false;
  bool quiet = false;  // no "Running..." and no settings report
  RunRequest request = RunRequest::kRun;  // the first --help or --version wins
};

}  // namespace zelvane
