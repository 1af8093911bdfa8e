// nrx fit [FILE.csv] [options]: fits a spline to two columns of a CSV file (first line taken
// as a header when it is not numeric) and writes the spline evaluated on a grid or at given
// sites as CSV. Without a file it fits the demonstration data tools/nrx/data/fit_demo.csv.
//
//   --x COL / --y COL     column names or 0-based indices (default 0 and 1)
//   --kind K              linear, quadratic, natural (default), default, bessel, akima, hyman
//   --bc B                free (default), not-a-knot, periodic, clamped:L,R, second:L,R
//   --grid N              N evenly spaced sites over the data range (default 200)
//   --at a,b,c            evaluate at these sites instead
//   --deriv K             also write derivatives 1..K (K <= 3)
//   --integral            print the integral over the data range on standard error
//   --out FILE            write the CSV there instead of standard output
//   --plot FILE.png       draw data and spline (python3 with matplotlib, plot_fit.py)
//   --progress            report reading a big file on standard error
// FILE "-" reads standard input.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "nrx/core.h"
#include "nrx/fit.h"
#include "nrx/status.h"
#include "tools/nrx/cli.h"
#include "tools/nrx/commands.h"
#include "tools/nrx/csv.h"

namespace {

struct Kind {
  const char* name;
  int64_t order, type;
  int32_t (*build)(DfTask*, int64_t, int64_t, const nrx_threading*);
  int64_t min_nx;
};
const Kind kKinds[] = {
    {"linear", 2, DFK_TYPE_DEFAULT, nrx_df_kernel_dDFLinearSpline1D, 2},
    {"quadratic", 3, DFK_TYPE_DEFAULT, nrx_df_kernel_dDFQuadraticSpline1D, 2},
    {"natural", 4, DFK_TYPE_NATURAL, nrx_df_kernel_dDFNaturalCubicSpline1D, 2},
    {"default", 4, DFK_TYPE_DEFAULT, nrx_df_kernel_dDFDefaultCubicSpline1D, 3},
    {"bessel", 4, DFK_TYPE_BESSEL, nrx_df_kernel_dDFBesselCubicSpline1D, 4},
    {"akima", 4, DFK_TYPE_AKIMA, nrx_df_kernel_dDFAkimaCubicSpline1D, 5},
    {"hyman", 4, DFK_TYPE_HYMAN, nrx_df_kernel_dDFHymanCubicSpline1D, 4},
};

struct Bc {
  const char* name;
  int64_t type;
  bool values;
};
const Bc kBcs[] = {
    {"free", DFK_BC_FREE_END, false},
    {"not-a-knot", DFK_BC_NOT_A_KNOT, false},
    {"periodic", DFK_BC_PERIODIC, false},
    {"clamped", DFK_BC_1ST_LEFT | DFK_BC_1ST_RIGHT, true},
    {"second", DFK_BC_2ND_LEFT | DFK_BC_2ND_RIGHT, true},
};

// A column by header name or by 0-based index; -1 when there is no such column.
int column(const nrx::cli::Table& d, const std::string& key) {
  for (size_t j = 0; j < d.names.size(); ++j)
    if (d.names[j] == key) return int(j);
  char* end = nullptr;
  const long v = std::strtol(key.c_str(), &end, 10);
  return !key.empty() && *end == '\0' && v >= 0 && size_t(v) < d.columns ? int(v) : -1;
}

constexpr long long kMaxSites = 10000000;  // 10^7 sites and 4 results each stay below 400 MB

void help() {
  std::printf(
      "usage: nrx fit [FILE.csv | -] [--x COL] [--y COL] [--kind K] [--bc B] [--grid N | --at a,b,...]\n"
      "               [--deriv K] [--integral] [--out FILE] [--plot FILE.png] [--progress]\n"
      "  kinds: linear quadratic natural default bessel akima hyman\n"
      "  boundary: free not-a-knot periodic clamped:L,R second:L,R\n"
      "  --grid N: N sites from 2 to 10000000 (default 200); --deriv K: 0 to 3\n");
}

}  // namespace

int nrx_cmd_fit(int argc, char** argv) {
  namespace cli = nrx::cli;
  std::string file, xcol = "0", ycol = "1", kind = "natural", bcarg = "free", at, out, plot;
  long long grid = 200, deriv = 0;
  bool integral = false, progress = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") return help(), 0;
    if (a == "--integral" || a == "--progress") {
      (a == "--integral" ? integral : progress) = true;
      continue;
    }
    if (a.size() > 1 && a[0] == '-') {
      if (i + 1 >= argc) return cli::usage_error("fit", a + " needs a value");
      const char* v = argv[++i];
      if (a == "--x") xcol = v;
      else if (a == "--y") ycol = v;
      else if (a == "--kind") kind = v;
      else if (a == "--bc") bcarg = v;
      else if (a == "--grid") {
        if (!cli::parse_int("fit", "--grid", v, 2, kMaxSites, grid)) return 2;
      } else if (a == "--at") at = v;
      else if (a == "--deriv") {
        if (!cli::parse_int("fit", "--deriv", v, 0, 3, deriv)) return 2;
      } else if (a == "--out") out = v;
      else if (a == "--plot") plot = v;
      else return cli::usage_error("fit", "unknown option " + a);
    } else if (!file.empty()) {
      return cli::usage_error("fit", "more than one file: " + file + " and " + a);
    } else {
      file = a;
    }
  }
  const Kind* k = nullptr;
  for (const auto& e : kKinds)
    if (kind == e.name) k = &e;
  if (!k) return cli::usage_error("fit", "--kind: unknown spline kind '" + kind + "'");
  const std::string bcname = bcarg.substr(0, bcarg.find(':'));
  const Bc* bc = nullptr;
  for (const auto& e : kBcs)
    if (bcname == e.name) bc = &e;
  if (!bc) return cli::usage_error("fit", "--bc: unknown boundary condition '" + bcarg + "'");
  double bcv[2] = {0, 0};
  if (bc->values) {
    const auto vals = cli::split(bcarg.substr(std::min(bcarg.size(), bcname.size() + 1)));
    if (vals.size() != 2) return cli::usage_error("fit", "--bc " + bcname + " needs two values, as " + bcname + ":L,R");
    for (int q = 0; q < 2; ++q)
      if (!cli::parse_real("fit", "--bc", vals[q].c_str(), bcv[q])) return 2;
  }
  std::vector<double> sites;
  if (!at.empty()) {
    for (const auto& v : cli::split(at)) {
      double site;
      if (!cli::parse_real("fit", "--at", v.c_str(), site)) return 2;
      if (sites.size() == size_t(kMaxSites)) return cli::usage_error("fit", "--at: more than 10000000 sites");
      sites.push_back(site);
    }
  }
  if (!out.empty() && out == plot) return cli::usage_error("fit", "--out and --plot name the same file");

  if (file.empty()) file = nrx::demo::data_file("fit_demo.csv");
  cli::Table d;
  if (std::string err = cli::load_csv(file, d, "fit", progress); !err.empty()) return cli::fail("fit", err);
  const int cx = column(d, xcol), cy = column(d, ycol);
  if (cx < 0 || cy < 0) return cli::fail("fit", "no column " + (cx < 0 ? xcol : ycol) + " in " + file);
  std::vector<std::pair<double, double>> pts;
  for (int64_t i = 0; i < d.rows; ++i) pts.emplace_back(d.values[i * d.columns + cx], d.values[i * d.columns + cy]);
  std::sort(pts.begin(), pts.end());
  std::vector<double> x, y;
  for (const auto& p : pts) {
    if (!x.empty() && p.first == x.back()) {
      char b[64];
      std::snprintf(b, sizeof b, "repeated x value %g", p.first);
      return cli::fail("fit", b);
    }
    x.push_back(p.first), y.push_back(p.second);
  }
  const int64_t nx = int64_t(x.size());
  if (nx < k->min_nx)
    return cli::fail("fit", std::string(k->name) + " needs at least " + std::to_string(k->min_nx) +
                                " points, the data has " + std::to_string(nx));
  if (at.empty())
    for (long long i = 0; i < grid; ++i) sites.push_back(x[0] + (x[nx - 1] - x[0]) * double(i) / double(grid - 1));
  int64_t bc_type = bc->type;
  if (k->order == 2) bc_type = 0;
  if (k->order == 3) bc_type = DFK_BC_QUAD_MIDPOINT, bcv[0] = (y[0] + y[1]) / 2;  // the chord's midpoint
  std::vector<double> coeff(size_t(k->order * nx));
  DfTask* task = nullptr;
  int32_t st = nrx_df_kernel_dNewTask1D(&task, nx, x.data(), DFK_NON_UNIFORM, 1, y.data(), DFK_ROWS, 0);
  if (st == 0) st = nrx_df_kernel_dEditPPSpline1D(task, k->order, k->type, bc_type, bcv, 0, nullptr, coeff.data(), 0);
  if (st == 0) st = k->build(task, 0, 0, &nrx_threading_openmp);
  const int64_t nres = deriv + 1;
  std::vector<double> r(sites.size() * size_t(nres));
  const int32_t dorder[4] = {1, 1, 1, 1};
  if (st == 0)
    st = nrx_df_kernel_dDFInterpolate1D(task, DFK_INTERP, 0, int64_t(sites.size()), sites.data(), 0, nres, dorder,
                                        nullptr, r.data(), DFK_ROWS, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, &nrx_threading_openmp);
  double area = 0;
  if (st == 0 && integral)
    st = nrx_df_kernel_dDFIntegrate1D(task, 0, 1, &x[0], 0, &x[nx - 1], 0, nullptr, nullptr, &area, 0, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nrx_threading_openmp);
  if (task) nrx_df_kernel_DeleteTask(&task);
  if (st != 0)
    return cli::fail("fit", std::string(k->name) + " spline (" + bc->name + " ends) through " + file + ": " +
                                cli::status_text(NRX_SERVICE_FIT, st));

  std::ostringstream csv;
  csv.precision(10);
  csv << (d.names.empty() ? "x" : d.names[cx]) << ',' << (d.names.empty() ? "y" : d.names[cy]);
  for (int64_t q = 1; q <= deriv; ++q) csv << ",d" << q;
  csv << '\n';
  for (size_t i = 0; i < sites.size(); ++i) {
    csv << sites[i];
    for (int64_t q = 0; q < nres; ++q) csv << ',' << r[i * nres + q];
    csv << '\n';
  }
  std::string err;
  if (plot.empty() || !out.empty()) {
    cli::Output o;
    const std::string text = csv.str();
    if (!o.open(out.empty() ? "-" : out, err)) return cli::fail("fit", err);
    std::fwrite(text.data(), 1, text.size(), o.file());
    if (!o.commit(err)) return cli::fail("fit", err);
  }
  if (!plot.empty()) {
    // The curve goes to a temporary file beside the picture; the picture itself is
    // drawn into a temporary file too and renamed when the helper succeeded.
    // The points go to the helper as read here, so standard input can be plotted too.
    cli::Output points, curve, png;
    std::ostringstream data;
    data.precision(17);
    for (int64_t i = 0; i < nx; ++i) data << x[i] << ',' << y[i] << '\n';
    for (auto [o, text] : {std::pair{&points, data.str()}, std::pair{&curve, csv.str()}}) {
      if (!o->open(plot + ".part", err)) return cli::fail("fit", err);
      std::fwrite(text.data(), 1, text.size(), o->file());
      if (std::fflush(o->file()) != 0) return cli::fail("fit", "cannot write " + o->path());
    }
    if (!png.reserve(plot, err)) return cli::fail("fit", err);
    const char* py = std::getenv("NRX_PYTHON");
    const std::vector<std::string> cmd = {py                                      ? py
                                          : access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3"
                                                                                  : "python3",
                                          nrx::demo::data_file("../plot_fit.py"),
                                          points.path(),
                                          curve.path(),
                                          png.path(),
                                          "0",
                                          "1",
                                          std::string(k->name) + " (" + bc->name + " ends)"};
    const int rc = cli::run_program(cmd, err);
    if (rc != 0) return cli::fail("fit", "plotting failed (" + (rc < 0 ? err : "python3 with matplotlib needed") + ")");
    if (!png.commit(err)) return cli::fail("fit", err);
    std::fprintf(stderr, "plot written to %s\n", plot.c_str());
  }
  if (integral) std::fprintf(stderr, "integral over [%g, %g]: %.10g\n", x[0], x[nx - 1], area);
  std::fprintf(stderr, "%s spline (%s ends) through %lld points of %s, %zu sites\n", k->name, bc->name, (long long)nx,
               file.c_str(), sites.size());
  return 0;
}
