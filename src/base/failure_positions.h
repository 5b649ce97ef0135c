#pragma once

#include <cstdint>

namespace zelvane {

// Where a failure arose, printed in the failure report as eight hex digits so
// that a report tells which call failed. Every position is named here once:
// both platform layers and the file pass take theirs from this table. Two
// pairs share a number (a time zone and the gzip reader); reports have always
// shown them so.
enum class FailurePosition : std::uint32_t {
  kNone = 0,
  // The platform layer.
  kOpenForReading = 0x10,
  kCreateForWriting = 0x20,
  kOpenForWritingOver = 0x24,
  kCreateNewFile = 0x25,
  kOpenForAppending = 0x26,
  kRequireWritable = 0x28,
  kRequireWritableOpen = 0x29,  // Windows: opening the destination to test it
  kCreateWorkingFile = 0x30,
  kWorkingFileLocked = 0x31,    // a leftover that another run holds
  kWorkingFileCreated = 0x32,   // another run created it meanwhile
  kWorkingFileLockTaken = 0x33,
  kCreateTemporaryFile = 0x38,
  kRead = 0x40,
  kWrite = 0x50,
  kWriteNothing = 0x51,  // Windows: a write that wrote no byte
  kFlushToDisk = 0x60,
  kClose = 0x70,
  kReadAttributes = 0x80,
  kCopyOwner = 0x81,
  kGiveDefaultMode = 0x82,
  kRemoveLeftover = 0x90,
  kRename = 0xA0,
  kExamineWorkingFile = 0xA1,
  kWorkingFileReplaced = 0xA2,
  kReopenWorkingFile = 0xA3,  // Windows: reading back a working file not renamed
  kSizeOf = 0xB0,
  kRewind = 0xB1,
  kSetSize = 0xB2,
  kReserveSpace = 0xB3,
  // The file pass.
  kOutputIsSource = 0x1200,
  kWorkingFileIsSource = 0x1210,
  kWorkingFileRefused = 0x1218,
  kDirectoryRefused = 0x1228,
  kSourceNotReplaceable = 0x1230,
  kSourceCompressed = 0x1240,
  // Compressed data, and time zones.
  kGzipEndsEarly = 0x1300,
  kGzipCorrupt = 0x1310,
  kGzipWrite = 0x1320,
  kUnknownTimeZone = 0x1300,
  kNoTimeZones = 0x1310,
  kNoTimeZoneDatabase = 0x1318,
  // The ceilings of a line and of the lines the filter holds together.
  kLineTooLong = 0x1400,
  kHeldLinesTooLarge = 0x1410,
};

// The codes of EInOutError that are the program's own; any other code is the
// operating system's. Each is named here once: the message table
// (IoFailureMessage), both platform layers and every raiser take theirs from
// here. Codes 2 to 5 are rows of the message table that the systems' own
// codes share; 32 is what a sharing violation gives where the system enforces
// share modes; from 100 on the codes are the file layer's own.
namespace failure_code {
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kInvalidFileName = 3;
inline constexpr std::int32_t kTooManyOpenFiles = 4;
inline constexpr std::int32_t kAccessDenied = 5;
inline constexpr std::int32_t kSharingViolation = 32;  // the output would be the source
inline constexpr std::int32_t kReadBeyondEnd = 100;
inline constexpr std::int32_t kDiskFull = 101;
inline constexpr std::int32_t kCompressedDataError = 102;  // gzip data that cannot be read
inline constexpr std::int32_t kCompressedSource = 103;     // a format the pass does not read
inline constexpr std::int32_t kLineTooLong = 104;
inline constexpr std::int32_t kHeldLinesTooLarge = 105;
inline constexpr std::int32_t kInvalidNumericInput = 106;
inline constexpr std::int32_t kNotReplaceable = 107;  // a source to replace that is no file
}  // namespace failure_code

}  // namespace zelvane
