// Shared pieces of the nrx subcommands.
#include "tools/nrx/cli.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "nrx/status.h"

extern char** environ;

namespace nrx::cli {

int usage_error(const char* cmd, const std::string& reason) {
  std::fprintf(stderr, "nrx %s: %s\n(nrx %s --help lists the options)\n", cmd, reason.c_str(), cmd);
  return 2;
}

int fail(const char* cmd, const std::string& what) {
  std::fprintf(stderr, "nrx %s: %s\n", cmd, what.c_str());
  return 1;
}

bool parse_int(const char* cmd, const char* opt, const char* text, long long lo, long long hi, long long& out) {
  char* end = nullptr;
  errno = 0;
  const long long v = text && *text ? std::strtoll(text, &end, 10) : 0;
  if (!text || !*text || *end != '\0' || errno == ERANGE || v < lo || v > hi) {
    usage_error(cmd, std::string(opt) + ": '" + (text ? text : "") + "' is not a whole number from " +
                         std::to_string(lo) + " to " + std::to_string(hi));
    return false;
  }
  out = v;
  return true;
}

bool parse_real(const char* cmd, const char* opt, const char* text, double& out) {
  char* end = nullptr;
  errno = 0;
  const double v = text && *text ? std::strtod(text, &end) : 0;
  if (!text || !*text || *end != '\0' || errno == ERANGE || !std::isfinite(v)) {
    usage_error(cmd, std::string(opt) + ": '" + (text ? text : "") + "' is not a finite number");
    return false;
  }
  out = v;
  return true;
}

std::string status_text(int32_t service, int32_t code) {
  const char* name = nrx_status_name(service, code);
  const char* msg = nrx_status_message(service, code);
  if (!name) return "status " + std::to_string(code);
  return std::string(name) + ": " + (msg ? msg : "") + " (status " + std::to_string(code) + ")";
}

namespace {

std::string errno_text(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

Output::~Output() {
  if (file_ && !is_stdout_) std::fclose(file_);
  if (temporary_) std::remove(path_.c_str());
}

bool Output::reserve(const std::string& target, std::string& err) {
  target_ = target;
  struct stat st {};
  if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    path_ = target;  // a device or a pipe: nothing to rename over
    return true;
  }
  std::string tmpl = target + ".XXXXXX";
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) {
    err = "cannot write " + errno_text(target);
    return false;
  }
  close(fd);
  path_ = tmpl;
  temporary_ = true;
  return true;
}

bool Output::open(const std::string& target, std::string& err) {
  if (target == "-") {
    target_ = path_ = target;
    file_ = stdout;
    is_stdout_ = true;
    return true;
  }
  if (!reserve(target, err)) return false;
  file_ = std::fopen(path_.c_str(), "wb");
  if (!file_) {
    err = "cannot write " + errno_text(target_);
    return false;
  }
  return true;
}

bool Output::commit(std::string& err) {
  bool ok = true;
  if (file_) {
    ok = std::fflush(file_) == 0 && !std::ferror(file_);
    if (ok && !is_stdout_ && temporary_) ok = fsync(fileno(file_)) == 0;
    if (!is_stdout_) ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (!ok) {
      err = "cannot write " + errno_text(is_stdout_ ? "standard output" : target_);
      return false;
    }
  }
  if (temporary_) {
    // mkstemp made the file private; give it the mode a new file would have.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(path_.c_str(), 0666 & ~mask);
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
      err = "cannot write " + errno_text(target_);
      return false;
    }
    temporary_ = false;
  }
  return true;
}

int run_program(const std::vector<std::string>& argv, std::string& err) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (rc != 0) {
    err = argv[0] + ": " + std::strerror(rc);
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) {
      err = argv[0] + ": " + std::strerror(errno);
      return -1;
    }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  err = argv[0] + ": killed by signal " + std::to_string(WTERMSIG(status));
  return -1;
}

namespace {

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Progress::Progress(const char* cmd, const char* what, bool forced)
    : cmd_(cmd), what_(what), on_(forced || isatty(STDERR_FILENO)), next_(now_seconds() + 0.5) {}

void Progress::update(double fraction) {
  if (!on_) return;
  const int pct = int(fraction * 100);
  const double t = now_seconds();
  if (pct == last_ || t < next_) return;
  next_ = t + 0.25;
  last_ = pct;
  std::fprintf(stderr, "\rnrx %s: %s %3d%%", cmd_, what_, pct);
  std::fflush(stderr);
}

Progress::~Progress() {
  if (on_ && last_ >= 0) std::fprintf(stderr, "\rnrx %s: %s 100%%\n", cmd_, what_);
}

std::string self_dir() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string p(buf, size_t(n));
  return p.substr(0, p.find_last_of('/'));
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, sep)) {
    const size_t a = cell.find_first_not_of(" \t\r\""), b = cell.find_last_not_of(" \t\r\"");
    out.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
  }
  return out;
}

}  // namespace nrx::cli
