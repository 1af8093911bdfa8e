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
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "nrx/core.h"
#include "nrx/fit.h"
#include "tools/nrx/commands.h"

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

struct Status {
    int32_t code;
    const char* text;
};
const Status kStatusText[] = {
    {DFK_ERR_NX, "too few data points for this spline"},
    {DFK_ERR_BC_TYPE, "boundary condition not accepted by this spline kind"},
    {DFK_ERR_BC, "boundary values missing"},
    {DFK_ERR_PERIODIC, "periodic condition needs equal first and last values"},
    {DFK_ERR_ALLOC, "out of memory"},
    {DFK_ERR_SOLVER, "the spline system could not be solved"},
};

const char* status_text(int32_t s) {
    for (const auto& e : kStatusText)
        if (e.code == s) return e.text;
    return "data fitting error";
}

std::vector<std::string> split(const std::string& line, char sep = ',') {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, sep)) {
        const size_t a = cell.find_first_not_of(" \t\r\""), b = cell.find_last_not_of(" \t\r\"");
        out.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
    }
    return out;
}

bool number(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && errno != ERANGE;
}

struct Data {
    std::vector<std::string> names;
    std::vector<std::vector<double>> rows;
};

std::string load(const std::string& path, Data& d) {
    std::ifstream in(path);
    if (!in) return "cannot open " + path;
    std::string line;
    int64_t lineno = 0;
    while (std::getline(in, line)) {
        ++lineno;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const auto cells = split(line);
        std::vector<double> row(cells.size());
        bool numeric = true;
        for (size_t j = 0; j < cells.size(); ++j) numeric = numeric && number(cells[j], row[j]);
        if (!numeric) {
            if (d.rows.empty() && d.names.empty()) {
                d.names = cells;
                continue;
            }
            return path + ":" + std::to_string(lineno) + ": not a number";
        }
        d.rows.push_back(row);
    }
    if (d.rows.empty()) return path + ": no data rows";
    return "";
}

int column(const Data& d, const std::string& key) {
    for (size_t j = 0; j < d.names.size(); ++j)
        if (d.names[j] == key) return int(j);
    double v;
    return number(key, v) ? int(v) : -1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: nrx fit [FILE.csv] [--x COL] [--y COL] [--kind K] [--bc B] [--grid N | --at a,b,...]\n"
                 "               [--deriv K] [--integral] [--out FILE] [--plot FILE.png]\n"
                 "  kinds: linear quadratic natural default bessel akima hyman\n"
                 "  boundary: free not-a-knot periodic clamped:L,R second:L,R\n");
    return 2;
}

}  // namespace

int nrx_cmd_fit(int argc, char** argv) {
    std::string file, xcol = "0", ycol = "1", kind = "natural", bcarg = "free", at, out, plot;
    int64_t grid = 200, deriv = 0;
    bool integral = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--help" || a == "-h") return usage(), 0;
        if (a == "--integral") {
            integral = true;
            continue;
        }
        if (a.rfind("--", 0) == 0 && !(v = next())) return usage();
        if (a == "--x") xcol = v;
        else if (a == "--y") ycol = v;
        else if (a == "--kind") kind = v;
        else if (a == "--bc") bcarg = v;
        else if (a == "--grid") grid = std::atoll(v);
        else if (a == "--at") at = v;
        else if (a == "--deriv") deriv = std::clamp<int64_t>(std::atoll(v), 0, 3);
        else if (a == "--out") out = v;
        else if (a == "--plot") plot = v;
        else if (a.rfind("--", 0) == 0) return usage();
        else file = a;
    }
    if (file.empty()) file = nrx::demo::data_file("fit_demo.csv");
    Data d;
    if (std::string err = load(file, d); !err.empty()) {
        std::fprintf(stderr, "nrx fit: %s\n", err.c_str());
        return 1;
    }
    const int cx = column(d, xcol), cy = column(d, ycol);
    std::vector<std::pair<double, double>> pts;
    for (const auto& r : d.rows)
        if (cx >= 0 && cy >= 0 && size_t(std::max(cx, cy)) < r.size()) pts.emplace_back(r[cx], r[cy]);
    if (pts.size() != d.rows.size()) {
        std::fprintf(stderr, "nrx fit: columns %s and %s not found in every row\n", xcol.c_str(), ycol.c_str());
        return 1;
    }
    std::sort(pts.begin(), pts.end());
    std::vector<double> x, y;
    for (const auto& p : pts) {
        if (!x.empty() && p.first == x.back()) {
            std::fprintf(stderr, "nrx fit: repeated x value %g\n", p.first);
            return 1;
        }
        x.push_back(p.first), y.push_back(p.second);
    }
    const Kind* k = nullptr;
    for (const auto& e : kKinds)
        if (kind == e.name) k = &e;
    const std::string bcname = bcarg.substr(0, bcarg.find(':'));
    const Bc* bc = nullptr;
    for (const auto& e : kBcs)
        if (bcname == e.name) bc = &e;
    if (!k || !bc) return usage();
    double bcv[2] = {0, 0};
    if (bc->values) {
        const auto vals = split(bcarg.substr(std::min(bcarg.size(), bcname.size() + 1)));
        if (vals.size() != 2 || !number(vals[0], bcv[0]) || !number(vals[1], bcv[1])) return usage();
    }
    const int64_t nx = int64_t(x.size());
    if (nx < k->min_nx) {
        std::fprintf(stderr, "nrx fit: %s needs at least %lld points, the data has %lld\n", k->name,
                     (long long)k->min_nx, (long long)nx);
        return 1;
    }
    int64_t bc_type = bc->type;
    if (k->order == 2) bc_type = 0;
    if (k->order == 3) bc_type = DFK_BC_QUAD_MIDPOINT, bcv[0] = (y[0] + y[1]) / 2;  // the chord's midpoint
    std::vector<double> coeff(size_t(k->order * nx));
    DfTask* task = nullptr;
    int32_t st = nrx_df_kernel_dNewTask1D(&task, nx, x.data(), DFK_NON_UNIFORM, 1, y.data(), DFK_ROWS, 0);
    if (st == 0)
        st = nrx_df_kernel_dEditPPSpline1D(task, k->order, k->type, bc_type, bcv, 0, nullptr, coeff.data(), 0);
    if (st == 0) st = k->build(task, 0, 0, &nrx_threading_openmp);
    std::vector<double> sites;
    if (!at.empty()) {
        for (const auto& s : split(at)) {
            double v;
            if (!number(s, v)) return usage();
            sites.push_back(v);
        }
    } else {
        grid = std::max<int64_t>(grid, 2);
        for (int64_t i = 0; i < grid; ++i) sites.push_back(x[0] + (x[nx - 1] - x[0]) * double(i) / double(grid - 1));
    }
    const int64_t nres = deriv + 1;
    std::vector<double> r(sites.size() * size_t(nres));
    const int32_t dorder[4] = {1, 1, 1, 1};
    if (st == 0)
        st = nrx_df_kernel_dDFInterpolate1D(task, DFK_INTERP, 0, int64_t(sites.size()), sites.data(), 0, nres, dorder,
                                            nullptr, r.data(), DFK_ROWS, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, &nrx_threading_openmp);
    double area = 0;
    if (st == 0 && integral)
        st = nrx_df_kernel_dDFIntegrate1D(task, 0, 1, &x[0], 0, &x[nx - 1], 0, nullptr, nullptr, &area, 0, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          &nrx_threading_openmp);
    if (task) nrx_df_kernel_DeleteTask(&task);
    if (st != 0) {
        std::fprintf(stderr, "nrx fit: %s (status %d)\n", status_text(st), st);
        return 1;
    }
    std::ostringstream csv;
    csv.precision(10);
    csv << (d.names.size() > size_t(cx) ? d.names[cx] : "x") << ',' << (d.names.size() > size_t(cy) ? d.names[cy] : "y");
    for (int64_t q = 1; q <= deriv; ++q) csv << ",d" << q;
    csv << '\n';
    for (size_t i = 0; i < sites.size(); ++i) {
        csv << sites[i];
        for (int64_t q = 0; q < nres; ++q) csv << ',' << r[i * nres + q];
        csv << '\n';
    }
    if (out.empty() && plot.empty()) {
        std::fputs(csv.str().c_str(), stdout);
    } else if (!out.empty()) {
        std::ofstream(out) << csv.str();
    }
    if (integral) std::fprintf(stderr, "integral over [%g, %g]: %.10g\n", x[0], x[nx - 1], area);
    std::fprintf(stderr, "%s spline (%s ends) through %lld points of %s, %zu sites\n", k->name, bc->name,
                 (long long)nx, file.c_str(), sites.size());
    if (!plot.empty()) {
        char tmpl[] = "/tmp/nrx-fit-XXXXXX";
        const int fd = mkstemp(tmpl);
        if (fd < 0) return 1;
        close(fd);
        const std::string curve = std::string(tmpl) + ".csv";
        std::rename(tmpl, curve.c_str());
        std::ofstream(curve) << csv.str();
        std::string script = nrx::demo::data_file("../plot_fit.py");
        const char* py = std::getenv("NRX_PYTHON");
        const std::string python = py ? py : access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
        const std::string cmd = python + " '" + script + "' '" + file + "' '" + curve + "' '" + plot + "' " +
                                std::to_string(cx) + " " + std::to_string(cy) + " '" + k->name + " (" + bc->name + " ends)'";
        const int rc = std::system(cmd.c_str());
        std::remove(curve.c_str());
        if (rc != 0) {
            std::fprintf(stderr, "nrx fit: plotting failed (python3 with matplotlib needed)\n");
            return 1;
        }
        std::fprintf(stderr, "plot written to %s\n", plot.c_str());
    }
    return 0;
}
