#include "tools/accuracy/sampling.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace nrx::accuracy {

using catalog::Shape;

namespace {

double u01(std::mt19937_64& g) { return double(g() >> 11) * 0x1p-53; }
bool coin(std::mt19937_64& g) { return g() & 1; }

double fit(double v, Format f) { return f.p == kSingle.p ? double(float(v)) : v; }
double smallest(Format f) { return std::ldexp(1.0, f.emin - 1); }
double largest(Format f) { return std::ldexp(1.0 - std::ldexp(1.0, -f.p), f.emax); }

double log_between(double a, double b, std::mt19937_64& g) {
  if (a >= b) return a;
  const double la = std::log(a), lb = std::log(b);
  return std::exp(la + u01(g) * (lb - la));
}

Input input(double a0, double a1 = 0, double b0 = 0, double b1 = 0) { return Input{a0, a1, b0, b1, 0, 0, 0, 0}; }

struct Draw {
  const catalog::Entry& e;
  Format f;
  double lo, hi;
  std::mt19937_64 rng;
  std::vector<double> specials;

  double in(double a, double b, bool log_scale) { return draw_in(a, b, log_scale, f, rng); }
  double dom(bool log_scale) { return in(lo, hi, log_scale); }
  double sym(bool log_scale) {  // symmetric version of the domain, for complex parts
    const double m = std::max(std::fabs(lo), std::fabs(hi));
    return in(-m, m, log_scale);
  }
  double wide() { return in(-largest(f), largest(f), true); }
  double uniform(double a, double b) { return fit(a + u01(rng) * (b - a), f); }

  // A logarithm of the result of x^y spread over the whole range of the format, a little
  // beyond it at both ends so that overflow and underflow are reached.
  double log_result() {
    const double a = std::log(smallest(f)) * 1.02, b = std::log(largest(f)) * 1.02;
    return a + u01(rng) * (b - a);
  }

  Input pow_pair(bool negative_base) {
    const double r = u01(rng);
    double x, y;
    if (r < 0.70) {
      x = in(1e-3, 1e3, true);
      y = x == 1 ? uniform(-100, 100) : fit(log_result() / std::log(x), f);
    } else if (r < 0.85) {
      x = dom(coin(rng));
      y = uniform(-5, 5);
    } else if (r < 0.95 && negative_base) {
      x = -in(1e-3, 1e3, true);
      y = coin(rng) ? std::nearbyint(log_result() / std::log(-x)) : uniform(-5, 5);
    } else {
      const int k = 1 + int(u01(rng) * (f.p - 1));
      x = fit(1 + (coin(rng) ? 1 : -1) * std::ldexp(1.0, -k), f);
      y = fit(log_result() / std::log(x), f);
    }
    return input(x, 0, y);
  }

  Input related_pair() {
    const double a = dom(coin(rng));
    double b;
    switch (rng() % 5) {
      case 0: b = a; break;
      case 1: b = -a; break;
      case 2: b = f.p == kSingle.p ? double(std::nextafter(float(a), INFINITY)) : std::nextafter(a, INFINITY); break;
      case 3: b = fit(2 * a, f); break;
      default: b = fit(a / 3, f); break;
    }
    return input(a, 0, b);
  }
};

void cross(Group& g, const std::vector<double>& s, const std::vector<double>& t, bool complex_pairs) {
  for (double x : s)
    for (double y : t) g.push_back(complex_pairs ? input(x, y) : input(x, 0, y));
}

}  // namespace

double draw_in(double lo, double hi, bool log_scale, Format f, std::mt19937_64& rng) {
  const double big = largest(f);
  lo = std::clamp(lo, -big, big);
  hi = std::clamp(hi, -big, big);
  if (!(lo < hi)) return fit(lo, f);
  if (!log_scale) {
    const double u = u01(rng);
    return fit(lo * (1 - u) + hi * u, f);
  }
  const double tiny = smallest(f);
  if (lo >= 0) return fit(log_between(std::max(lo, tiny), hi, rng), f);
  if (hi <= 0) return -fit(log_between(std::max(-hi, tiny), -lo, rng), f);
  const bool neg = coin(rng);
  const double m = log_between(tiny, neg ? -lo : hi, rng);
  return fit(neg ? -m : m, f);
}

std::vector<double> special_values(Format f) {
  const double tiny = smallest(f), min_normal = std::ldexp(1.0, f.emin + f.p - 2);
  const double max_sub = min_normal - tiny, big = largest(f);
  return {0.0, -0.0, tiny,     -tiny,     max_sub, -max_sub, min_normal, -min_normal,
          big, -big, INFINITY, -INFINITY, NAN,     0.75,     1.0,        -1.0};
}

std::vector<Group> draw_inputs(const catalog::Entry& e, const Options& o) {
  const Format f = format_of(e);
  Draw d{e,
         f,
         o.range ? o.lo : e.lo,
         o.range ? o.hi : e.hi,
         std::mt19937_64(o.seed * 0x9E3779B97F4A7C15ull + std::hash<std::string>{}(table_name(e))),
         {}};
  d.specials = special_values(f);
  for (double v : o.special) d.specials.push_back(fit(v, f));
  for (double v : {d.lo, d.hi})
    if (std::isfinite(v) && std::find(d.specials.begin(), d.specials.end(), fit(v, f)) == d.specials.end())
      d.specials.push_back(fit(v, f));
  const std::vector<double>& S = d.specials;
  const size_t n = o.samples;
  const bool cx = e.type == 'c' || e.type == 'z';
  const std::string key = oracle_key(e);
  std::vector<Group> out(1);
  Group& g = out[0];

  switch (e.shape) {
    case Shape::v1:
    case Shape::v1r2:
    case Shape::r2c:
    case Shape::c2r:
      if (!cx || e.shape == Shape::r2c) {
        for (size_t i = 0; i < n; ++i) g.push_back(input(d.dom(i & 1)));
        for (double s : S) g.push_back(input(s));
      } else {
        for (size_t i = 0; i < n; ++i) g.push_back(input(d.sym(i & 1), d.sym(i & 2)));
        cross(g, S, S, true);
      }
      break;

    case Shape::v2:
      if (!cx) {
        for (size_t i = 0; i < n; ++i) {
          const double r = u01(d.rng);
          if (key == "pow" || key == "powr") g.push_back(d.pow_pair(key == "pow"));
          else if (r < 0.8) g.push_back(input(d.dom(i & 1), 0, d.dom(i & 2)));
          else if (r < 0.9) g.push_back(d.related_pair());
          else g.push_back(input(d.wide(), 0, d.wide()));
        }
        cross(g, S, S, false);
      } else {
        for (size_t i = 0; i < n; ++i) {
          if (key == "zpow") {
            auto part = [&] { return (coin(d.rng) ? 1 : -1) * d.in(1e-3, 1e3, true); };
            g.push_back(input(part(), part(), d.uniform(-4, 4), d.uniform(-4, 4)));
          } else if (u01(d.rng) < 0.9) {
            g.push_back(input(d.sym(i & 1), d.sym(i & 2), d.sym(i & 4), d.sym(i & 8)));
          } else {
            g.push_back(input(d.wide(), d.wide(), d.wide(), d.wide()));
          }
        }
        for (double x : S)
          for (double y : S) {
            g.push_back(input(x, y, 0.75, -1));
            g.push_back(input(0.75, -1, x, y));
          }
        const std::vector<double> q = {0.0, -0.0, INFINITY, -INFINITY, NAN, 1.0};
        for (double a : q)
          for (double b : q)
            for (double c : q)
              for (double dd : q) g.push_back(input(a, b, c, dd));
      }
      break;

    case Shape::vs: {
      out.clear();
      if (!cx) {
        const double exps[] = {2, 3, -1, 0.5, -0.5, 1.0 / 3, 2.5, -2, 10, 0, 1, -7.5, 0.75, 1.5, -3};
        const size_t per = std::max<size_t>(1, n / std::size(exps));
        for (double b : exps) {
          Group h;
          for (size_t i = 0; i < per; ++i) {
            const double r = u01(d.rng);
            const double x = r < 0.6 ? d.in(1e-3, 1e3, true) : r < 0.9 ? d.dom(i & 1) : -d.in(1e-3, 1e3, true);
            h.push_back(input(x, 0, fit(b, f)));
          }
          for (double s : S) h.push_back(input(s, 0, fit(b, f)));
          out.push_back(h);
        }
        for (double b : {double(NAN), double(INFINITY), -double(INFINITY), -0.0, smallest(f), largest(f)}) {
          Group h;
          for (size_t i = 0; i < 16; ++i) h.push_back(input(d.dom(i & 1), 0, b));
          for (double s : S) h.push_back(input(s, 0, b));
          out.push_back(h);
        }
      } else {
        const double exps[][2] = {{2, 0}, {0.5, 0}, {-1, 0}, {1.5, 0.5}, {0, 1}, {-0.75, 2}, {3, 0}, {0.25, -1.5}};
        const size_t per = std::max<size_t>(1, n / std::size(exps));
        const std::vector<double> q = {0.0, -0.0, INFINITY, -INFINITY, NAN, 1.0};
        const double top = std::max(std::fabs(d.hi), 1.0);
        for (auto& b : exps) {
          Group h;
          for (size_t i = 0; i < per; ++i) {
            auto part = [&] { return (coin(d.rng) ? 1 : -1) * d.in(1e-3, top, true); };
            h.push_back(input(part(), part(), b[0], b[1]));
          }
          for (double x : q)
            for (double y : q) h.push_back(input(x, y, b[0], b[1]));
          out.push_back(h);
        }
        for (double b : {double(NAN), double(INFINITY), 0.0}) {
          Group h;
          for (double x : q)
            for (double y : q) h.push_back(input(x, y, b, 0));
          for (size_t i = 0; i < 16; ++i) h.push_back(input(d.sym(true), d.sym(false), b, 0));
          out.push_back(h);
        }
      }
      break;
    }

    case Shape::lf: {
      out.clear();
      const double sets[][4] = {{1, 0, 1, 0},       {2, 1, 3, -1}, {0.5, -2, 0, 1},
                                {-1.5, 0.25, 2, 0}, {0, 1, 1, 0},  {3, -4, -0.5, 2}};
      const size_t per = std::max<size_t>(1, n / std::size(sets));
      for (size_t k = 0; k < std::size(sets); ++k) {
        Group h;
        auto with = [&](Input x) {
          for (int j = 0; j < 4; ++j) x[4 + j] = fit(sets[k][j], f);
          h.push_back(x);
        };
        for (size_t i = 0; i < per; ++i) with(input(d.dom(i & 1), 0, d.dom(i & 2)));
        if (k < 2)
          for (double x : S)
            for (double y : S) with(input(x, 0, y));
        out.push_back(h);
      }
      break;
    }

    default: out.clear(); break;
  }
  return out;
}

std::vector<Input> typical_inputs(const catalog::Entry& e, size_t n, uint64_t seed) {
  const Format f = format_of(e);
  Draw d{e, f, e.lo, e.hi, std::mt19937_64(seed), {}};
  const bool cx = e.type == 'c' || e.type == 'z';
  const std::string key = oracle_key(e);
  const double lnmax = 0.9 * std::log(largest(f));
  std::vector<Input> v;
  v.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    Input x = input(0);
    if (key == "pow" || key == "powr") {
      x[0] = d.in(std::max(e.lo, 1e-3), std::max(e.hi, 1.0), false);
      x[2] = fit(d.uniform(-lnmax, lnmax) / std::log(x[0] == 1 ? 2.0 : x[0]), f);
    } else if (key == "zpow") {
      auto part = [&] { return (coin(d.rng) ? 1 : -1) * d.uniform(1e-3, 10); };
      x = input(part(), part(), d.uniform(-2, 2), d.uniform(-2, 2));
    } else if (cx && e.shape != Shape::r2c) {
      x = input(d.sym(false), d.sym(false), d.sym(false), d.sym(false));
    } else {
      x = input(d.dom(false), 0, d.dom(false));
    }
    if (e.shape == Shape::vs) {
      x[2] = cx ? 1.5 : 2.5;
      x[3] = cx ? 0.5 : 0.0;
      if (key == "zpow") x[0] = std::fabs(x[0]);
    }
    if (e.shape == Shape::lf) {
      x[4] = 2;
      x[5] = 1;
      x[6] = 3;
      x[7] = -1;
    }
    v.push_back(x);
  }
  return v;
}

}  // namespace nrx::accuracy
