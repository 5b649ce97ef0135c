#pragma once

#include <cstdint>
#include <string>

namespace zelvane {

class TimeZone;

// How the listing's bytes are to be read when numeric character references
// are decoded into them.
enum class ListingEncoding {
  kLatin1,           // ISO-8859-1 declared, latin1, or no encoding declared
  kUtf8,             // UTF-8 declared, or a UTF-8 byte-order mark
  kOtherSingleByte,  // any other declared encoding
};

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
  const TimeZone* zone = nullptr;  // set from tzname before the file pass
  bool kenmerk = false;
  bool talpa = false;
  bool tba = false;
  bool quiet = false;          // no "Running..." and no settings report
  bool replaceSource = false;  // set by the file pass: destination is the source
  ListingEncoding encoding = ListingEncoding::kLatin1;  // set by the file pass
  RunRequest request = RunRequest::kRun;  // the first --help or --version wins
};

}  // namespace zelvane
