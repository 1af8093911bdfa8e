// Typed argument arrays for timing one table, drawn from the function's domain.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "tools/accuracy/kernel_call.h"

namespace nrx::timing {

namespace catalog = ::nrx::zar::catalog;

class Workload {
 public:
  // n elements of typical arguments (accuracy::typical_inputs), laid out with the entry's
  // strides; Powx and LinearFrac get the scalars of the first input.
  Workload(const catalog::Entry& e, size_t n, uint64_t seed = 1);

  // One call of a kernel of the entry's table over all n elements.
  void run(void* fn) const;

  const catalog::Entry& entry() const { return e_; }
  size_t size() const { return n_; }
  // The arrays, of the entry's element types; r2 is the second result of SinCos and Modf.
  const void* a() const { return a_.get(); }
  const void* b() const { return b_.get(); }
  void* r() const { return r_.get(); }
  void* r2() const { return r2_.get(); }
  const double* scalars() const { return scalars_; }

 private:
  struct Free {
    void operator()(void* p) const;
  };
  using Buffer = std::unique_ptr<unsigned char[], Free>;
  static Buffer allocate(size_t bytes);

  const catalog::Entry& e_;
  size_t n_;
  accuracy::Strides s_;
  Buffer a_, b_, r_, r2_;
  double scalars_[4] = {};
};

}  // namespace nrx::timing
