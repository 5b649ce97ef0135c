#include "base/failure.h"

#include "base/byte_string.h"
#include "base/platform.h"

namespace zelvane {

EInOutError::EInOutError(std::int32_t errorCode, FailurePosition position)
    : Exception("EInOutError", IoFailureMessage(errorCode), position), errorCode_(errorCode) {}

EInOutError::EInOutError(std::int32_t errorCode, std::string message, FailurePosition position)
    : Exception("EInOutError", std::move(message), position), errorCode_(errorCode) {}

std::string IoFailureMessage(std::int32_t code) {
  switch (code) {
    case failure_code::kFileNotFound: return "File not found";
    case failure_code::kInvalidFileName: return "Invalid filename";
    case failure_code::kTooManyOpenFiles: return "Too many open files";
    case failure_code::kAccessDenied: return "File access denied";
    case failure_code::kReadBeyondEnd: return "Read beyond end of file";
    case failure_code::kDiskFull: return "Disk full";
    case failure_code::kInvalidNumericInput: return "Invalid numeric input";
    default: return "I/O error " + FormatInt(code);
  }
}

std::string FormatFailureReport(const Exception& failure, std::string_view module) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string position(8, '0');
  for (int i = 7, value = 0; i >= 0; --i, ++value) {
    position[static_cast<std::size_t>(i)] = kHex[(failure.position() >> (4 * value)) & 0xFu];
  }
  const std::string& message = failure.message();
  const bool fullStop = !message.empty() && message.back() != '.';
  return Concat("Exception ", std::string_view(failure.kind()), " in module ", module,
                " at ", position, ".\r\n", message, fullStop ? "." : "", "\r\n\r\n");
}

int ReportFailure(const Exception& failure, const char* programPath) {
  platform::WriteStandardError(platform::ToConsoleCodePage(
      FormatFailureReport(failure, platform::ProgramName(programPath))));
  return 1;
}

}  // namespace zelvane
