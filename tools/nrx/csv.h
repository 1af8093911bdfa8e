// The CSV reader of nrx stats and nrx fit: numeric cells separated by commas, one row per
// line, blank lines skipped, a first line that is not numeric taken as the column names.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace nrx::cli {

struct Table {
  std::vector<std::string> names;  // from the header line; empty without one
  std::vector<double> values;      // row-major: row i at i * columns
  size_t columns = 0;
  int64_t rows = 0;
};

// Largest table accepted: the statistics and fitting calls count rows and columns in
// 32-bit integers.
constexpr int64_t kMaxRows = INT32_MAX;
constexpr size_t kMaxColumns = 100000;

// Reads `in` into `t`; returns an error text naming `where` and the line, empty on success.
// `progress`, when given, is called now and then with the bytes read so far.
std::string read_csv(std::istream& in, const std::string& where, Table& t, void (*progress)(void*, uint64_t) = nullptr,
                     void* ctx = nullptr);

// Reads the file at `path` ("-" is standard input), with progress on large files.
std::string load_csv(const std::string& path, Table& t, const char* cmd, bool progress);

}  // namespace nrx::cli
