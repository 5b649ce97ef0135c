#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/line_io.h"
#include "base/platform.h"

namespace zelvane {

// The name that stands for a standard stream: standard input as the source,
// standard output as the destination. "./-" names a file.
inline constexpr std::string_view kStandardStream = "-";

// Where a run's result goes, and the one way it gets there. A file, or a
// name where none stands yet, receives the result only once the run has
// succeeded: from a working file beside it, renamed over it in one step,
// or, where no working file is possible, from a private temporary file that
// is written over it at the end. Standard output, a device, a pipe and the
// descriptors of /proc and /dev/fd are written directly. The lines go to
// writer(); then Commit() after the last one, or Abandon() after a failure.
class Destination {
 public:
  // Chooses the way to the destination `name` ("-": `standardOutput`) and
  // opens what the lines go to. `sourceName` and `source` are the run's
  // source, already open ("-" for standard input); a `name` equal to
  // `sourceName` replaces the source. Raises EInOutError before anything is
  // created for a file that may not be written ("File access denied"), for
  // a new file in a directory that refuses files, for an output that would
  // be the source itself (code 32) and for a working file in use.
  Destination(const std::string& name, const std::string& sourceName, const platform::File& source,
              LineWriter& standardOutput);
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  LineWriter& writer() { return file_ ? *file_ : *standardOutput_; }

  // After the last line: puts the result in place, flushed to disk where it
  // replaces a file. A failure raises.
  void Commit();

  // After a failure: what was written directly keeps the whole 128-byte
  // blocks passed on, and so does a working file; the file that the result
  // was to replace stays as it was, unless the failure came in the last
  // write over it. Never raises.
  void Abandon() noexcept;

 private:
  enum class Way { kStandardOutput, kDirect, kWorkingFile, kTemporaryFile };

  platform::File OpenFile(const std::string& name, const std::string& sourceName,
                          const platform::File& source);
  platform::File OpenWorkingOrTemporaryFile(const std::string& name, platform::EntryKind kind,
                                            bool replace, const std::string& sourceName);
  void WriteOver(platform::File& result);

  Way way_ = Way::kStandardOutput;
  LineWriter* standardOutput_;
  std::optional<LineWriter> file_;
  std::string target_;         // the file that the result replaces or is written over
  std::string workingName_;    // the working file beside it
  bool createTarget_ = false;  // the target is absent, and created at the end
};

// The working file beside `destination`: its extension (from the last full
// stop, when no "/", "\\" or ":" follows it) replaced by ".~tm".
std::string WorkingFileName(std::string_view destination);

}  // namespace zelvane
