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

// The failure for an errno, with the program's code for it. Codes that share
// a number with a row of the message table but mean something else (EIO is
// 5, EINTR is 4) keep the plain "I/O error N" message, so a disk error never
// reads "File access denied".
EInOutError IoError(int error, Operation operation, FailurePosition position) {
  using namespace failure_code;
  std::int32_t code = 0;
  switch (error) {
    case ENOENT: code = operation == Operation::kCreate ? kInvalidFileName : kFileNotFound; break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: code = kInvalidFileName; break;
    case EMFILE:
    case ENFILE: code = kTooManyOpenFiles; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: code = kAccessDenied; break;
    default: return EInOutError(error, "I/O error " + FormatInt(error), position);
  }
  return EInOutError(code, position);
}

[[noreturn]] void RaiseIoError(int error, Operation operation, FailurePosition position) {
  throw IoError(error, operation, position);
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

// How one try of CreateWorkingFile ended.
enum class Attempt { kCreated, kRefused, kNameTooLong, kTakenMeanwhile };

// One try of CreateWorkingFile: `file` is set when it was created.
Attempt TryCreateWorkingFile(const std::string& name, File& file) {
  struct stat entry {};
  if (::lstat(name.c_str(), &entry) == 0) {
    // A file left by an earlier run goes; one that another run is writing
    // now stays. Its lock is held while it is removed, so that two runs
    // never both take it for a leftover.
    File leftover;
    if (S_ISREG(entry.st_mode)) {
      leftover = File(::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      // Another user's file that this run may not open may be that user's
      // live working file: without its lock tested, it is never removed.
      if (!leftover.valid() && IsRefusal(errno)) return Attempt::kRefused;
      if (leftover.valid() && ::flock(Descriptor(leftover), LOCK_EX | LOCK_NB) != 0 &&
          errno == EWOULDBLOCK) {
        RaiseInUse(name, FailurePosition::kWorkingFileLocked);
      }
    }
    if (::unlink(name.c_str()) != 0 && errno != ENOENT) {
      if (IsRefusal(errno)) return Attempt::kRefused;
      RaiseIoError(errno, Operation::kCreate, FailurePosition::kRemoveLeftover);
    }
  }
  // Created afresh and never through a link: a link planted at the name
  // must never make the program write into another file. Read as well as
  // written: a file that the system will not rename is copied from.
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    // Another run created it since the leftover went.
    if (errno == EEXIST) RaiseInUse(name, FailurePosition::kWorkingFileCreated);
    if (IsRefusal(errno)) return Attempt::kRefused;
    if (errno == ENAMETOOLONG) return Attempt::kNameTooLong;
    RaiseIoError(errno, Operation::kCreate, FailurePosition::kCreateWorkingFile);
  }
  File created(fd);
  // A file system without locks (ENOLCK, EINVAL) still gets the working file.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
    RaiseInUse(name, FailurePosition::kWorkingFileLockTaken);
  // Between the create and the lock, a second run may have found the file
  // unlocked, taken it for a leftover and removed it: the name must still
  // denote the file now locked.
  struct stat open {}, named {};
  if (::fstat(fd, &open) == 0 && (::lstat(name.c_str(), &named) != 0 ||
                                  open.st_dev != named.st_dev || open.st_ino != named.st_ino)) {
    return Attempt::kTakenMeanwhile;
  }
  file = std::move(created);
  return Attempt::kCreated;
}

// True when the open `file` is what the entry `name` holds, a link not followed.
bool IsAt(const File& file, const std::string& name) {
  struct stat open {}, named {};
  return ::fstat(Descriptor(file), &open) == 0 && ::lstat(name.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// The next name in a chain of symbolic links: what the link `name` holds,
// resolved against the link's own directory; false when `name` is no link.
bool FollowLink(std::string& name) {
  struct stat info {};
  if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
  std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX), '\0');
  const ssize_t n = ::readlink(name.c_str(), target.data(), target.size());
  if (n < 0) return false;
  target.resize(static_cast<std::size_t>(n));
  if (!target.empty() && target.front() != '/') {
    const std::size_t slash = name.rfind('/');
    if (slash != std::string::npos) target = name.substr(0, slash + 1) + target;
  }
  name = target;
  return true;
}

bool IsProcessPath(std::string_view path) {
  return path == "/proc" || path.starts_with("/proc/") || path.starts_with("/dev/fd/");
}

// The directory that holds `name`, every link resolved ("/dev/fd" is
// "/proc/self/fd"), with a final "/"; empty when it cannot be resolved.
std::string ResolvedDirectory(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::string directory =
      slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  char* resolved = ::realpath(directory.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string result = Concat(resolved, "/");
  std::free(resolved);
  return result;
}

}  // namespace

WorkingFile CreateWorkingFile(const std::string& name) {
  // A name taken from under a try is tried again: the other run then holds
  // it, or has left it, and the next try says which.
  for (int attempt = 0; attempt < 8; ++attempt) {
    WorkingFile working;
    switch (TryCreateWorkingFile(name, working.file)) {
      case Attempt::kCreated:
      case Attempt::kRefused: return working;
      case Attempt::kNameTooLong: working.nameTooLong = true; return working;
      case Attempt::kTakenMeanwhile: break;
    }
  }
  RaiseInUse(name, FailurePosition::kWorkingFileCreated);
}

bool CommitWorkingFile(File& file, const std::string& name, const std::string& to) {
  struct stat open {};
  if (::fstat(Descriptor(file), &open) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kExamineWorkingFile);
  if (!IsAt(file, name)) {
    throw EInOutError(
        ESTALE,
        Concat("Working file ", name, " was replaced by another program; nothing was renamed"),
        FailurePosition::kWorkingFileReplaced);
  }
  if (::rename(name.c_str(), to.c_str()) != 0) {
    // Another user's file in a sticky directory, or a file mounted on its own.
    if (errno == EACCES || errno == EPERM || errno == EBUSY) return false;
    RaiseIoError(errno, Operation::kOther, FailurePosition::kRename);
  }
  // The lock ends here, with the working file already in its place.
  Close(file);
  return true;
}

void RemoveWorkingFile(File& file, const std::string& name) {
  if (IsAt(file, name)) (void)::unlink(name.c_str());
  Close(file);
}

File CreateTemporaryFile() {
  const char* variable = std::getenv("TMPDIR");
  const std::string directory = variable != nullptr && *variable != '\0' ? variable : "/tmp";
  std::string name = Concat(directory, "/zelvane-XXXXXX");
  // mkstemp creates the file exclusively, readable and writable by its owner alone.
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    const EInOutError reason =
        IoError(errno, Operation::kCreate, FailurePosition::kCreateTemporaryFile);
    throw EInOutError(reason.errorCode(),
                      Concat("No temporary file could be created in ", directory, ": ",
                             reason.message()),
                      FailurePosition::kCreateTemporaryFile);
  }
  File file(fd);
  (void)::fcntl(fd, F_SETFD, FD_CLOEXEC);
  // Removed at once: the open file stays, and whatever ends the run, no
  // copy of the listing is left behind.
  (void)::unlink(name.c_str());
  return file;
}

File OpenForWritingOver(const std::string& name) {
  // `name` is a file's own name, links resolved: a link planted there since
  // is not followed, and a pipe put there does not stop the run.
  const int fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) RaiseIoError(errno, Operation::kCreate, FailurePosition::kOpenForWritingOver);
  return File(fd);
}

File CreateNewFile(const std::string& name) {
  const int fd =
      ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) RaiseIoError(errno, Operation::kCreate, FailurePosition::kCreateNewFile);
  return File(fd);
}

File OpenForAppending(const std::string& name) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) RaiseIoError(errno, Operation::kCreate, FailurePosition::kOpenForAppending);
  return File(fd);
}

bool LeadsThroughProcessFiles(const std::string& name) {
  std::string current = name;
  // Each step of a chain of links counts, and so does where each step's
  // directory leads: a directory link into /proc is as good as a name in it.
  for (int depth = 0; depth < 40; ++depth) {
    if (IsProcessPath(current) || IsProcessPath(ResolvedDirectory(current))) return true;
    if (!FollowLink(current)) return false;
  }
  return false;
}

std::uint64_t SizeOf(const File& file) {
  struct stat info {};
  if (::fstat(Descriptor(file), &info) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kSizeOf);
  return static_cast<std::uint64_t>(info.st_size);
}

void Rewind(File& file) {
  if (::lseek(Descriptor(file), 0, SEEK_SET) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kRewind);
}

void SetSize(File& file, std::uint64_t size) {
  if (::ftruncate(Descriptor(file), static_cast<off_t>(size)) != 0)
    RaiseIoError(errno, Operation::kOther, FailurePosition::kSetSize);
}

void ReserveSpace(File& file, std::uint64_t size) {
#if defined(__linux__)
  // Blocks beyond the end are claimed without moving the end; a file system
  // that cannot claim them (no support) is simply written.
  if (size > 0 && ::fallocate(Descriptor(file), FALLOC_FL_KEEP_SIZE, 0,
                              static_cast<off_t>(size)) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) {
    RaiseIoError(errno, Operation::kOther, FailurePosition::kReserveSpace);
  }
#else
  static_cast<void>(file);
  static_cast<void>(size);
#endif
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
  for (int depth = 0; depth < 40 && FollowLink(current); ++depth) {
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
