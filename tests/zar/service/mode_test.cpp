// The mode word through the public API: the default word from the
// environment, and SetMode's field-by-field merge.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fresh_thread.h"
#include "nrx/zar.h"

namespace {

using zartest::ModeVariable;
using zartest::on_fresh_thread;

constexpr uint32_t kDefault = 0x1A02;

struct EnvCase {
  std::optional<std::string> value;  // nullopt: variable unset
  uint32_t mode;                     // first GetMode on a new thread
};

const EnvCase kEnvCases[] = {
    {std::nullopt, kDefault},
    {"", kDefault},
    {"ZAR_EP,ZAR_ERRMODE_STDERR", 0x403},
    {"ZAR_TRAP_INVALID", 0x1001A02},
    {"ZAR_LA", 0x1A01},
    {"ZAR_HA", 0x1A02},
    {"ZAR_EP", 0x1A03},
    {"ZAR_HA,ZAR_EP", 0x1A03},  // values are OR-ed
    {"ZAR_DEFAULT_PRECISION", kDefault},
    {"ZAR_FLOAT_CONSISTENT", 0x1A12},
    {"ZAR_DOUBLE_CONSISTEN", 0x1A22},
    {"ZAR_RESTORE,ZAR_LA", 0x1A31},
    {"ZAR_ERRMODE_IGNORE", 0x102},
    {"ZAR_ERRMODE_ERRNO", 0x202},
    {"ZAR_ERRMODE_EXCEPT,ZAR_LA", 0x801},
    {"ZAR_ERRMODE_CALLBACK", 0x1002},
    {"ZAR_ERRMODE_NOERR", 0x2002},
    {"ZAR_ERRMODE_DEFAULT", kDefault},
    {"ZAR_ERRMODE_DEFAULT,ZAR_ERRMODE_STDERR", 0x1E02},
    {"ZAR_ERRMODE_ERRNO,ZAR_ERRMODE_STDERR,ZAR_EP", 0x603},
    {"ZAR_TRAP_DIVBYZERO,ZAR_TRAP_OVERFLOW,ZAR_TRAP_UNDERFLOW", 0xE001A02},
    {"ZAR_TRAP_OVERFLOW,ZAR_ERRMODE_STDERR", 0x4000402},
    // Void values: the whole value is dropped and the default applies.
    {"ZAR_EP, ZAR_ERRMODE_STDERR", kDefault},  // blank after the comma
    {"ZAR_DOUBLE_CONSISTENT", kDefault},       // one letter too many
    {"EP", kDefault},                          // no prefix
    {"ZAR_EP,ERRMODE_STDERR", kDefault},       // second token without prefix
    {"ZAR_EP,", kDefault},                     // trailing comma
    {",ZAR_EP", kDefault},
    {"ZAR_EP,,ZAR_LA", kDefault},
    {"ZAR_EP;ZAR_LA", kDefault},
    {"ZAR_EP ", kDefault},
    {" ZAR_EP", kDefault},
    {"zar_ep", kDefault},
    {"ZAR_", kDefault},
    {"ZAR_LAX", kDefault},
    {"ZAR_XY", kDefault},
    {"ZAR_EP,ZAR_XY", kDefault},  // one bad token voids the good ones
    {"ZAR_FTZDAZ_ON", kDefault},  // the denormal field has no token
    {"ZAR_TRAP_INVALIDZAR_EP", kDefault},
};

TEST(ModeEnvironment, FirstUseInThreadReadsTokens) {
  for (const EnvCase& c : kEnvCases) {
    ModeVariable var(c.value);
    const uint32_t mode = on_fresh_thread([] { return zarGetMode(); });
    EXPECT_EQ(mode, c.mode) << "value: " << (c.value ? "\"" + *c.value + "\"" : std::string("unset"));
  }
}

std::string repeated(const std::string& token, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += (i ? "," : "") + token;
  return out;
}

TEST(ModeEnvironment, OnlyFirstBytesOfLongValueAreRead) {
  {
    const std::string fits = repeated("ZAR_HA", 35) + ",ZAR_EP";  // 251 characters
    ModeVariable var(fits);
    EXPECT_EQ(on_fresh_thread([] { return zarGetMode(); }), 0x1A03u);
  }
  {
    // 286 characters: the cut falls inside the 37th token, which voids the value.
    const std::string too_long = repeated("ZAR_HA", 40) + ",ZAR_EP";
    ModeVariable var(too_long);
    EXPECT_EQ(on_fresh_thread([] { return zarGetMode(); }), kDefault);
  }
}

TEST(ModeEnvironment, ReadOncePerThread) {
  ModeVariable first(std::string("ZAR_EP,ZAR_ERRMODE_STDERR"));
  const auto modes = on_fresh_thread([] {
    const uint32_t before = nrx_zar_kernel_GetMode();
    setenv(zartest::kModeVariable, "ZAR_LA", 1);
    return std::vector<uint32_t>{before, nrx_zar_kernel_GetMode()};
  });
  EXPECT_EQ(modes, (std::vector<uint32_t>{0x403, 0x403}));
  // The variable as changed above applies to the next thread.
  EXPECT_EQ(on_fresh_thread([] { return zarGetMode(); }), 0x1A01u);
}

TEST(ModeEnvironment, SetModeAppliesEnvironmentFirst) {
  ModeVariable var(std::string("ZAR_EP,ZAR_ERRMODE_STDERR,ZAR_FLOAT_CONSISTENT"));
  const auto r = on_fresh_thread([] {
    const uint32_t previous = zarSetMode(ZAR_LA);
    return std::vector<uint32_t>{previous, zarGetMode(), static_cast<uint32_t>(nrx_zar_kernel_GetTTableIndex())};
  });
  EXPECT_EQ(r, (std::vector<uint32_t>{0x413, 0x411, 0}));
}

// ---- SetMode ----------------------------------------------------------------

struct MergeCase {
  std::optional<std::string> env;
  std::vector<uint32_t> calls;  // SetMode arguments, in order
  uint32_t final_mode;
};

const MergeCase kMergeCases[] = {
    {std::nullopt, {0x1}, 0x1A01},
    {std::nullopt, {0x0}, kDefault},
    {std::nullopt, {0x30}, kDefault},  // x87 precision is not settable
    {std::nullopt, {ZAR_EP | ZAR_ERRMODE_IGNORE}, 0x103},
    {std::nullopt, {ZAR_ERRMODE_STDERR}, 0x402},  // replaced, not OR-ed
    {std::nullopt, {ZAR_FTZDAZ_ON}, 0x281A02},
    {std::nullopt, {ZAR_FTZDAZ_ON, ZAR_FTZDAZ_OFF}, 0x141A02},
    {std::nullopt, {ZAR_FTZDAZ_ON, ZAR_LA}, 0x281A01},
    {std::nullopt, {ZAR_TRAP_INVALID, ZAR_TRAP_OVERFLOW}, 0x4001A02},
    {std::nullopt, {ZAR_TRAP_OVERFLOW | ZAR_FTZDAZ_ON | ZAR_LA}, 0x4281A01},
    {std::nullopt, {0xF}, 0x1A0F},
    {std::nullopt, {0x30000 | 0xC00000 | 0xF0000000}, kDefault},  // bits outside the fields
    {std::nullopt, {0xFFFFFFFF}, 0x0F3CFF0F},
    {std::string("ZAR_FLOAT_CONSISTENT,ZAR_LA"), {ZAR_DOUBLE_CONSISTEN | ZAR_HA}, 0x1A12},
    {std::string("ZAR_TRAP_UNDERFLOW"), {ZAR_ERRMODE_NOERR}, 0x8002002},
};

TEST(SetMode, MergesFieldByField) {
  for (const MergeCase& c : kMergeCases) {
    ModeVariable var(c.env);
    struct Step {
      uint32_t before, returned;
    };
    const auto [steps, final_mode] = on_fresh_thread([&] {
      std::vector<Step> out;
      for (uint32_t m : c.calls) {
        const uint32_t before = zarGetMode();
        out.push_back({before, zarSetMode(m)});
      }
      return std::pair{out, zarGetMode()};
    });
    const std::string label = "calls starting with 0x" + [&] {
      char buf[16];
      snprintf(buf, sizeof buf, "%x", c.calls.front());
      return std::string(buf);
    }();
    for (const Step& s : steps) EXPECT_EQ(s.returned, s.before) << label;
    EXPECT_EQ(final_mode, c.final_mode) << label;
  }
}

TEST(SetMode, TwinsShareTheWord) {
  const auto r = on_fresh_thread([] {
    const uint32_t a = nrx_zar_kernel_SetMode(ZAR_EP);
    const uint32_t b = zarSetMode(ZAR_LA);
    return std::vector<uint32_t>{a, b, nrx_zar_kernel_GetMode(), zarGetMode()};
  });
  EXPECT_EQ(r, (std::vector<uint32_t>{0x1A02, 0x1A03, 0x1A01, 0x1A01}));
}

}  // namespace
