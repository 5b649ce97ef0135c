#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "base/failure_positions.h"

namespace zelvane {

// The one failure that ends a run. It is raised where the call failed and
// caught once, at the top of the program, which writes the failure report.
class Exception : public std::exception {
 public:
  const char* what() const noexcept override { return message_.c_str(); }
  // The kind's name as the report prints it ("EInOutError", ...).
  const char* kind() const noexcept { return kind_; }
  const std::string& message() const noexcept { return message_; }
  // Identifies where the failure arose; printed as eight hex digits.
  std::uint32_t position() const noexcept { return static_cast<std::uint32_t>(position_); }

 protected:
  Exception(const char* kind, std::string message, FailurePosition position)
      : kind_(kind), message_(std::move(message)), position_(position) {}

 private:
  const char* kind_;
  std::string message_;
  FailurePosition position_;
};

// A failed file or console operation, with the I/O error code.
class EInOutError : public Exception {
 public:
  // The message is IoFailureMessage(`errorCode`).
  explicit EInOutError(std::int32_t errorCode, FailurePosition position = FailurePosition::kNone);
  // An operating-system code outside the message table keeps its own message.
  EInOutError(std::int32_t errorCode, std::string message, FailurePosition position);
  std::int32_t errorCode() const noexcept { return errorCode_; }

 private:
  std::int32_t errorCode_;
};

// A date and time that cannot be formed.
class EConvertError : public Exception {
 public:
  explicit EConvertError(std::string message, FailurePosition position = FailurePosition::kNone)
      : Exception("EConvertError", std::move(message), position) {}
};

// Memory exhausted anywhere.
class EOutOfMemory : public Exception {
 public:
  explicit EOutOfMemory(FailurePosition position = FailurePosition::kNone)
      : Exception("EOutOfMemory", "Out of memory", position) {}
};

// The message of I/O error `code`: "File not found", ..., "I/O error N".
std::string IoFailureMessage(std::int32_t code);

// The report's text: two CR LF ended lines, then one more CR LF.
std::string FormatFailureReport(const Exception& failure, std::string_view module);

// Writes the report for `failure` to standard error, unbuffered and unchecked,
// naming the running program by its `programPath` (argv[0], or null).
// Returns the exit status of a failed run, 1. Whatever standard output still
// holds must be passed on before this call.
int ReportFailure(const Exception& failure, const char* programPath);

}  // namespace zelvane
