#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// Every operating-system call of the program goes through here: files, the
// console, error codes, the program's name, the command line and the locale.
// A failed call raises EInOutError with the program's own code for it.
namespace zelvane::platform {

// An open file that is closed when it goes out of scope. Move-only.
class File {
 public:
  File() = default;
  explicit File(std::intptr_t handle, bool owned = true) : handle_(handle), owned_(owned) {}
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  bool valid() const { return handle_ != -1; }
  std::intptr_t handle() const { return handle_; }
  // False for a handle the program was given (the standard streams).
  bool owned() const { return owned_; }
  // Gives up the handle without closing it.
  std::intptr_t Release() { return std::exchange(handle_, -1); }

 private:
  std::intptr_t handle_ = -1;
  bool owned_ = true;
};

// Opens an existing file for reading; other openers may read it, not write it.
File OpenForReading(const std::string& name);

// Creates `name`, or empties it when it exists, for writing.
File CreateForWriting(const std::string& name);

// What stands at a name, symbolic links followed.
enum class EntryKind { kAbsent, kRegular, kOther };
EntryKind KindOf(const std::string& name);

// True when the open `file` is a regular file (no pipe, device or console).
bool IsRegularFile(const File& file);

// Raises as opening the existing file `name` for writing would ("File access
// denied" for a read-only file), without changing it. Where share modes keep
// writers out of the open `source`, a name that denotes it is only checked
// for being read-only.
void RequireWritable(const std::string& name, const File& source);

// What CreateWorkingFile gives: the working file, or why there is none.
struct WorkingFile {
  File file;                 // invalid when no working file is possible
  bool nameTooLong = false;  // none, because the name is too long for the system
};

// Creates the working file `name` afresh for writing and reading back, never
// through a link, and holds it exclusively (an advisory lock, or the share
// mode) until it is committed or closed. A leftover of an earlier run at
// `name` is removed first; one that another run holds raises EInOutError
// naming it. Gives no file when none is possible at `name`: the directory
// refuses it (no permission, a read-only file system), a leftover there may
// not be removed or cannot be opened to test its lock, or the name is too
// long.
WorkingFile CreateWorkingFile(const std::string& name);

// Puts the working file `file`, created at `name`, in place of `to` in one
// atomic step, closes it and returns true. When the system refuses to
// replace `to` (another user's file in a sticky directory, a file mounted on
// its own), returns false, having renamed nothing, with `file` open for
// reading. When `name` no longer leads to `file`, raises and renames nothing.
bool CommitWorkingFile(File& file, const std::string& name, const std::string& to);

// Closes the working file `file` and removes it from `name`, where it still
// is; a failed removal leaves a leftover that the next run removes.
void RemoveWorkingFile(File& file, const std::string& name);

// Creates a private file for writing and reading back in the system's
// directory for temporary files (TMPDIR where it is set), exclusively and
// for the user alone. It is gone once it is closed, or the process ends.
// Raises EInOutError naming the directory when no file can be created there.
File CreateTemporaryFile();

// Opens the existing file `name` for writing over its content in place; a
// symbolic link at `name` is not followed where the system can tell.
File OpenForWritingOver(const std::string& name);

// Creates `name` for writing, with the mode that new files get; raises when
// anything, a link included, stands at `name`.
File CreateNewFile(const std::string& name);

// Opens `name` for writing at its end, never emptying it.
File OpenForAppending(const std::string& name);

// True when `name`, or a link on its way to a file, lies in /proc or /dev/fd:
// it denotes a descriptor that is open already, or a file of the system's
// own. Never where the system has no such directories.
bool LeadsThroughProcessFiles(const std::string& name);

// The number of bytes that `file` holds.
std::uint64_t SizeOf(const File& file);

// Moves to the start of `file`, to read it from there.
void Rewind(File& file);

// Cuts `file` to `size` bytes, or extends it.
void SetSize(File& file, std::uint64_t size);

// Claims room on disk for `size` bytes of `file` where the system can, so
// that writing them cannot fail half-way for want of space; changes neither
// its content nor its size.
void ReserveSpace(File& file, std::uint64_t size);

// The standard streams, not owned.
File StandardInput();
File StandardOutput();
File StandardError();

// Reads up to `size` bytes; 0 at the end of the file.
std::size_t ReadSome(File& file, char* buffer, std::size_t size);

// Writes every byte: short writes and interruptions are continued, not lost.
void WriteAll(File& file, const char* bytes, std::size_t size);

// Makes the file's content durable on disk.
void FlushToDisk(File& file);

// Starts writing what the file holds to disk without waiting for it, so
// that the disk works while the program does and a FlushToDisk that follows
// has little left to wait for. Does nothing where the system offers no such
// call; never fails, since the FlushToDisk that follows reports any failure.
void StartFlushToDisk(File& file) noexcept;

// Closes the file; a failed close raises like any other operation.
void Close(File& file);

// True when `name` exists and is a file; a directory is no file. A name that
// cannot be examined (too long, an unsearchable directory) counts as
// existing, so that opening it reports the reason as a failure.
bool IsExistingFile(const std::string& name);

// True when both open files are one and the same file on disk (never for
// pipes and consoles).
bool IsSameOpenFile(const File& a, const File& b);

// True when the directory entry `entry` itself, a link at that name not
// followed, is the file that `name` finally denotes.
bool IsSameEntry(const std::string& entry, const std::string& name);

// The name of the file that `name` finally denotes, symbolic links followed;
// `name` itself when it is no link.
std::string FinalName(const std::string& name);

// Gives `file` the permission bits of the file `model` and, where the
// process may set them, its owner and group (a refusal is no failure).
void CopyAttributes(const std::string& model, File& file);

// Gives `file` the permission bits that a newly created file gets.
void GiveDefaultMode(File& file);

// After a failed write: cuts `file` back to the whole blocks of `block`
// bytes that it holds, so that no part of a block stays. Never raises.
void CutToWholeBlocks(File& file, std::size_t block) noexcept;

// Memory for blocks of many megabytes (a huge line or group of held lines), taken
// from the system in whole pages that it may back with large pages: the first
// touch of fresh memory then costs far less than page by page. Returns
// nullptr when the memory cannot be had.
void* MapLargeBlock(std::size_t size);

// Grows a block from MapLargeBlock from `size` to `newSize` bytes, keeping
// its bytes; the block may move. Returns nullptr when it cannot grow, the
// block then staying as it was.
void* GrowLargeBlock(void* block, std::size_t size, std::size_t newSize);

// Gives a block from MapLargeBlock of `size` bytes back.
void UnmapLargeBlock(void* block, std::size_t size);

// True when `file` is a terminal (a console).
bool IsTerminal(const File& file);

// Writes to standard error directly; failures are ignored.
void WriteStandardError(std::string_view text);

// `text` in the console's own code page where the system has one (the OEM
// code page on Windows); unchanged elsewhere.
std::string ToConsoleCodePage(std::string_view text);

// The running program's file name, without directories. `path` is the
// program's path as the system handed it over (argv[0]), or null; Windows
// asks the system for the module's name instead.
std::string ProgramName(const char* path);

// The process command line as one string where the platform keeps one;
// nothing where it hands over the words already split.
std::optional<std::string> RawCommandLine();

// Prepares the process: a write to a closed pipe, or beyond the file size
// limit, becomes a failed write instead of a signal that ends the process.
void PrepareProcess();

// The locale's date, time and decimal separators; "/", ":" and "." where the
// locale gives none.
struct LocaleSeparators {
  std::string date = "/";
  std::string time = ":";
  std::string decimal = ".";
};
LocaleSeparators ReadLocaleSeparators();

}  // namespace zelvane::platform
