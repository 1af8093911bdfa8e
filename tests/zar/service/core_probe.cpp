#include "core_probe.h"

#include <atomic>
#include <cstdarg>
#include <mutex>

#include <dlfcn.h>

#include "nrx/core.h"
#include "zar/service/error.h"

namespace {

template <class Fn> Fn next_definition(const char* name) { return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name)); }

using AllocateFn = void* (*)(size_t, int32_t);
using DeallocateFn = void (*)(void*);
using PrintFn = void (*)(int32_t, int32_t, int32_t, ...);

// Fixed storage with constant initialisation: the service layer allocates the
// loading thread's record before this file's dynamic initialisers may run.
struct Block {
  void* p;
  pthread_t owner;
};
constexpr int kMaxBlocks = 4096;
Block g_blocks[kMaxBlocks];
std::atomic<int> g_live{0};
std::atomic<bool> g_fail{false};
pthread_mutex_t g_blocks_lock = PTHREAD_MUTEX_INITIALIZER;

std::mutex& prints_lock() {
  static std::mutex m;
  return m;
}
std::vector<probe::PrintCall>& print_log() {
  static std::vector<probe::PrintCall> log;
  return log;
}
std::atomic<bool> g_forward{true};

void track(void* p) {
  pthread_mutex_lock(&g_blocks_lock);
  for (Block& b : g_blocks) {
    if (b.p == nullptr) {
      b = {p, pthread_self()};
      ++g_live;
      break;
    }
  }
  pthread_mutex_unlock(&g_blocks_lock);
}

void untrack(void* p) {
  pthread_mutex_lock(&g_blocks_lock);
  for (Block& b : g_blocks) {
    if (b.p == p) {
      b.p = nullptr;
      --g_live;
      break;
    }
  }
  pthread_mutex_unlock(&g_blocks_lock);
}

}  // namespace

extern "C" void* nrx_serv_allocate(size_t size, int32_t alignment) {
  const bool record = size == sizeof(nrx::zar::ThreadRecord);
  if (record && g_fail.load()) return nullptr;
  static const auto real = next_definition<AllocateFn>("nrx_serv_allocate");
  void* p = real(size, alignment);
  if (record && p != nullptr) track(p);
  return p;
}

extern "C" void nrx_serv_deallocate(void* p) {
  static const auto real = next_definition<DeallocateFn>("nrx_serv_deallocate");
  if (p != nullptr) untrack(p);
  real(p);
}

extern "C" void nrx_serv_print(int32_t dest, int32_t id, int32_t nargs, ...) {
  probe::PrintCall c;
  c.dest = dest;
  c.id = id;
  c.nargs = nargs;
  va_list ap;
  va_start(ap, nargs);
  if (id >= 748 && id <= 754 && nargs >= 1) {
    const char* s = va_arg(ap, const char*);
    c.name = s != nullptr ? s : "";
    if (id == 748 && nargs >= 2) c.index = va_arg(ap, int);
  } else if (id >= 755 && id <= 766 && nargs >= 2) {
    c.index = va_arg(ap, int);
    c.value = va_arg(ap, double);
  }
  va_end(ap);
  {
    std::lock_guard<std::mutex> lock(prints_lock());
    print_log().push_back(c);
  }
  if (!g_forward.load()) return;
  static const auto real = next_definition<PrintFn>("nrx_serv_print");
  if (id == 748) real(dest, id, nargs, c.name.c_str(), c.index);
  else if (id >= 749 && id <= 754) real(dest, id, nargs, c.name.c_str());
  else if (id >= 755 && id <= 766) real(dest, id, nargs, c.index, c.value);
  else real(dest, id, 0);
}

namespace probe {

std::vector<PrintCall> prints() {
  std::lock_guard<std::mutex> lock(prints_lock());
  return print_log();
}

void clear_prints() {
  std::lock_guard<std::mutex> lock(prints_lock());
  print_log().clear();
}

void set_forward_prints(bool forward) { g_forward.store(forward); }

int live_records() { return g_live.load(); }

void fail_record_allocations() { g_fail.store(true); }

int release_records_of(pthread_t owner) {
  static const auto real = next_definition<DeallocateFn>("nrx_serv_deallocate");
  int released = 0;
  pthread_mutex_lock(&g_blocks_lock);
  for (Block& b : g_blocks) {
    if (b.p != nullptr && pthread_equal(b.owner, owner)) {
      real(b.p);
      b.p = nullptr;
      --g_live;
      ++released;
    }
  }
  pthread_mutex_unlock(&g_blocks_lock);
  return released;
}

}  // namespace probe
