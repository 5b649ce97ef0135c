#include "base/platform.h"

#include "base/byte_string.h"
#include "base/failure.h"

#include <windows.h>

#include <cstdlib>
#include <utility>

namespace zelvane::platform {

namespace {

// Codes 2 to 5 are the rows of the message table that the system's own codes
// share with it (file not found, path not found, too many open files, access
// denied). Every other code, 32 for a sharing violation and 112 for a full
// disk among them, is reported by its number: the table's rows 100, 101 and
// 106 are the file layer's own codes, and the system's 100, 101 and 106 mean
// something else.
[[noreturn]] void RaiseIoError(DWORD error, FailurePosition position) {
  const auto code = static_cast<std::int32_t>(error);
  if (code >= failure_code::kFileNotFound && code <= failure_code::kAccessDenied) {
    throw EInOutError(code, position);
  }
  throw EInOutError(code, "I/O error " + FormatInt(code), position);
}

[[noreturn]] void RaiseLastError(FailurePosition position) {
  RaiseIoError(GetLastError(), position);
}

HANDLE Handle(const File& file) { return reinterpret_cast<HANDLE>(file.handle()); }

File Wrap(HANDLE handle, bool owned) { return File(reinterpret_cast<std::intptr_t>(handle), owned); }

[[noreturn]] void RaiseInUse(const std::string& name, FailurePosition position) {
  throw EInOutError(ERROR_SHARING_VIOLATION,
                    Concat("Working file ", name, " is in use by another run"), position);
}

// A handle on the directory entry `name` that asks for no access at all, so
// that it never conflicts with the share modes of other openers; invalid when
// the name cannot be opened. `entry` opens a symbolic link itself.
HANDLE OpenForQuery(const std::string& name, bool entry) {
  return CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (entry ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                     nullptr);
}

bool Identify(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(handle, &info) != 0;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// True when the open `handle` and the entry at `name` are one file.
bool SameAsNamed(HANDLE handle, const std::string& name, bool entry) {
  BY_HANDLE_FILE_INFORMATION open {}, named {};
  if (!Identify(handle, open)) return false;
  const HANDLE query = OpenForQuery(name, entry);
  const bool same = Identify(query, named) && SameIdentity(open, named);
  if (query != INVALID_HANDLE_VALUE) CloseHandle(query);
  return same;
}

}  // namespace

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), owned_(other.owned_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (owned_ && handle_ != -1) CloseHandle(Handle(*this));
    handle_ = std::exchange(other.handle_, -1);
    owned_ = other.owned_;
  }
  return *this;
}

File::~File() {
  if (owned_ && handle_ != -1) CloseHandle(Handle(*this));
}

File OpenForReading(const std::string& name) {
  // Others may read the listing while it is read, never write it.
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError(FailurePosition::kOpenForReading);
  return Wrap(handle, true);
}

File CreateForWriting(const std::string& name) {
  // While the source is open for reading with the same share mode, creating
  // it under another name fails here with a sharing violation (32) instead
  // of emptying it.
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError(FailurePosition::kCreateForWriting);
  return Wrap(handle, true);
}

EntryKind KindOf(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return EntryKind::kAbsent;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return EntryKind::kOther;
  }
  // Devices such as NUL answer to attributes as well: the handle tells.
  const HANDLE query = OpenForQuery(name, false);
  if (query == INVALID_HANDLE_VALUE) return EntryKind::kRegular;
  const bool disk = GetFileType(query) == FILE_TYPE_DISK;
  CloseHandle(query);
  return disk ? EntryKind::kRegular : EntryKind::kOther;
}

bool IsRegularFile(const File& file) {
  BY_HANDLE_FILE_INFORMATION info {};
  return Identify(Handle(file), info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void RequireWritable(const std::string& name, const File& source) {
  // The source's own share mode would refuse a writer: for the source under
  // another name only its read-only attribute counts.
  if (SameAsNamed(Handle(source), name, false)) {
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      RaiseIoError(ERROR_ACCESS_DENIED, FailurePosition::kRequireWritable);
    }
    return;
  }
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError(FailurePosition::kRequireWritableOpen);
  CloseHandle(handle);
}

WorkingFile CreateWorkingFile(const std::string& name) {
  WorkingFile working;
  // A file left by an earlier run goes. One that another run is writing now
  // is open without delete sharing, so the system refuses to delete it.
  if (DeleteFileA(name.c_str()) == 0) {
    DWORD error = GetLastError();
    // A working file left read-only by an earlier run is still ours to replace.
    if (error == ERROR_ACCESS_DENIED) {
      const DWORD attributes = GetFileAttributesA(name.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
          (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
          SetFileAttributesA(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0) {
        error = DeleteFileA(name.c_str()) != 0 ? ERROR_SUCCESS : GetLastError();
      }
    }
    if (error == ERROR_SHARING_VIOLATION) RaiseInUse(name, FailurePosition::kWorkingFileLocked);
    // A leftover that may not be removed leaves no room for a working file.
    if (error == ERROR_ACCESS_DENIED) return working;
    if (error == ERROR_FILENAME_EXCED_RANGE) {
      working.nameTooLong = true;
      return working;
    }
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
      RaiseIoError(error, FailurePosition::kRemoveLeftover);
  }
  // Only readers may share the working file while it is written. Read as
  // well as written: a file that the system will not rename is copied from.
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS) RaiseInUse(name, FailurePosition::kWorkingFileCreated);
    if (error == ERROR_FILENAME_EXCED_RANGE) working.nameTooLong = true;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
        error == ERROR_FILENAME_EXCED_RANGE) {
      return working;
    }
    RaiseIoError(error, FailurePosition::kCreateWorkingFile);
  }
  working.file = Wrap(handle, true);
  return working;
}

bool CommitWorkingFile(File& file, const std::string& name, const std::string& to) {
  if (!SameAsNamed(Handle(file), name, true)) {
    throw EInOutError(
        ERROR_FILE_INVALID,
        Concat("Working file ", name, " was replaced by another program; nothing was renamed"),
        FailurePosition::kWorkingFileReplaced);
  }
  // The system renames no file that is open without delete sharing.
  Close(file);
  // Write-through: the rename is on disk when the call returns.
  if (MoveFileExA(name.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
      0) {
    return true;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_ACCESS_DENIED) RaiseIoError(error, FailurePosition::kRename);
  // Refused: the working file is opened again, to be copied from.
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError(FailurePosition::kReopenWorkingFile);
  file = Wrap(handle, true);
  return false;
}

void RemoveWorkingFile(File& file, const std::string& name) {
  Close(file);
  (void)DeleteFileA(name.c_str());
}

File CreateTemporaryFile() {
  const char* variable = std::getenv("TMPDIR");
  std::string directory;
  if (variable != nullptr && *variable != '\0') {
    directory = Concat(variable, "\\");
  } else {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof path, path);
    if (length == 0 || length > MAX_PATH) RaiseLastError(FailurePosition::kCreateTemporaryFile);
    directory.assign(path, length);
  }
  // Readable by no other opener, and deleted by the system when closed.
  for (std::int64_t attempt = 0;; ++attempt) {
    const std::string name = Concat(directory, "zelvane-", FormatInt(GetCurrentProcessId()), "-",
                                    FormatInt(attempt), ".tmp");
    const HANDLE handle =
        CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return Wrap(handle, true);
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS || attempt == 1000) {
      const auto code = static_cast<std::int32_t>(error);
      throw EInOutError(code,
                        Concat("No temporary file could be created in ", directory, ": ",
                               IoFailureMessage(code)),
                        FailurePosition::kCreateTemporaryFile);
    }
  }
}

File OpenForWritingOver(const std::string& name) {
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError(FailurePosition::kOpenForWritingOver);
  return Wrap(handle, true);
}

File CreateNewFile(const std::string& name) {
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError(FailurePosition::kCreateNewFile);
  return Wrap(handle, true);
}

File OpenForAppending(const std::string& name) {
  const HANDLE handle = CreateFileA(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError(FailurePosition::kOpenForAppending);
  return Wrap(handle, true);
}

// Windows has neither /proc nor /dev/fd.
bool LeadsThroughProcessFiles(const std::string&) { return false; }

std::uint64_t SizeOf(const File& file) {
  LARGE_INTEGER size {};
  if (GetFileSizeEx(Handle(file), &size) == 0) RaiseLastError(FailurePosition::kSizeOf);
  return static_cast<std::uint64_t>(size.QuadPart);
}

void Rewind(File& file) {
  if (SetFilePointerEx(Handle(file), LARGE_INTEGER{}, nullptr, FILE_BEGIN) == 0)
    RaiseLastError(FailurePosition::kRewind);
}

void SetSize(File& file, std::uint64_t size) {
  LARGE_INTEGER at {};
  at.QuadPart = static_cast<LONGLONG>(size);
  if (SetFilePointerEx(Handle(file), at, nullptr, FILE_BEGIN) == 0 ||
      SetEndOfFile(Handle(file)) == 0) {
    RaiseLastError(FailurePosition::kSetSize);
  }
}

// The system claims the space as the file is written; nothing is promised
// beforehand.
void ReserveSpace(File&, std::uint64_t) {}

File StandardInput() { return Wrap(GetStdHandle(STD_INPUT_HANDLE), false); }

File StandardOutput() { return Wrap(GetStdHandle(STD_OUTPUT_HANDLE), false); }

File StandardError() { return Wrap(GetStdHandle(STD_ERROR_HANDLE), false); }

std::size_t ReadSome(File& file, char* buffer, std::size_t size) {
  const DWORD chunk = size < (DWORD{1} << 30) ? static_cast<DWORD>(size) : (DWORD{1} << 30);
  DWORD read = 0;
  if (ReadFile(Handle(file), buffer, chunk, &read, nullptr) == 0) {
    const DWORD error = GetLastError();
    // A pipe whose writer has gone has simply ended.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    RaiseIoError(error, FailurePosition::kRead);
  }
  return read;
}

void WriteAll(File& file, const char* bytes, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size < (DWORD{1} << 30) ? static_cast<DWORD>(size) : (DWORD{1} << 30);
    DWORD written = 0;
    if (WriteFile(Handle(file), bytes, chunk, &written, nullptr) == 0)
      RaiseLastError(FailurePosition::kWrite);
    // A write that succeeds without taking a byte would never end.
    if (written == 0) RaiseIoError(ERROR_WRITE_FAULT, FailurePosition::kWriteNothing);
    bytes += written;
    size -= written;
  }
}

void FlushToDisk(File& file) {
  if (FlushFileBuffers(Handle(file)) == 0) RaiseLastError(FailurePosition::kFlushToDisk);
}

// Windows offers no call that starts the flush without waiting for it.
void StartFlushToDisk(File&) noexcept {}

void Close(File& file) {
  const HANDLE handle = reinterpret_cast<HANDLE>(file.Release());
  if (handle != INVALID_HANDLE_VALUE && CloseHandle(handle) == 0)
    RaiseLastError(FailurePosition::kClose);
}

bool IsExistingFile(const std::string& name) {
  // A name with wildcards is matched against its directory, and the first
  // match counts; opening that name then fails as an invalid name.
  if (name.find_first_of("*?") != std::string::npos) {
    WIN32_FIND_DATAA found {};
    const HANDLE search = FindFirstFileA(name.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  // Only a name that is certainly absent counts as missing; any other reason
  // is left to the open that follows, which reports it.
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool IsSameOpenFile(const File& a, const File& b) {
  BY_HANDLE_FILE_INFORMATION first {}, second {};
  return Identify(Handle(a), first) && Identify(Handle(b), second) &&
         SameIdentity(first, second);
}

bool IsSameEntry(const std::string& entry, const std::string& name) {
  const HANDLE named = OpenForQuery(name, false);
  const bool same = SameAsNamed(named, entry, true);
  if (named != INVALID_HANDLE_VALUE) CloseHandle(named);
  return same;
}

// The replacement renames onto the name itself; a symbolic link there is
// replaced, as the system's own tools replace it.
std::string FinalName(const std::string& name) { return name; }

// Access on Windows comes from the access list the working file inherits
// from the directory it shares with the file it replaces; there are no bits
// or owners to copy.
void CopyAttributes(const std::string&, File&) {}

void GiveDefaultMode(File&) {}

void CutToWholeBlocks(File& file, std::size_t block) noexcept {
  LARGE_INTEGER at {};
  if (SetFilePointerEx(Handle(file), LARGE_INTEGER{}, &at, FILE_CURRENT) == 0 || at.QuadPart <= 0) {
    return;
  }
  LARGE_INTEGER whole {};
  whole.QuadPart = at.QuadPart - at.QuadPart % static_cast<LONGLONG>(block);
  if (SetFilePointerEx(Handle(file), whole, nullptr, FILE_BEGIN) != 0) SetEndOfFile(Handle(file));
}

}  // namespace zelvane::platform
