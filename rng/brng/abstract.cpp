// Abstract streams: values the caller keeps in a circular buffer, refilled through the
// caller's callback when every value has been read. The real kinds map the buffered
// range [a, b) given at construction onto the range asked for at the call.
#include "nrx/core.h"
#include "rng/internal.h"

namespace nrx::rng {
namespace {

struct IntState {
  int32_t n, pos, unread;
  uint32_t* buffer;
  DruiAbstractCallback callback;
};
struct DoubleState {
  int32_t n, pos, unread;
  double a, b;
  double* buffer;
  DrudAbstractCallback callback;
};
struct FloatState {
  int32_t n, pos, unread;
  float a, b;
  float* buffer;
  DrusAbstractCallback callback;
};
static_assert(offsetof(IntState, buffer) == 16 && offsetof(IntState, callback) == 24);
static_assert(offsetof(DoubleState, a) == 16 && offsetof(DoubleState, buffer) == 32 &&
              offsetof(DoubleState, callback) == 40);
static_assert(offsetof(FloatState, a) == 12 && offsetof(FloatState, buffer) == 24 &&
              offsetof(FloatState, callback) == 32);

template <class State> int32_t init(int32_t method, DruStream* s, const uint32_t* params) {
  switch (method) {
    case DRU_INIT_STANDARD: {
      State* st = state_of<State>(s);
      std::memcpy(st, params, sizeof(State));
      st->pos = 0;
      st->unread = st->n;
      return DRU_OK;
    }
    case DRU_INIT_LEAPFROG: return DRU_E_NO_LEAPFROG;
    case DRU_INIT_SKIP_AHEAD: return DRU_E_NO_SKIP_AHEAD;
    case DRU_INIT_SKIP_AHEAD_EX: return DRU_E_NO_SKIP_AHEAD_EX;
    default: return DRU_E_BAD_METHOD;
  }
}

// n values through put(i, buffered value), refilling through the callback when empty.
template <class State, class Put> int32_t draw(DruStream* s, int32_t n, Put&& put) {
  State* st = state_of<State>(s);
  if (st->buffer == nullptr) return DRU_E_NULL_POINTER;
  for (int32_t i = 0; i < n;) {
    if (st->unread == 0) {
      int32_t len = st->n, nmin = 1, nmax = st->n, idx = st->pos;
      const int32_t got = st->callback(s, &len, st->buffer, &nmin, &nmax, &idx);
      if (got < 0 || got > st->n) return DRU_E_BAD_CALLBACK_COUNT;
      if (got == 0) return DRU_E_CALLBACK_EMPTY;
      st->unread = got;
    }
    for (; i < n && st->unread > 0; ++i, --st->unread) {
      put(i, st->buffer[st->pos]);
      st->pos = st->pos + 1 == st->n ? 0 : st->pos + 1;
    }
  }
  return DRU_OK;
}

// A new stream of abstract kind `brng` initialised from the state image `init`.
template <class State> int32_t make(DruStream** out, int32_t brng, const State& init) {
  int32_t index = 0, member = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(brng, &index, &member);
  if (_druIsBrngValid(table, index, member) != DRU_OK) return DRU_E_BRNG_INVALID;
  DruStream* s = nullptr;
  if (const int32_t st = _druAllocateStream(&s, table, brng, index, member)) return st;
  const int32_t st = table[index].Init(DRU_INIT_STANDARD, s, 0, reinterpret_cast<const uint32_t*>(&init));
  if (st != DRU_OK) {
    _druDeleteStream(&s);
    return st;
  }
  *out = s;
  return DRU_OK;
}

}  // namespace
}  // namespace nrx::rng

using namespace nrx::rng;

extern "C" {

NRX_RNG_API int32_t _druBRngiAbstractInitStream(int32_t method, DruStream* s, int32_t, const uint32_t* p) {
  return init<IntState>(method, s, p);
}
NRX_RNG_API int32_t _druBRngdAbstractInitStream(int32_t method, DruStream* s, int32_t, const uint32_t* p) {
  return init<DoubleState>(method, s, p);
}
NRX_RNG_API int32_t _druBRngsAbstractInitStream(int32_t method, DruStream* s, int32_t, const uint32_t* p) {
  return init<FloatState>(method, s, p);
}

NRX_RNG_API int32_t _druiBRngiAbstract(DruStream* s, int32_t n, uint32_t* r) {
  return draw<IntState>(s, n, [r](int32_t i, uint32_t x) { r[i] = x; });
}
NRX_RNG_API int32_t _drudBRngdAbstract(DruStream* s, int32_t n, double* r, double a, double b) {
  const DoubleState* st = state_of<DoubleState>(s);
  const double a0 = st->a, scale = (b - a) / (st->b - st->a);
  return draw<DoubleState>(s, n, [=](int32_t i, double x) { r[i] = a + (x - a0) * scale; });
}
NRX_RNG_API int32_t _drusBRngsAbstract(DruStream* s, int32_t n, float* r, float a, float b) {
  const FloatState* st = state_of<FloatState>(s);
  const float a0 = st->a, scale = (b - a) / (st->b - st->a);
  return draw<FloatState>(s, n, [=](int32_t i, float x) { r[i] = a + (x - a0) * scale; });
}

NRX_RNG_API int32_t _druiNewAbstractStream(DruStream** stream, int32_t n, uint32_t* buffer, DruiAbstractCallback cb) {
  if (n <= 0 || buffer == nullptr || cb == nullptr) return DRU_E_BAD_ARGUMENT;
  return make(stream, DRU_BRNG_IABSTRACT, IntState{n, 0, n, buffer, cb});
}
NRX_RNG_API int32_t _drudNewAbstractStream(DruStream** stream, int32_t n, double* buffer, double a, double b,
                                           DrudAbstractCallback cb) {
  if (n <= 0 || buffer == nullptr || cb == nullptr || !(a < b)) return DRU_E_BAD_ARGUMENT;
  return make(stream, DRU_BRNG_DABSTRACT, DoubleState{n, 0, n, a, b, buffer, cb});
}
NRX_RNG_API int32_t _drusNewAbstractStream(DruStream** stream, int32_t n, float* buffer, float a, float b,
                                           DrusAbstractCallback cb) {
  if (n <= 0 || buffer == nullptr || cb == nullptr || !(a < b)) return DRU_E_BAD_ARGUMENT;
  return make(stream, DRU_BRNG_SABSTRACT, FloatState{n, 0, n, a, b, buffer, cb});
}

NRX_RNG_API int32_t _druCPUisRDRAND(void) { return cpu_has_rdrand() ? 1 : 0; }
NRX_RNG_API int32_t _druCPUisAES(void) { return cpu_has_aes() ? 1 : 0; }
NRX_RNG_API int32_t _druCPUisVAES(void) { return nrx_serv_cpuisicx() != 0 ? 1 : 0; }

}  // extern "C"
