// The mode word: GetMode, SetMode, and the default word read from the
// environment once per thread.
#include <cstring>
#include <optional>
#include <string_view>

#include "nrx/core.h"
#include "zar/service/error.h"
#include "zar/service/mode.h"

namespace nrx::zar {
namespace {

// ---- The environment variable's name, kept scrambled in the binary --------

constexpr unsigned char kNameKey = 0xA5;
constexpr size_t kNameLength = 12;

struct ScrambledName {
  unsigned char bytes[kNameLength];
};

constexpr ScrambledName scramble(const char (&plain)[kNameLength + 1]) {
  ScrambledName s{};
  for (size_t i = 0; i < kNameLength; ++i) s.bytes[i] = static_cast<unsigned char>(plain[i] ^ kNameKey ^ (i * 7));
  return s;
}

// Evaluated at compile time: only the scrambled bytes reach the object file.
constexpr ScrambledName kScrambledName = scramble("NRX_ZAR_MODE");

void unscramble_name(char (&out)[kNameLength + 1]) {
  // Read through a volatile view so the compiler cannot fold the plain text
  // back into the code.
  const volatile unsigned char* src = kScrambledName.bytes;
  for (size_t i = 0; i < kNameLength; ++i) out[i] = static_cast<char>(src[i] ^ kNameKey ^ (i * 7));
  out[kNameLength] = '\0';
}

// ---- Token grammar -----------------------------------------------------------

struct Token {
  std::string_view name;  // after the ZAR_ prefix
  uint32_t value;
};

constexpr std::string_view kTokenPrefix = "ZAR_";

constexpr Token kTokens[] = {
    {"LA", ZAR_LA},
    {"HA", ZAR_HA},
    {"EP", ZAR_EP},
    {"DEFAULT_PRECISION", ZAR_DEFAULT_PRECISION},
    {"FLOAT_CONSISTENT", ZAR_FLOAT_CONSISTENT},
    {"DOUBLE_CONSISTEN", ZAR_DOUBLE_CONSISTEN},
    {"RESTORE", ZAR_RESTORE},
    {"ERRMODE_IGNORE", ZAR_ERRMODE_IGNORE},
    {"ERRMODE_ERRNO", ZAR_ERRMODE_ERRNO},
    {"ERRMODE_STDERR", ZAR_ERRMODE_STDERR},
    {"ERRMODE_EXCEPT", ZAR_ERRMODE_EXCEPT},
    {"ERRMODE_CALLBACK", ZAR_ERRMODE_CALLBACK},
    {"ERRMODE_NOERR", ZAR_ERRMODE_NOERR},
    {"ERRMODE_DEFAULT", ZAR_ERRMODE_DEFAULT},
    {"TRAP_INVALID", ZAR_TRAP_INVALID},
    {"TRAP_DIVBYZERO", ZAR_TRAP_DIVBYZERO},
    {"TRAP_OVERFLOW", ZAR_TRAP_OVERFLOW},
    {"TRAP_UNDERFLOW", ZAR_TRAP_UNDERFLOW},
};

// OR of the tokens of a value such as "ZAR_EP,ZAR_ERRMODE_STDERR"; nothing
// when any part of the text is not a token followed by a comma or the end
// (this includes the empty text and a trailing comma).
std::optional<uint32_t> parse_mode_value(std::string_view text) {
  uint32_t mode = 0;
  for (;;) {
    if (!text.starts_with(kTokenPrefix)) return std::nullopt;
    text.remove_prefix(kTokenPrefix.size());
    const Token* found = nullptr;
    for (const Token& t : kTokens) {
      if (text.starts_with(t.name) && (text.size() == t.name.size() || text[t.name.size()] == ',')) {
        found = &t;
        break;
      }
    }
    if (found == nullptr) return std::nullopt;
    mode |= found->value;
    text.remove_prefix(found->name.size());
    if (text.empty()) return mode;
    text.remove_prefix(1);  // the comma
  }
}

constexpr int32_t kEnvBufferLength = 256;
int32_t g_env_lock = 0;

std::optional<uint32_t> mode_from_environment() {
  char name[kNameLength + 1];
  unscramble_name(name);
  char value[kEnvBufferLength + 1] = {};
  nrx_serv_lock(&g_env_lock);
  const int32_t length = nrx_serv_getenv(name, value, kEnvBufferLength);
  nrx_serv_unlock(&g_env_lock);
  if (length < 1) return std::nullopt;
  return parse_mode_value(std::string_view(value, strnlen(value, kEnvBufferLength)));
}

// The word a thread starts with: the environment's, completed with HA and
// the default error handling where it leaves those fields empty.
uint32_t initial_mode() {
  const std::optional<uint32_t> env = mode_from_environment();
  if (!env) return kInitialMode;
  uint32_t mode = *env;
  if ((mode & ZAR_ACCURACY_MASK) == 0) mode |= ZAR_HA;
  if ((mode & ZAR_ERRMODE_MASK) == 0) mode |= ZAR_ERRMODE_DEFAULT;
  return mode;
}

// The fields SetMode may replace, in the order it replaces them.
constexpr uint32_t kSettableFields[] = {ZAR_ACCURACY_MASK, ZAR_ERRMODE_MASK, ZAR_FTZDAZ_MASK, ZAR_TRAP_MASK};

}  // namespace

uint32_t current_mode() {
  ThreadRecord* record = thread_record();
  if (record->mode == 0) record->mode = initial_mode();
  return record->mode;
}

uint32_t set_mode(uint32_t mode) {
  const uint32_t previous = current_mode();
  uint32_t merged = previous;
  for (uint32_t field : kSettableFields) {
    if ((mode & field) != 0) merged = (merged & ~field) | (mode & field);
  }
  thread_record()->mode = merged;
  return previous;
}

}  // namespace nrx::zar

using nrx::zar::current_mode;
using nrx::zar::set_mode;

extern "C" {
NRX_ZAR_API uint32_t zarGetMode(void) { return current_mode(); }
NRX_ZAR_API uint32_t nrx_zar_kernel_GetMode(void) { return current_mode(); }
NRX_ZAR_API uint32_t zarSetMode(uint32_t mode) { return set_mode(mode); }
NRX_ZAR_API uint32_t nrx_zar_kernel_SetMode(uint32_t mode) { return set_mode(mode); }
}
