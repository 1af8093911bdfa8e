// The per-thread record: one pthread key for the process, one record per
// thread, allocated on the thread's first use of vector math and freed when
// the thread ends.
//
// The key is created at load time and, should that have failed, again on first
// use (double-checked under the key lock). Records come from the core
// allocator, so there is no heap of our own to create or lock.
#include <atomic>
#include <new>

#include <pthread.h>

#include "nrx/core.h"
#include "zar/service/error.h"

namespace nrx::zar {
namespace {

constexpr int32_t kRecordAlignment = 128;
constexpr int32_t kMsgNoThreadStorage = 773;
constexpr int32_t kExitNoThreadStorage = 3;

pthread_key_t g_key;
std::atomic<bool> g_key_ready{false};
int32_t g_key_lock = 0;

// The calling thread's record as a plain thread-local pointer: the kernels read the mode
// word at every call, and this costs one load where the key lookup costs a call. The key
// stays the owner (its destructor frees the record at thread end); the pointer is cleared
// whenever the record goes.
thread_local ThreadRecord* t_record __attribute__((tls_model("initial-exec"))) = nullptr;

void free_record(void* record) {
  if (t_record == record) t_record = nullptr;
  nrx_serv_deallocate(record);
}

bool ensure_key() {
  if (g_key_ready.load(std::memory_order_acquire)) return true;
  nrx_serv_lock(&g_key_lock);
  bool ready = g_key_ready.load(std::memory_order_relaxed);
  if (!ready && pthread_key_create(&g_key, free_record) == 0) {
    ready = true;
    g_key_ready.store(true, std::memory_order_release);
  }
  nrx_serv_unlock(&g_key_lock);
  return ready;
}

// The calling thread's record, created if missing; null on failure.
ThreadRecord* find_or_create_record() {
  if (!ensure_key()) return nullptr;
  if (void* existing = pthread_getspecific(g_key)) return static_cast<ThreadRecord*>(existing);
  void* block = nrx_serv_allocate(sizeof(ThreadRecord), kRecordAlignment);
  if (block == nullptr) return nullptr;
  auto* record = new (block) ThreadRecord{};
  if (pthread_setspecific(g_key, record) != 0) {
    nrx_serv_deallocate(block);
    return nullptr;
  }
  return record;
}

// Load: the key, and the loading thread's record. There is no way to fail a
// load from here; a failure is reported and retried on first use.
__attribute__((constructor)) void on_library_load() {
  if (find_or_create_record() == nullptr) nrx_serv_print(1, kMsgNoThreadStorage, 0);
}

// Unload (also run at process exit): frees this thread's record and deletes
// the key, so no thread ending later calls back into unmapped code. Records of
// other threads still running are abandoned.
__attribute__((destructor)) void on_library_unload() {
  if (!g_key_ready.load(std::memory_order_acquire)) return;
  if (void* record = pthread_getspecific(g_key)) {
    pthread_setspecific(g_key, nullptr);
    free_record(record);
  }
  pthread_key_delete(g_key);
  g_key_ready.store(false, std::memory_order_release);
}

}  // namespace

ThreadRecord* thread_record() {
  if (ThreadRecord* cached = t_record) return cached;
  if (g_key_ready.load(std::memory_order_acquire)) {
    if (void* existing = pthread_getspecific(g_key)) return t_record = static_cast<ThreadRecord*>(existing);
  }
  ThreadRecord* record = find_or_create_record();
  t_record = record;
  if (record == nullptr) {
    nrx_serv_print(1, kMsgNoThreadStorage, 0);
    nrx_serv_exit(kExitNoThreadStorage);
  }
  return record;
}

}  // namespace nrx::zar
