// Random123's Philox4x32-10 (scalar) and ARS4x32-5 (AES-NI) filling the same word
// buffers as the library's generators, so their rows sit beside PHILOX4X32X10 and ARS5.
#include <benchmark/benchmark.h>

#include <Random123/ars.h>
#include <Random123/philox.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

template <class CBRNG> void random123_words(benchmark::State& st, int32_t n) {
  CBRNG g;
  typename CBRNG::ctr_type c = {{}};
  typename CBRNG::key_type k = {{}};
  k.v[0] = 7;
  std::vector<uint32_t> r(size_t(n) + 4);
  for (auto _ : st) {
    for (int32_t i = 0; i < n; i += 4) {
      const typename CBRNG::ctr_type b = g(c, k);
      for (int j = 0; j < 4; ++j) r[size_t(i + j)] = b.v[j];
      c.incr();
    }
    benchmark::DoNotOptimize(r.data());
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * n);
  st.SetBytesProcessed(int64_t(st.iterations()) * n * 4);
}

const bool registered = [] {
  constexpr int32_t kN = 1 << 16;
  benchmark::RegisterBenchmark("Random123_Philox4x32_10/integer", random123_words<r123::Philox4x32_R<10>>, kN);
  benchmark::RegisterBenchmark("Random123_ARS4x32_5/integer", random123_words<r123::ARS4x32_R<5>>, kN);
  return true;
}();

}  // namespace
