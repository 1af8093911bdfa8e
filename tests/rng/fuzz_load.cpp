// libFuzzer target: arbitrary bytes as a memory image (bounded loader) and as a file.
// A load either fails with a null handle or yields a stream that generates, saves
// and reloads to the same image.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "rng/internal.h"

namespace {

const std::string& temp_file() {
  static const std::string p = "/tmp/nrx_rng_fuzz_" + std::to_string(getpid()) + ".bin";
  return p;
}

void exercise(DruStream* s) {
  const uint32_t family = s->brng >= 0x100000 ? s->brng >> 20 : 0;
  if (family >= 1 && family <= 5) {  // the generators built so far
    BrngProperties p{};
    if (_druGetBrngProperties(int32_t(s->brng), &p) == 0) {
      std::vector<uint32_t> w(300 * 4);
      std::vector<double> d(300);
      p.GenI(s, 300, w.data());
      p.GenD(s, 300, d.data(), 0.0, 1.0);
    }
  }
  std::vector<unsigned char> img(size_t(_druGetStreamSize(s)));
  _druSaveStreamM(s, img.data());
  DruStream* t = nullptr;
  if (nrx::rng::load_image(&t, img.data(), img.size()) != 0 || t == nullptr) __builtin_trap();
  std::vector<unsigned char> again(size_t(_druGetStreamSize(t)));
  _druSaveStreamM(t, again.data());
  if (again.size() != img.size()) __builtin_trap();
  _druDeleteStream(&t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DruStream* s = reinterpret_cast<DruStream*>(0x1);
  const int32_t st = nrx::rng::load_image(&s, data, size);
  if (st < 0 && s != nullptr) __builtin_trap();
  if (st >= 0) {
    exercise(s);
    _druDeleteStream(&s);
  }
  FILE* f = std::fopen(temp_file().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  DruStream* g = reinterpret_cast<DruStream*>(0x1);
  const int32_t fs = _druLoadStreamF(&g, int32_t(temp_file().size()), temp_file().data());
  if ((fs < 0) != (g == nullptr)) __builtin_trap();
  if (fs >= 0) _druDeleteStream(&g);
  return 0;
}
