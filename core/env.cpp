// Environment lookup.
#include "nrx/core.h"

#include <cstdlib>
#include <cstring>

int32_t nrx_serv_getenv(const char* name, char* buf, int32_t buf_len) {
  if (buf == nullptr || buf_len < 1) return 0;
  buf[0] = '\0';
  if (name == nullptr) return 0;
  const char* value = std::getenv(name);
  if (value == nullptr) return 0;
  size_t len = std::strlen(value);
  const size_t room = static_cast<size_t>(buf_len) - 1;
  if (len > room) len = room;
  std::memcpy(buf, value, len);
  buf[len] = '\0';
  return static_cast<int32_t>(len);
}
