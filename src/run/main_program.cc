#include "run/main_program.h"

#include "base/byte_string.h"
#include "base/failure.h"
#include "base/platform.h"
#include "run/command_line.h"
#include "run/file_pass.h"

#include <new>
#include <optional>

namespace zelvane {

int RunProgram(const std::vector<std::string>& words, const DateTimeSeparators& separators,
               LineWriter& standardOutput, LineWriter& standardError) {
  if (words.size() <= 1) {
    PrintUsage(standardOutput);
    return 0;
  }
  // The words are examined before anything is printed: where the listing
  // goes decides where the console lines go. Examining them prints nothing,
  // so the order that the user sees stays the same.
  const RunSettings settings = ParseArguments(words, separators);
  if (settings.request == RunRequest::kHelp) {
    PrintHelp(standardOutput);
    return 0;
  }
  if (settings.request == RunRequest::kVersion) {
    standardOutput.WriteLine(Concat("zelvane ", ZELVANE_VERSION));
    return 0;
  }
  // A listing on standard output must not be mixed with the console lines.
  LineWriter& console =
      settings.destination == kStandardStream ? standardError : standardOutput;
  const bool namesGiven = !settings.source.empty() && !settings.destination.empty();
  // A quiet run still shows the report when a name is missing: it tells which.
  if (!settings.quiet || !namesGiven) {
    console.WriteLine("Running...");
    console.WriteLine("");
    PrintSettings(settings, console);
  }
  if (!namesGiven) {
    PrintUsage(console);
    // Arguments without both names are a failed run: a script that passed an
    // empty variable must be able to tell that nothing was written.
    return 1;
  }
  // A console that cannot be written ends the run before any file is touched.
  console.Flush();
  return RunFilePass(settings, console, &standardOutput);
}

int Main(int argc, char** argv) {
  platform::PrepareProcess();
  // The locale is read once, before anything else may depend on it: only
  // the report of an invalid time stamp uses its separators, and from here
  // on the program runs in the "C" locale.
  const platform::LocaleSeparators locale = platform::ReadLocaleSeparators();
  const DateTimeSeparators separators{locale.date, locale.time, locale.decimal};
  const char* programPath = argc > 0 ? argv[0] : nullptr;
  platform::File output = platform::StandardOutput();
  const bool terminal = platform::IsTerminal(output);
  LineWriter standardOutput(std::move(output), terminal);
  // The console lines of a pipeline go out one by one, as on a terminal.
  LineWriter standardError(platform::StandardError(), true);
  try {
    std::vector<std::string> words;
    if (std::optional<std::string> raw = platform::RawCommandLine()) {
      words = SplitCommandLine(*raw);
    } else {
      words.assign(argv, argv + argc);
    }
    const int status = RunProgram(words, separators, standardOutput, standardError);
    standardOutput.Flush();
    return status;
  } catch (const Exception& failure) {
    standardOutput.PassOnAllQuietly();
    return ReportFailure(failure, programPath);
  } catch (const std::bad_alloc&) {
    standardOutput.PassOnAllQuietly();
    return ReportFailure(EOutOfMemory(), programPath);
  }
}

}  // namespace zelvane
