// The CSV reader of nrx stats and nrx fit.
#include "tools/nrx/csv.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "tools/nrx/cli.h"

namespace nrx::cli {

namespace {

// Cells with surrounding blanks and quotes removed; a trailing comma makes an empty cell.
void split(const std::string& line, std::vector<std::string>& out) {
  out.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = line.find(',', start);
    const size_t end = comma == std::string::npos ? line.size() : comma;
    const size_t a = line.find_first_not_of(" \t\r\"", start);
    if (a == std::string::npos || a >= end) {
      out.emplace_back();
    } else {
      const size_t b = line.find_last_not_of(" \t\r\"", end - 1);
      out.push_back(line.substr(a, b - a + 1));
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

bool number(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(s.c_str(), &end);
  return *end == '\0' && errno != ERANGE;
}

}  // namespace

std::string read_csv(std::istream& in, const std::string& where, Table& t, void (*progress)(void*, uint64_t),
                     void* ctx) {
  t = Table{};
  std::string line;
  std::vector<std::string> cells;
  std::vector<double> row;
  int64_t lineno = 0;
  uint64_t bytes = 0;
  bool first = true;
  while (std::getline(in, line)) {
    ++lineno;
    bytes += line.size() + 1;
    if (progress && (lineno & 0xFFFF) == 0) progress(ctx, bytes);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const std::string at = where + ":" + std::to_string(lineno) + ": ";
    split(line, cells);
    if (cells.size() > kMaxColumns) return at + "more than " + std::to_string(kMaxColumns) + " columns";
    row.resize(cells.size());
    size_t bad = cells.size();
    for (size_t j = 0; j < cells.size() && bad == cells.size(); ++j)
      if (!number(cells[j], row[j])) bad = j;
    if (first) {
      first = false;
      t.columns = cells.size();
      if (bad != cells.size()) {
        t.names = cells;
        continue;
      }
    }
    if (cells.size() != t.columns)
      return at + std::to_string(cells.size()) + " fields, expected " + std::to_string(t.columns);
    if (bad != cells.size())
      return at + "field " + std::to_string(bad + 1) + " '" + cells[bad].substr(0, 40) + "' is not a number";
    if (t.rows == kMaxRows) return at + "more than " + std::to_string(kMaxRows) + " rows";
    t.values.insert(t.values.end(), row.begin(), row.end());
    ++t.rows;
  }
  if (in.bad()) return where + ": read error";
  if (t.rows == 0) return where + ": no data rows";
  return "";
}

namespace {

struct FileProgress {
  Progress bar;
  uint64_t size;
};

void report(void* ctx, uint64_t bytes) {
  auto* p = static_cast<FileProgress*>(ctx);
  if (p->size) p->bar.update(double(bytes) / double(p->size));
}

}  // namespace

std::string load_csv(const std::string& path, Table& t, const char* cmd, bool progress) {
  struct stat st {};
  const bool regular = path != "-" && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  // Small files finish before a progress line would be worth printing.
  FileProgress p{Progress(cmd, "reading", progress), regular ? uint64_t(st.st_size) : 0};
  const bool show = regular && (progress || st.st_size > (64 << 20));
  if (path == "-") return read_csv(std::cin, "standard input", t);
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot open " + path + ": " + std::strerror(errno);
  return read_csv(in, path, t, show ? report : nullptr, &p);
}

}  // namespace nrx::cli
