#pragma once

#include <string>

#include "base/line_io.h"
#include "base/platform.h"

namespace zelvane {

// For the tests: a line writer whose output is read back. It writes a
// temporary file through the platform layer, as the program writes a
// listing, so that a test sees the bytes the program's own writer gives.
class CapturedOutput {
 public:
  // Writes to `file`, which must be empty and open for reading too: a
  // temporary file unless one is given. Raises EInOutError when no
  // temporary file can be created.
  explicit CapturedOutput(platform::File file = platform::CreateTemporaryFile());

  LineWriter& writer() { return writer_; }

  // Everything written since the last call; the file then starts empty
  // again. Raises EInOutError.
  std::string Take();

 private:
  LineWriter writer_;
};

}  // namespace zelvane
