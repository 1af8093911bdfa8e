// nrx stats [--quantiles q,q,...] [FILE.csv | -]: summary statistics, the median, quantiles and
// absolute deviations of the numeric columns of a CSV file (first line taken as a header when it
// is not numeric), or of the shipped demonstration data.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "nrx/core.h"
#include "nrx/stats.h"
#include "nrx/status.h"
#include "tools/nrx/cli.h"
#include "tools/nrx/commands.h"
#include "tools/nrx/csv.h"

namespace {

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

// Quantile orders printed when none are given: the quartiles and the 5% and 95% points.
const double kDefaultOrders[] = {0.05, 0.25, 0.75, 0.95};

void help() {
  std::printf(
      "usage: nrx stats [--quantiles q1,q2,...] [--progress] [FILE.csv | -]\n"
      "  mean, variance, skewness, kurtosis, variation, extremes, sums, moments, the\n"
      "  median, quantiles, the median and mean absolute deviations and the covariance\n"
      "  and correlation matrices of the numeric columns of FILE.csv (a first line that\n"
      "  is not numeric names the columns); - reads standard input; without FILE, a\n"
      "  shipped data set. --quantiles: orders in [0, 1] (default 0.05,0.25,0.75,0.95;\n"
      "  'none' for no quantile rows), each the linear interpolation between the two\n"
      "  nearest order statistics. --progress reports reading on standard error even\n"
      "  when it is not a terminal.\n");
}

// Orders from a comma-separated list; false (after a usage error) for a bad one.
bool parse_orders(const std::string& text, std::vector<double>& orders) {
  orders.clear();
  if (text == "none") return true;
  for (const std::string& v : nrx::cli::split(text)) {
    double q;
    if (!nrx::cli::parse_real("stats", "--quantiles", v.c_str(), q)) return false;
    if (q < 0 || q > 1) {
      nrx::cli::usage_error("stats", "--quantiles: " + v + " is not in [0, 1]");
      return false;
    }
    orders.push_back(q);
  }
  if (orders.empty()) {
    nrx::cli::usage_error("stats", "--quantiles: no orders given");
    return false;
  }
  return true;
}

// Order label of a quantile row: "quantile 0.25".
std::string order_label(double q) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "quantile %.6g", q);
  return buf;
}

}  // namespace

int nrx_cmd_stats(int argc, char** argv) {
  namespace cli = nrx::cli;
  std::string path;
  bool progress = false;
  std::vector<double> orders(std::begin(kDefaultOrders), std::end(kDefaultOrders));
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") return help(), 0;
    if (a == "--progress") progress = true;
    else if (a == "--quantiles") {
      if (i + 1 == argc) return cli::usage_error("stats", "--quantiles needs a list of orders");
      if (!parse_orders(argv[++i], orders)) return 2;
    } else if (a.size() > 1 && a[0] == '-') return cli::usage_error("stats", "unknown option " + a);
    else if (!path.empty()) return cli::usage_error("stats", "more than one file: " + path + " and " + a);
    else path = a;
  }
  if (path.empty()) path = nrx::demo::data_file("stats_demo.csv");
  cli::Table tab;
  if (const std::string err = cli::load_csv(path, tab, "stats", progress); !err.empty()) return cli::fail("stats", err);
  // The covariance and correlation matrices take p * p values each.
  constexpr size_t kMaxVariables = 4096;
  if (tab.columns > kMaxVariables)
    return cli::fail("stats", path + ": " + std::to_string(tab.columns) + " columns, at most " +
                                  std::to_string(kMaxVariables) + " can be analysed together");
  if (tab.names.empty())
    for (size_t j = 0; j < tab.columns; ++j) tab.names.push_back(std::string(1, 'x').append(std::to_string(j + 1)));
  const int32_t p = int32_t(tab.columns), n = int32_t(tab.rows), layout = NRX_SS_STORAGE_COLUMNS;
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
  if (st == 0)
    st = drudSSMinmax(task, NRX_SS_EST_MINIMUM | NRX_SS_EST_MAXIMUM, NRX_SS_METHOD_FAST, &nrx_threading_openmp);
  // The median is the quantile of order 0.5, asked for ahead of the given orders.
  std::vector<double> all_orders{0.5};
  all_orders.insert(all_orders.end(), orders.begin(), orders.end());
  const int32_t m = int32_t(all_orders.size());
  std::vector<double> quantiles(size_t(m) * p), mad(static_cast<size_t>(p)), meanad(static_cast<size_t>(p));
  if (st == 0) st = _druiSSEditTask(task, NRX_SS_PARAM_QUANTILE_ORDER_COUNT, &m);
  if (st == 0) st = _drudSSEditTask(task, NRX_SS_PARAM_QUANTILE_ORDERS, all_orders.data());
  if (st == 0) st = _drudSSEditTask(task, NRX_SS_PARAM_QUANTILES, quantiles.data());
  if (st == 0) st = _drudSSEditTask(task, NRX_SS_PARAM_MEDIAN_ABS_DEVIATION, mad.data());
  if (st == 0) st = _drudSSEditTask(task, NRX_SS_PARAM_MEAN_ABS_DEVIATION, meanad.data());
  if (st == 0) st = drudSSQuantiles(task, NRX_SS_EST_QUANTILES, NRX_SS_METHOD_QUANTILES, &nrx_threading_openmp);
  if (st == 0)
    st = drudSSMAD(task, NRX_SS_EST_MEDIAN_ABS_DEVIATION | NRX_SS_EST_MEAN_ABS_DEVIATION, NRX_SS_METHOD_FAST,
                   &nrx_threading_openmp);
  _druSSDeleteTask(&task);
  if (st != 0) return cli::fail("stats", cli::status_text(NRX_SERVICE_STATS, st));
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
  // Quantile o of component j sits at quantiles[j m + o].
  std::vector<double> row(static_cast<size_t>(p));
  for (int32_t o = 0; o < m; ++o) {
    for (int j = 0; j < p; ++j) row[j] = quantiles[size_t(j) * m + o];
    print_row(o == 0 ? "median" : order_label(all_orders[o]).c_str(), row.data(), p);
  }
  print_row("median abs. dev.", mad.data(), p);
  print_row("mean abs. dev.", meanad.data(), p);
  for (const auto& [title, m] : {std::pair{"covariance", &cov}, std::pair{"correlation", &cor}}) {
    std::printf("\n  %s\n", title);
    for (int i = 0; i < p; ++i) print_row(tab.names[i].c_str(), m->data() + size_t(i) * p, p);
  }
  std::fflush(stdout);
  if (std::ferror(stdout)) return cli::fail("stats", "cannot write standard output");
  return 0;
}
