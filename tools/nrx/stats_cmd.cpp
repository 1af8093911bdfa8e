// nrx stats [FILE.csv]: summary statistics of the numeric columns of a CSV file (first line
// taken as a header when it is not numeric), or of the demonstration data shipped in
// tools/nrx/data/stats_demo.csv.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nrx/core.h"
#include "nrx/stats.h"
#include "tools/nrx/commands.h"

namespace {

struct Table {
  std::vector<std::string> names;
  std::vector<double> values;  // observation-major: row i at i * names.size()
  int64_t rows = 0;
};

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> out;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, ',')) {
    const size_t a = cell.find_first_not_of(" \t\r\""), b = cell.find_last_not_of(" \t\r\"");
    out.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
  }
  if (!line.empty() && line.back() == ',') out.push_back("");
  return out;
}

bool parse_number(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(s.c_str(), &end);
  return end && *end == '\0' && errno != ERANGE;
}

// Reads the file; returns an error text, empty on success.
std::string load_csv(const std::string& path, Table& t) {
  std::ifstream in(path);
  if (!in) return "cannot open " + path;
  std::string line;
  int64_t lineno = 0;
  while (std::getline(in, line)) {
    ++lineno;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const std::vector<std::string> cells = split(line);
    std::vector<double> row(cells.size());
    bool numeric = true;
    for (size_t j = 0; j < cells.size(); ++j) numeric = numeric && parse_number(cells[j], row[j]);
    if (t.names.empty()) {
      t.names = cells;
      if (!numeric) continue;  // header line
      for (size_t j = 0; j < cells.size(); ++j) t.names[j] = "x" + std::to_string(j + 1);
    }
    if (cells.size() != t.names.size())
      return path + ":" + std::to_string(lineno) + ": " + std::to_string(cells.size()) + " fields, expected " +
             std::to_string(t.names.size());
    if (!numeric) return path + ":" + std::to_string(lineno) + ": not a number";
    t.values.insert(t.values.end(), row.begin(), row.end());
    ++t.rows;
  }
  if (t.rows == 0) return path + ": no data rows";
  return "";
}


// Every basic estimate that has one value per variable, with the line it is printed on.
struct Row {
  const char* label;
  int64_t param;
  uint64_t bit;
};
const Row kRows[] = {
    {"mean", NRX_SS_PARAM_MEAN, NRX_SS_EST_MEAN},
    {"variance", NRX_SS_PARAM_CENTRAL_MOMENT_2, NRX_SS_EST_CENTRAL_MOMENT_2},
    {"skewness", NRX_SS_PARAM_SKEWNESS, NRX_SS_EST_SKEWNESS},
    {"kurtosis (excess)", NRX_SS_PARAM_KURTOSIS, NRX_SS_EST_KURTOSIS},
    {"variation", NRX_SS_PARAM_VARIATION, NRX_SS_EST_VARIATION},
    {"minimum", NRX_SS_PARAM_MINIMUM, NRX_SS_EST_MINIMUM},
    {"maximum", NRX_SS_PARAM_MAXIMUM, NRX_SS_EST_MAXIMUM},
    {"sum", NRX_SS_PARAM_SUM_1, NRX_SS_EST_SUM_1},
    {"raw moment 2", NRX_SS_PARAM_RAW_MOMENT_2, NRX_SS_EST_RAW_MOMENT_2},
    {"raw moment 3", NRX_SS_PARAM_RAW_MOMENT_3, NRX_SS_EST_RAW_MOMENT_3},
    {"raw moment 4", NRX_SS_PARAM_RAW_MOMENT_4, NRX_SS_EST_RAW_MOMENT_4},
    {"central moment 3", NRX_SS_PARAM_CENTRAL_MOMENT_3, NRX_SS_EST_CENTRAL_MOMENT_3},
    {"central moment 4", NRX_SS_PARAM_CENTRAL_MOMENT_4, NRX_SS_EST_CENTRAL_MOMENT_4},
};
constexpr int kRowCount = sizeof(kRows) / sizeof(kRows[0]);

void print_row(const char* label, const double* v, int64_t p) {
  std::printf("  %-18s", label);
  for (int64_t j = 0; j < p; ++j) std::printf(" %14.6g", v[j]);
  std::printf("\n");
}

}  // namespace

int nrx_cmd_stats(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")))) {
    std::printf("usage: nrx stats [FILE.csv]\n"
                "  mean, variance, skewness, kurtosis, variation, extremes, sums, moments and the\n"
                "  covariance and correlation matrices of the numeric columns of FILE.csv (a first\n"
                "  line that is not numeric names the columns); without FILE, a shipped data set\n");
    return argc > 2 ? 2 : 0;
  }
  const std::string path = argc == 2 ? argv[1] : nrx::demo::data_file("stats_demo.csv");
  Table tab;
  if (const std::string err = load_csv(path, tab); !err.empty()) {
    std::fprintf(stderr, "nrx stats: %s\n", err.c_str());
    return 1;
  }
  const int32_t p = int32_t(tab.names.size()), n = int32_t(tab.rows), layout = NRX_SS_STORAGE_COLUMNS;
  std::vector<double> results(size_t(kRowCount) * p), cov(size_t(p) * p), cor(size_t(p) * p);
  for (int k = 0; k < p; ++k) {
    results[size_t(5) * p + k] = INFINITY;  // minimum and maximum fold into these start values
    results[size_t(6) * p + k] = -INFINITY;
  }
  NrxSSTask* task = nullptr;
  int32_t st = _drudSSNewTask(&task, &p, &n, &layout, tab.values.data(), nullptr, nullptr, 0);
  uint64_t est = 0;
  for (int r = 0; r < kRowCount && st == 0; ++r) {
    st = _drudSSEditTask(task, kRows[r].param, &results[size_t(r) * p]);
    est |= kRows[r].bit;
  }
  if (st == 0) st = _drudSSEditCovCor(task, nullptr, cov.data(), nullptr, cor.data(), nullptr);
  const uint64_t basic = est & ~(NRX_SS_EST_MINIMUM | NRX_SS_EST_MAXIMUM);
  if (st == 0)
    st = drudSSBasic(task, basic | NRX_SS_EST_COVARIANCE | NRX_SS_EST_CORRELATION, NRX_SS_METHOD_ONE_PASS,
                     &nrx_threading_openmp);
  if (st == 0) st = drudSSMinmax(task, NRX_SS_EST_MINIMUM | NRX_SS_EST_MAXIMUM, NRX_SS_METHOD_FAST,
                                 &nrx_threading_openmp);
  _druSSDeleteTask(&task);
  if (st != 0) {
    std::fprintf(stderr, "nrx stats: the statistics routines returned status %d\n", st);
    return 1;
  }
  std::printf("%s: %d observations of %d variables (one-pass method)\n\n", path.c_str(), n, p);
  std::printf("  %-18s", "");
  for (const std::string& name : tab.names) std::printf(" %14.14s", name.c_str());
  std::printf("\n");
  for (int r = 0; r < kRowCount; ++r) {
    if (r == 1) {
      std::vector<double> sd(static_cast<size_t>(p));
      for (int j = 0; j < p; ++j) sd[j] = std::sqrt(results[size_t(p) + j]);
      print_row(kRows[r].label, &results[size_t(r) * p], p);
      print_row("standard deviation", sd.data(), p);
      continue;
    }
    print_row(kRows[r].label, &results[size_t(r) * p], p);
  }
  for (const auto& [title, m] : {std::pair{"covariance", &cov}, std::pair{"correlation", &cor}}) {
    std::printf("\n  %s\n", title);
    for (int i = 0; i < p; ++i) print_row(tab.names[i].c_str(), m->data() + size_t(i) * p, p);
  }
  return 0;
}
