#include "base/platform.h"

#include "base/byte_string.h"
#include "base/failure.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

namespace zelvane::platform {

namespace {

enum class Operation { kOpenExisting, kCreate, kOther };

// The program's codes for an errno. Codes that share a number with a row of
// the message table but mean something else (EIO is 5, EINTR is 4) keep the
// plain "I/O error N" message, so a disk error never reads "File access denied".
[[noreturn]] void RaiseIoError(int error, Operation operation, FailurePosition position) {
  std::int32_t code = 0;
  switch (error) {
    case ENOENT: code = operation == Operation::kCreate ? 3 : 2; break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: code = 3; break;
    case EMFILE:
    case ENFILE: code = 4; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: code = 5; break;
    default: throw EInOutError(error, "I/O error " + FormatInt(error), position);
  }
  throw EInOutError(code, position);
}

int Descriptor(const File& file) { return static_cast<int>(file.handle()); }

// The errors by which a directory refuses a new file.
bool IsRefusal(int error) { return error == EACCES || error == EPERM || error == EROFS; }

[[noreturn]] void RaiseInUse(const std::string& name, FailurePosition position) {
  throw EInOutError(EWOULDBLOCK, Concat("Working file ", name, " is in use by another run"),
                    position);
}

}  // namespace

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), owned_(other.owned_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (owned_ && handle_ != -1) ::close(Descriptor(*this));
    handle_ = std::exchange(other.handle_, -1);
    owned_ = other.owned_;
  }
  return *this;
}

File::~File() {
  if (owned_ && handle_ != -1) ::close(Descriptor(*this));
}

File OpenForReading(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) RaiseIoError(errno, Operation::kOpenExisting, FailurePosition::kOpenForReading);
  return File(fd);
}

File CreateForWriting(const std::string& name) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) RaiseIoError(errno, Operation::kCreate, FailurePosition::kCreateForWriting);
  return File(fd);
}

EntryKind KindOf(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) {
    return S_ISREG(info.st_mode) ? EntryKind::kRegular : EntryKind::kOther;
  }
  // A name that cannot be examined is left to the open that follows, which
  // reports why.
  return errno == ENOENT || errno == ENOTDIR ? EntryKind::kAbsent : EntryKind::kRegular;
}

bool IsRegularFile(const File& file) {
  struct stat info {};
  return ::fstat(Descriptor(file), &info) == 0 && S_ISREG(info.st_mode);
}

void RequireWritable(const std::string& name, const File&) {
  // No truncation: the open only asks whether writing is allowed.
  const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) RaiseIoError(errno, Operation::kCreate, FailurePosition::kRequireWritable);
  ::close(fd);
}

namespace {

// One try of CreateWorkingFile: an invalid file when the name was taken
// from under it.
File TryCreateWorkingFile(const std::string& name, bool& refused) {
  struct stat entry {};
  if (::lstat(name.c_str(), &entry) == 0) {
    // A file left by an earlier run goes; one that another run is writing
    // now stays. Its lock is held while it is removed, so that two runs
    // never both take it for a leftover.
    File leftover;
    if (S_ISREG(entry.st_mode)) {
      leftover = File(::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      if (leftover.valid() && ::flock(Descriptor(leftover), LOCK_EX | LOCK_NB) != 0 &&
          errno == EWOULDBLOCK) {
        RaiseInUse(name, FailurePosition::kWorkingFileLocked);
      }
    }
    if (::unlink(name.c_str()) != 0 && errno != ENOENT) {
      if (IsRefusal(errno)) {
        refused = true;
        return File();
      }
      RaiseIoError(errno, Operation::kCreate, FailurePosition::kRemoveLeftover);
    }
  }
  // Created afresh and never through a link: a link planted at the name
  // must never make the program write into another file.
  const int fd =
      ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    // Another run created it since the leftover went.
    if (errno == EEXIST) RaiseInUse(name, FailurePosition::kWorkingFileCreated);
    if (IsRefusal(errno)) {
      refused = true;
      return File();
    }
    RaiseIoError(errno, Operation::kCreate, FailurePosition::kCreateWorkingFile);
  }
  File file(fd);
  // A file system without locks (ENOLCK, EINVAL) still gets the working file.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
    RaiseInUse(name, FailurePosition::kWorkingFileLockTaken);
  // Between the create and the lock, a second run may have found the file
  // unlocked, taken it for a leftover and removed it: the name must still
  // denote the file now locked.
  struct stat open {}, named {};
  if (::fstat(fd, &open) == 0 && (::lstat(name.c_str(), &named) != 0 ||
                                  open.st_dev != named.st_dev || open.st_ino != named.st_ino)) {
    return File();
  }
  return file;
}

}  // namespace

File CreateWorkingFile(const std::string& name) {
  // A name taken from under a try is tried again: the other run then holds
  // it, or has left it, and the next try says which.
  for (int attempt = 0; attempt < 8; ++attempt) {
    bool refused = false;
    File file = TryCreateWorkingFile(name, refused);
    if (file.valid() || refused) return file;
  }
  RaiseInUse(name, FailurePosition::kWorkingFileCreated);
}

void CommitWorkingFile(File& file, const std::string& name, const std::string& to) {
  struct stat open {}, named {};
  if (::fstat(Descriptor(file), &open) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kExamineWorkingFile);
  if (::lstat(name.c_str(), &named) != 0 || open.st_dev != named.st_dev ||
      open.st_ino != named.st_ino) {
    throw EInOutError(
        ESTALE,
        Concat("Working file ", name, " was replaced by another program; nothing was renamed"),
        FailurePosition::kWorkingFileReplaced);
  }
  if (::rename(name.c_str(), to.c_str()) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kRename);
  // The lock ends here, with the working file already in its place.
  Close(file);
}

File StandardInput() { return File(STDIN_FILENO, false); }

File StandardOutput() { return File(STDOUT_FILENO, false); }

File StandardError() { return File(STDERR_FILENO, false); }

std::size_t ReadSome(File& file, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(Descriptor(file), buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) RaiseIoError(errno, Operation::kOther, FailurePosition::kRead);
  }
}

void WriteAll(File& file, const char* bytes, std::size_t size) {
  while (size > 0) {
    const std::size_t chunk = size < SSIZE_MAX ? size : SSIZE_MAX;
    const ssize_t n = ::write(Descriptor(file), bytes, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseIoError(errno, Operation::kOther, FailurePosition::kWrite);
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
}

void FlushToDisk(File& file) {
  if (::fsync(Descriptor(file)) != 0 && errno != EINVAL && errno != EROFS) {
    RaiseIoError(errno, Operation::kOther, FailurePosition::kFlushToDisk);
  }
}

void StartFlushToDisk(File& file) noexcept {
#if defined(__linux__)
  // From the start to the end of the file: what is on its way already is
  // not waited for.
  ::sync_file_range(Descriptor(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  static_cast<void>(file);
#endif
}

void Close(File& file) {
  // The descriptor is released whatever close reports: retrying a failed
  // close could close a descriptor that another open has reused meanwhile.
  const int fd = static_cast<int>(file.Release());
  if (fd != -1 && ::close(fd) != 0 && errno != EINTR) {
    RaiseIoError(errno, Operation::kOther, FailurePosition::kClose);
  }
}

bool IsExistingFile(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) return !S_ISDIR(info.st_mode);
  // Only a name that is certainly absent counts as missing. A name that
  // cannot be examined (too long, a directory that may not be searched, a
  // loop of links) is left to the open that follows, which reports why.
  return errno != ENOENT && errno != ENOTDIR;
}

bool CreatingWouldEmpty(const File& file, const std::string& name) {
  // POSIX has no share modes: opening the source never keeps writers out.
  struct stat open {}, named {};
  return ::fstat(Descriptor(file), &open) == 0 && ::stat(name.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool IsSameOpenFile(const File& a, const File& b) {
  struct stat first {}, second {};
  return ::fstat(Descriptor(a), &first) == 0 && ::fstat(Descriptor(b), &second) == 0 &&
         S_ISREG(first.st_mode) && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool IsSameEntry(const std::string& entry, const std::string& name) {
  struct stat first {}, second {};
  return ::lstat(entry.c_str(), &first) == 0 && ::stat(name.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string FinalName(const std::string& name) {
  std::string current = name;
  // Follow a chain of links one step at a time, so that a relative link is
  // resolved against the directory of the link that holds it.
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX), '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) return current;
    target.resize(static_cast<std::size_t>(n));
    if (!target.empty() && target.front() != '/') {
      const std::size_t slash = current.rfind('/');
      if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
    }
    current = target;
  }
  return current;
}

void CopyAttributes(const std::string& model, File& file) {
  struct stat info {};
  if (::stat(model.c_str(), &info) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kReadAttributes);
  // Only a privileged process may give a file away; for anyone else the
  // file simply stays theirs. The owner goes first, since changing it may
  // clear the set-id bits.
  (void)::fchown(Descriptor(file), info.st_uid, info.st_gid);
  if (::fchmod(Descriptor(file), info.st_mode & 07777) != 0) {
    RaiseIoError(errno, Operation::kOther, FailurePosition::kCopyOwner);
  }
}

void GiveDefaultMode(File& file) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(Descriptor(file), 0666 & ~mask) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kGiveDefaultMode);
}

void CutToWholeBlocks(File& file, std::size_t block) noexcept {
  const off_t at = ::lseek(Descriptor(file), 0, SEEK_CUR);
  if (at <= 0) return;
  const auto whole = static_cast<off_t>(static_cast<std::size_t>(at) / block * block);
  // Only a regular file can be cut; for anything else this fails harmlessly.
  (void)::ftruncate(Descriptor(file), whole);
}

}  // namespace zelvane::platform
