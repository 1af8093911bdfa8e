// Shared pieces of the nrx subcommands: strict option values, usage and failure messages,
// status texts, whole-or-nothing output files, running a helper without a shell, progress.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace nrx::cli {

// Prints "nrx CMD: REASON" and a pointer to --help on standard error; returns 2.
int usage_error(const char* cmd, const std::string& reason);

// Prints "nrx CMD: WHAT" on standard error; returns 1.
int fail(const char* cmd, const std::string& what);

// The fields of a comma-separated list, blanks and quotes trimmed from each.
std::vector<std::string> split(const std::string& line, char sep = ',');

// A whole decimal integer in [lo, hi]; on failure prints a usage error naming the option.
bool parse_int(const char* cmd, const char* opt, const char* text, long long lo, long long hi, long long& out);

// A whole finite real number; on failure prints a usage error naming the option.
bool parse_real(const char* cmd, const char* opt, const char* text, double& out);

// "DFK_ERR_NX: too few breakpoints (status -1004)", or "status -1004" for an unknown code.
std::string status_text(int32_t service, int32_t code);

// An output file that appears only when complete: writes go to a temporary file beside the
// target, renamed over it by commit(). Without commit() the temporary file is removed.
// "-" is standard output; a target that exists and is not a regular file (a device, a
// pipe) is written in place.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  // Opens the target for writing through file(); false with a message in err.
  bool open(const std::string& target, std::string& err);
  // Creates the temporary file and closes it again, for a writer that takes a path.
  bool reserve(const std::string& target, std::string& err);
  FILE* file() const { return file_; }
  // The path to write: the temporary file, or the target itself when written in place.
  const std::string& path() const { return path_; }
  // Flushes, checks every error and renames; false with a message in err.
  bool commit(std::string& err);

 private:
  std::string target_, path_;
  FILE* file_ = nullptr;
  bool temporary_ = false, is_stdout_ = false;
};

// Runs argv[0] with the arguments argv (no shell) and waits. Returns its exit status, or -1
// with a message in err when it could not be started or was killed by a signal.
int run_program(const std::vector<std::string>& argv, std::string& err);

// Progress of long work as "\rnrx CMD: WHAT 42%" on standard error, when standard error is
// a terminal or when forced; at most a few updates a second.
class Progress {
 public:
  Progress(const char* cmd, const char* what, bool forced);
  ~Progress();
  void update(double fraction);

 private:
  const char *cmd_, *what_;
  bool on_;
  int last_ = -1;
  double next_ = 0;
};

// Directory of the running executable.
std::string self_dir();

}  // namespace nrx::cli
