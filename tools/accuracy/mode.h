// Switching the kernels' denormal handling for a flush-to-zero measurement.
#pragma once

namespace nrx::accuracy {

// Sets flush-to-zero and denormals-are-zero for the calling thread's kernels while alive.
class FlushToZero {
 public:
  explicit FlushToZero(bool on);
  ~FlushToZero();
  FlushToZero(const FlushToZero&) = delete;
  FlushToZero& operator=(const FlushToZero&) = delete;

 private:
  bool on_;
  unsigned previous_;
};

}  // namespace nrx::accuracy
