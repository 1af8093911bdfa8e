// Helpers for tests of per-thread state: the mode word is taken from the
// environment at a thread's first use, so most tests run on a new thread.
#pragma once
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace zartest {

inline constexpr const char* kModeVariable = "NRX_ZAR_MODE";

// Runs `f` on a new thread and returns its result.
template <class F> auto on_fresh_thread(F&& f) {
  using R = decltype(f());
  if constexpr (std::is_void_v<R>) {
    std::thread t(std::forward<F>(f));
    t.join();
  } else {
    R out{};
    std::thread t([&] { out = f(); });
    t.join();
    return out;
  }
}

// Sets (or, with nullopt, removes) the mode variable for the guard's lifetime.
class ModeVariable {
 public:
  explicit ModeVariable(const std::optional<std::string>& value) {
    if (const char* old = std::getenv(kModeVariable)) saved_ = old;
    if (value) setenv(kModeVariable, value->c_str(), 1);
    else unsetenv(kModeVariable);
  }
  ~ModeVariable() {
    if (saved_) setenv(kModeVariable, saved_->c_str(), 1);
    else unsetenv(kModeVariable);
  }
  ModeVariable(const ModeVariable&) = delete;
  ModeVariable& operator=(const ModeVariable&) = delete;

 private:
  std::optional<std::string> saved_;
};

}  // namespace zartest
