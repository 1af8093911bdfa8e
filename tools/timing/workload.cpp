#include "tools/timing/workload.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace nrx::timing {

using catalog::Shape;

void Workload::Free::operator()(void* p) const { std::free(p); }

Workload::Buffer Workload::allocate(size_t bytes) {
  bytes = (bytes + 63) / 64 * 64 + 64;
  Buffer b(static_cast<unsigned char*>(std::aligned_alloc(64, bytes)));
  std::memset(b.get(), 0, bytes);
  return b;
}

namespace {

template <class R> void fill(unsigned char* p, const std::vector<accuracy::Input>& in, int first, int parts, int inc) {
  R* x = reinterpret_cast<R*>(p);
  for (size_t i = 0; i < in.size(); ++i)
    for (int k = 0; k < parts; ++k) x[i * inc * parts + k] = R(in[i][first + k]);
}

}  // namespace

Workload::Workload(const catalog::Entry& e, size_t n, uint64_t seed) : e_(e), n_(n), s_(accuracy::strides_for(e)) {
  const bool single = e.type == 's' || e.type == 'c';
  const size_t real = single ? 4 : 8;
  const int w = e.type == 'c' || e.type == 'z' ? 2 : 1;
  const int win = e.shape == Shape::r2c ? 1 : w, wout = e.shape == Shape::c2r ? 1 : w;
  a_ = allocate(n * s_.a * win * real);
  b_ = allocate(n * s_.b * win * real);
  r_ = allocate(n * s_.r * wout * real);
  r2_ = allocate(n * s_.r2 * wout * real);
  const std::vector<accuracy::Input> in = accuracy::typical_inputs(e, n, seed);
  if (single) {
    fill<float>(a_.get(), in, 0, win, s_.a);
    fill<float>(b_.get(), in, 2, win, s_.b);
  } else {
    fill<double>(a_.get(), in, 0, win, s_.a);
    fill<double>(b_.get(), in, 2, win, s_.b);
  }
  if (!in.empty()) {
    const int at = e.shape == Shape::lf ? 4 : 2;
    for (int k = 0; k < 4 && at + k < accuracy::kInputs; ++k) scalars_[k] = in[0][at + k];
  }
}

void Workload::run(void* fn) const {
  accuracy::invoke(e_, fn, int32_t(n_), a_.get(), b_.get(), scalars_, r_.get(), r2_.get(), s_);
}

}  // namespace nrx::timing
