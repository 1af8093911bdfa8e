// Diagnostic message catalogue and its formatter.
//
// Each entry names the types of the arguments it takes ('s' string, 'i' int,
// 'd' double) and a text in which {0}, {1} stand for those arguments. The
// caller says how many arguments it passed; the formatter never reads more,
// and prints "?" for any the text needs but did not get.
#include "nrx/core.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Message {
  int32_t id;
  const char* types;
  const char* text;
};

constexpr Message kCatalogue[] = {
    {748, "si", "{0}: invalid vector length (element {1})"},
    {749, "s", "{0}: null array pointer"},
    {750, "s", "{0}: argument outside the domain of the function"},
    {751, "s", "{0}: singularity, finite argument with an infinite result"},
    {752, "s", "{0}: result overflows"},
    {753, "s", "{0}: result underflows"},
    {754, "s", "{0}: unknown error status"},
    {755, "id", "  element {0}: argument = {1}"},
    {756, "id", "  element {0}: result = {1}"},
    {757, "id", "  element {0}: argument = {1}"},
    {758, "id", "  element {0}: first result = {1}"},
    {759, "id", "  element {0}: second result = {1}"},
    {760, "id", "  element {0}: first argument = {1}"},
    {761, "id", "  element {0}: second argument = {1}"},
    {762, "id", "  element {0}: result = {1}"},
    {763, "id", "  element {0}: first argument = {1}"},
    {764, "id", "  element {0}: second argument = {1}"},
    {765, "id", "  element {0}: first result = {1}"},
    {766, "id", "  element {0}: second result = {1}"},
    {773, "", "per-thread storage could not be obtained"},
};

constexpr const char* kPrefix = "nrx: ";
constexpr int kMaxArgs = 2;

const Message* find_message(int32_t id) {
  for (const Message& m : kCatalogue)
    if (m.id == id) return &m;
  return nullptr;
}

std::string format_arg(char type, va_list& ap) {
  char buf[64];
  switch (type) {
    case 's': {
      const char* s = va_arg(ap, const char*);
      return s != nullptr ? std::string(s) : std::string("(null)");
    }
    case 'i': std::snprintf(buf, sizeof buf, "%d", va_arg(ap, int)); return buf;
    case 'd': {
      // Shortest of 15 or 17 significant digits that reads back exactly.
      const double v = va_arg(ap, double);
      std::snprintf(buf, sizeof buf, "%.15g", v);
      if (std::strtod(buf, nullptr) != v && v == v) std::snprintf(buf, sizeof buf, "%.17g", v);
      return buf;
    }
    default: return "?";
  }
}

std::string expand(const char* text, const std::string* args, int nargs) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '{' && p[1] >= '0' && p[1] <= '9' && p[2] == '}') {
      const int k = p[1] - '0';
      out += k < nargs ? args[k] : std::string("?");
      p += 2;
    } else {
      out += *p;
    }
  }
  return out;
}

void emit(const std::string& line) {
  // One write per line keeps lines from concurrent threads apart.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void nrx_serv_print(int32_t /*dest*/, int32_t msg_id, int32_t nargs, ...) {
  std::string line = kPrefix;
  const Message* m = find_message(msg_id);
  if (m == nullptr) {
    line += "message " + std::to_string(msg_id) + " (" + std::to_string(nargs < 0 ? 0 : nargs) + " arguments)\n";
    emit(line);
    return;
  }
  std::string args[kMaxArgs];
  int have = 0;
  va_list ap;
  va_start(ap, nargs);
  for (const char* t = m->types; *t != '\0' && have < nargs && have < kMaxArgs; ++t) args[have++] = format_arg(*t, ap);
  va_end(ap);
  line += expand(m->text, args, have);
  line += '\n';
  emit(line);
}
