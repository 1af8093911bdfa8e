#include "tools/accuracy/accuracy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "tools/accuracy/kernel_call.h"
#include "tools/accuracy/mode.h"
#include "tools/accuracy/mp.h"
#include "tools/accuracy/sampling.h"

namespace nrx::accuracy {

using catalog::Entry;
using catalog::Shape;

const char* slot_name(int slot) {
  static const char* const names[] = {"LA", "HA", "EP"};
  return slot >= 0 && slot < 3 ? names[slot] : "?";
}

int slot_flavour(const Entry& e, int slot) {
  const std::string share = e.share ? e.share : "3";
  if (share == "1") return 2;
  if (share == "lh") return slot == 2 ? 3 : 2;
  if (share == "le") return slot == 1 ? 2 : 1;
  return slot + 1;
}

bool correctly_rounded(const Entry& e) {
  if (!e.exact) return false;
  // A complex product rounds each part twice; it is held to the flavour bounds instead.
  const bool cx = e.type == 'c' || e.type == 'z';
  return !(cx && (!std::strcmp(e.func, "Mul") || !std::strcmp(e.func, "MulByConj")));
}

Format format_of(const Entry& e) { return e.type == 's' || e.type == 'c' ? kSingle : kDouble; }

double bound(const Entry& e, int slot) { return e.bound[slot]; }

bool measurable(const Entry& e) { return find_oracle(e) != nullptr; }

std::vector<int> distinct_slots(const Entry& e) {
  std::vector<int> s;
  for (int k = 0; k < 3; ++k) {
    if (!e.ttab[k]) continue;
    bool seen = false;
    for (int j : s) seen = seen || e.ttab[j] == e.ttab[k];
    if (!seen) s.push_back(k);
  }
  return s;
}

std::string table_name(const Entry& e) { return std::string(1, e.type) + e.func + (e.strided ? "I" : ""); }

const Entry* find_entry(const std::string& name, int* slot) {
  for (size_t i = 0; i < catalog::count; ++i) {
    const Entry& e = catalog::entries[i];
    if (table_name(e) == name) {
      if (slot) *slot = -1;
      return &e;
    }
    for (int k = 0; k < 4; ++k)
      if (e.names[k] && name == e.names[k]) {
        if (slot) *slot = k == 3 ? 1 : k;
        return &e;
      }
  }
  return nullptr;
}

namespace {

// Comparison against a C99 Annex G reference: the class of each part, and the error when
// both are finite.
Check class_check(double got, mpfr_srcptr exact, mpfr_srcptr unit, Format f) {
  const double want = rounded(exact, f);
  if (std::isnan(got) != std::isnan(want) || std::isinf(got) != std::isinf(want)) return {NAN, Mismatch::annex_g};
  if (std::isfinite(got)) return {ulp_error(got, exact, unit, f), Mismatch::none};
  return {0, Mismatch::none};
}

void flush_subnormals(Input& in, Format f) {
  const double min_normal = std::ldexp(1.0, f.emin + f.p - 2);
  for (double& v : in)
    if (v != 0 && std::fabs(v) < min_normal) v = std::copysign(0.0, v);
}

void keep_worst(std::vector<Sample>& v, const Sample& s, size_t cap) {
  if (cap == 0 || (v.size() == cap && !(s.ulp > v.back().ulp))) return;
  auto at = std::find_if(v.begin(), v.end(), [&](const Sample& w) { return s.ulp > w.ulp; });
  v.insert(at, s);
  if (v.size() > cap) v.pop_back();
}

constexpr size_t kChunk = 4093;  // elements per kernel call; odd, so that tails are exercised

}  // namespace

std::vector<Result> measure_slots(const Entry& e, const std::vector<int>& slots, const Options& o) {
  const Oracle* oracle = find_oracle(e);
  if (!oracle) throw std::invalid_argument("no reference for " + table_name(e));
  const Format f = format_of(e);
  const EvalCtx ctx{f, mpfr_prec_t(4 * f.p + 32)};
  const int nout = result_count(e);
  const bool complex_out = nout == 2 && e.shape != Shape::v1r2;
  CompareOptions co;
  co.correctly_rounded = correctly_rounded(e);
  co.flush = o.ftz;
  // The signs of zero and overflowed parts of a complex result follow the argument of a
  // result whose modulus is far outside the format; they are not held against the kernel.
  co.signed_zero = !complex_out;
  co.overflow_sign = !complex_out;

  std::vector<Result> res(slots.size());
  std::vector<double> sums(slots.size(), 0.0);
  std::vector<std::vector<double>> outs(slots.size());
  for (size_t k = 0; k < slots.size(); ++k) {
    if (slots[k] < 0 || slots[k] > 2 || !e.ttab[slots[k]]) throw std::invalid_argument("empty slot");
    res[k].slot = slots[k];
    res[k].bound = bound(e, slots[k]);
  }

  const std::vector<Group> groups = draw_inputs(e, o);
  FlushToZero ftz(o.ftz);
  Mp ref0(ctx.wp), ref1(ctx.wp), unit(ctx.wp);
  mpfr_ptr refs[2] = {ref0, ref1};

  for (const Group& g : groups) {
    for (size_t begin = 0; begin < g.size(); begin += kChunk) {
      const size_t n = std::min(kChunk, g.size() - begin);
      for (size_t k = 0; k < slots.size(); ++k) {
        outs[k].assign(2 * n, 0.0);
        const size_t strays = call_kernel(e, e.ttab[slots[k]], &g[begin], n, outs[k].data());
        res[k].by_kind[int(Mismatch::stray)] += strays;
        res[k].mismatches += strays;
      }
      for (size_t i = 0; i < n; ++i) {
        Input in = g[begin + i];
        if (o.ftz) flush_subnormals(in, f);
        mpfr_set_prec(ref0, ctx.wp);
        mpfr_set_prec(ref1, ctx.wp);
        const int kind = oracle->eval(refs, in.data(), ctx);
        double alt = 0;
        co.also = oracle->alt && oracle->alt(in.data(), ctx, &alt) ? &alt : nullptr;
        if (complex_out) {
          mpfr_set_prec(unit, ctx.wp);
          mpfr_hypot(unit, ref0, ref1, MPFR_RNDN);
        }
        for (size_t k = 0; k < slots.size(); ++k) {
          Sample s;
          std::copy(g[begin + i].begin(), g[begin + i].end(), s.in);
          s.nout = nout;
          bool any = false;
          for (int c = 0; c < nout; ++c) {
            const double got = outs[k][2 * i + c];
            // a part is measured against the modulus, unless that is not finite
            mpfr_srcptr u = complex_out && mpfr_number_p(unit.get()) ? unit.get() : refs[c];
            const Check ch = kind == kRefAnnexG ? class_check(got, refs[c], u, f) : compare(got, refs[c], u, f, co);
            s.got[c] = got;
            s.want[c] = rounded(refs[c], f);
            if (!std::isnan(ch.ulp)) {
              s.ulp = any ? std::max(s.ulp, ch.ulp) : ch.ulp;
              any = true;
            }
            if (s.kind == Mismatch::none) s.kind = ch.kind;
          }
          Result& r = res[k];
          ++r.count;
          if (any) {
            ++r.measured;
            sums[k] += s.ulp;
            r.max_ulp = std::max(r.max_ulp, s.ulp);
            keep_worst(r.worst, s, o.keep_worst);
          }
          if (s.kind != Mismatch::none) {
            ++r.by_kind[int(s.kind)];
            if (s.kind != Mismatch::annex_g) ++r.mismatches;
            if (r.bad.size() < o.keep_bad) r.bad.push_back(s);
          }
        }
      }
    }
  }
  for (size_t k = 0; k < slots.size(); ++k) res[k].mean_ulp = res[k].measured ? sums[k] / res[k].measured : 0;
  return res;
}

Result measure(const Entry& e, int slot, const Options& o) { return measure_slots(e, {slot}, o).front(); }

namespace {

std::string num(double v, bool single) {
  char buf[64];
  std::snprintf(buf, sizeof buf, single ? "%.9g" : "%.17g", v);
  return buf;
}
std::string hex(double v, bool single) {
  char buf[64];
  if (single) std::snprintf(buf, sizeof buf, "%a", double(float(v)));
  else std::snprintf(buf, sizeof buf, "%a", v);
  return buf;
}
std::string value(double v, bool single) { return num(v, single) + " [" + hex(v, single) + "]"; }
std::string pair(double re, double im, bool single) {
  std::string t = "(";
  t += value(re, single);
  t += ", ";
  t += value(im, single);
  t += ")";
  return t;
}

}  // namespace

std::string describe(const Entry& e, const Sample& s) {
  const bool single = format_of(e).p == kSingle.p;
  const bool cx = e.type == 'c' || e.type == 'z';
  const bool cin = cx && e.shape != Shape::r2c;
  std::string t;
  auto arg = [&](int at) { return cin ? pair(s.in[at], s.in[at + 1], single) : value(s.in[at], single); };
  switch (e.shape) {
    case Shape::v2: t = arg(0) + ", " + arg(2); break;
    case Shape::vs: t = arg(0) + "; scalar " + arg(2); break;
    case Shape::lf:
      t = arg(0) + ", " + arg(2) + "; scalars " + num(s.in[4], single) + " " + num(s.in[5], single) + " " +
          num(s.in[6], single) + " " + num(s.in[7], single);
      break;
    default: t = arg(0); break;
  }
  auto res = [&](const double* v) {
    if (s.nout == 1) return value(v[0], single);
    if (e.shape == Shape::v1r2) return value(v[0], single) + ", " + value(v[1], single);
    return pair(v[0], v[1], single);
  };
  char u[64];
  std::snprintf(u, sizeof u, "%.3g ulp", s.ulp);
  t += " -> " + res(s.got) + ", expected " + res(s.want) + ": " + u;
  if (s.kind != Mismatch::none) t += std::string(" (") + mismatch_name(s.kind) + ")";
  return t;
}

}  // namespace nrx::accuracy
