// mt2203-table: the 6024 rows (a, b, c) of the 2203-bit twister family. Rows 0, 1, 2 and
// 6023 are fixed; every other member's matrix word a is the first candidate, drawn from
// a generator seeded with the member number, whose characteristic polynomial is
// primitive, and its tempering masks are chosen for equidistribution (tempering.h).
//   mt2203-table table               rng/brng/mt2203_table.inc: a header and every row
//   mt2203-table rows FIRST LAST     the table lines of members FIRST .. LAST (the
//                                    table's rows in pieces, for two processes)
//   mt2203-table retemper FILE FIRST LAST  the lines of members FIRST .. LAST of FILE with
//                                    their masks chosen again (matrix words kept)
//   mt2203-table ktable FILE M...    k(1) .. k(32) of members M of FILE
//   mt2203-table check FILE [all]    FILE holds the rows this tool makes: every fixed row,
//                                    4 searched rows made again (and every 50th with
//                                    `all`), and every 97th row (every row with `all`)
//                                    primitive by the generator's own output
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/mt2203/small_factors.h"
#include "tools/mt2203/tempering.h"

namespace mt2203 {
namespace {

constexpr int kMembers = 6024;

struct Row {
  uint32_t a, b, c;
  bool operator==(const Row&) const = default;
};

struct Fixed {
  int member;
  Row row;
};
constexpr Fixed kFixed[] = {{0, {0xAF81055Fu, 0xDD7EEF80u, 0xEFD78000u}},
                            {1, {0x832604E1u, 0x66AD7F80u, 0xEBD58000u}},
                            {2, {0x92F70739u, 0x656D7780u, 0xEFC50000u}},
                            {6023, {0xE8761D4Bu, 0x72967680u, 0xEFEB0000u}}};

// splitmix64: the candidate stream of one member.
struct Draw {
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
};

// A fixed non-zero state for the lattice; k(v) does not depend on it once phi is primitive.
Ring lattice_seed() {
  Ring r;
  uint32_t x = 0x2203u;
  for (uint32_t& v : r.w) v = x = x * 1664525u + 1013904223u;
  return r;
}

struct Search {
  ClosedForm form;
  SmallFactors sieve;
  long candidates = 0, full_tests = 0;

  static Row tempered(uint32_t a) {
    Tempering t{a};
    t.seed = lattice_seed();
    t.optimise();
    return {a, t.b, t.c};
  }
  Row row(int member) {
    for (const Fixed& f : kFixed)
      if (f.member == member) return f.row;
    Draw d{0x6D74323230330000ull + uint64_t(member)};  // "mt2203" and the member
    uint64_t phi[kWords];
    while (true) {
      const uint32_t a = uint32_t(d.next() >> 32) | 0x80000000u;  // top bit set, as the fixed rows
      ++candidates;
      if (!sieve.passes(a)) continue;
      ++full_tests;
      form.of(a, phi);
      if (primitive(phi)) return tempered(a);
    }
  }
};

std::string line(const Row& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "{0x%08Xu, 0x%08Xu, 0x%08Xu},", r.a, r.b, r.c);
  return buf;
}

std::vector<Row> parse(const char* path) {
  std::ifstream in(path);
  std::vector<Row> rows;
  std::string s;
  while (std::getline(in, s)) {
    Row r;
    if (std::sscanf(s.c_str(), " {0x%xu, 0x%xu, 0x%xu},", &r.a, &r.b, &r.c) == 3) rows.push_back(r);
  }
  return rows;
}

// The row's characteristic polynomial, found on the recurrence's own output, is
// primitive and equals the closed form the search uses.
bool verified(const Search& s, const Row& r) {
  uint64_t phi[kWords], closed[kWords];
  if (!charpoly_from_output(r.a, phi) || !primitive(phi)) return false;
  s.form.of(r.a, closed);
  return std::equal(phi, phi + kWords, closed);
}

int check(const char* path, bool all) {
  const std::vector<Row> rows = parse(path);
  int bad = 0;
  auto fail = [&bad](const std::string& what) { std::fprintf(stderr, "FAIL %s\n", what.c_str()), ++bad; };
  if (rows.size() != size_t(kMembers)) return fail(std::to_string(rows.size()) + " rows"), 1;
  for (const Fixed& f : kFixed)
    if (!(rows[f.member] == f.row)) fail("fixed row " + std::to_string(f.member));
  Search s;
  // Members spread over the table made again from their seeds: four, or every 50th.
  std::vector<int> again{3, 1000, 3001, 6022};
  if (all)
    for (int m = 0; m < kMembers; m += 50) again.push_back(m);
  for (int m : again)
    if (!(s.row(m) == rows[m])) fail("member " + std::to_string(m) + " differs from a new search");
  const int stride = all ? 1 : 97;
  int tested = 0;
  for (int m = 0; m < kMembers; m += stride, ++tested)
    if (!verified(s, rows[m])) fail("member " + std::to_string(m) + " is not primitive");
  for (const Fixed& f : kFixed)
    if (!verified(s, f.row)) fail("fixed member " + std::to_string(f.member) + " is not primitive");
  // Lattice sanity on member 0: the top bit alone is equidistributed over the whole
  // degree, and no k(v) exceeds floor(2203 / v).
  Tempering t{rows[0].a, rows[0].b, rows[0].c};
  t.seed = lattice_seed();
  if (t.equidistribution(1) != kDeg) fail("k(1) of member 0");
  for (int v = 2; v <= 32; v += 5)
    if (t.equidistribution(v) > kDeg / v) fail("k(" + std::to_string(v) + ") of member 0 above its bound");
  std::printf("%d rows, %d verified primitive, %d failures\n", int(rows.size()), tested + 4, bad);
  return bad ? 1 : 0;
}

constexpr const char* kHeader =
    "// MT2203 rows {a, b, c}: matrix word and tempering masks, member 0 first.\n"
    "// Generated by: mt2203-table table > rng/brng/mt2203_table.inc\n";

int rows(int first, int last) {
  Search s;
  const auto t0 = std::chrono::steady_clock::now();
  for (int m = first; m <= last; ++m) std::printf("%s\n", line(s.row(m)).c_str()), std::fflush(stdout);
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::fprintf(stderr, "%d rows in %.1f s: %ld candidates, %ld full tests\n", last - first + 1, secs, s.candidates,
               s.full_tests);
  return 0;
}

// The table lines of members FIRST .. LAST of FILE with their masks chosen again for
// their matrix words (the fixed rows as they are).
int retemper(const char* path, int first, int last) {
  const std::vector<Row> rows = parse(path);
  if (first < 0 || last >= int(rows.size()) || first > last) return 2;
  const auto t0 = std::chrono::steady_clock::now();
  for (int m = first; m <= last; ++m) {
    Row r = Search::tempered(rows[m].a);
    for (const Fixed& f : kFixed)
      if (f.member == m) r = f.row;
    std::printf("%s\n", line(r).c_str()), std::fflush(stdout);
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::fprintf(stderr, "%d rows in %.1f s\n", last - first + 1, secs);
  return 0;
}

// k(1) .. k(32) of the masks of the given members of FILE, one line per member.
int ktable(const char* path, int argc, char** argv) {
  const std::vector<Row> rows = parse(path);
  for (int i = 0; i < argc; ++i) {
    const int m = std::atoi(argv[i]);
    if (m < 0 || size_t(m) >= rows.size()) return 2;
    Tempering t{rows[m].a, rows[m].b, rows[m].c};
    t.seed = lattice_seed();
    std::printf("%5d", m);
    for (int v = 1; v <= 32; ++v) std::printf(" %d", t.equidistribution(v));
    std::printf("\n");
  }
  return 0;
}

}  // namespace
}  // namespace mt2203

int main(int argc, char** argv) {
  if (argc == 4 && !std::strcmp(argv[1], "rows")) return mt2203::rows(std::atoi(argv[2]), std::atoi(argv[3]));
  if (argc == 2 && !std::strcmp(argv[1], "table"))
    return std::fputs(mt2203::kHeader, stdout), mt2203::rows(0, mt2203::kMembers - 1);
  if (argc == 5 && !std::strcmp(argv[1], "retemper"))
    return mt2203::retemper(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (argc >= 3 && !std::strcmp(argv[1], "ktable")) return mt2203::ktable(argv[2], argc - 3, argv + 3);
  if ((argc == 3 || argc == 4) && !std::strcmp(argv[1], "check"))
    return mt2203::check(argv[2], argc == 4 && !std::strcmp(argv[3], "all"));
  std::fprintf(stderr,
               "usage: mt2203-table table | rows FIRST LAST | retemper FILE FIRST LAST | ktable FILE M... |"
               " check FILE [all]\n");
  return 2;
}
