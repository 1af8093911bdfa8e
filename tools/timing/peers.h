// Other implementations timed beside a table: SLEEF's and glibc libmvec's AVX-512
// functions and glibc's scalar complex functions, found at run time in the installed shared
// libraries, and a plain loop that the compiler vectorises, for the correctly rounded simple
// functions.
#pragma once
#include <string>
#include <vector>

#include "tools/timing/workload.h"

namespace nrx::timing {

struct Peer {
  std::string tag;     // "sleef_u10", "sleef_u35", "sleef", "libmvec", "loop", "glibc"
  std::string symbol;  // the function called
  void* fn = nullptr;
  // One pass over the workload's arrays.
  void (*run)(const Peer&, const Workload&) = nullptr;
  // The accuracy suffix of a SLEEF variant in ulps ("u35" -> 3.5); 0.5 for correctly rounded
  // functions and plain loops, -1 for libmvec (4 ulp documented, not by name) and glibc.
  double ulps = 0;
};

// Peers for one table: unit-stride real tables whose function SLEEF or libmvec provides,
// unit-stride complex one-argument tables whose function glibc has, and the simple functions
// a compiler loop computes exactly. Empty for everything else.
std::vector<Peer> peers_for(const catalog::Entry& e);

// The SLEEF peer closest to a flavour: HA the most accurate variant, LA and EP the fastest.
const Peer* sleef_for_flavour(const std::vector<Peer>& peers, int flavour);

// A compiler loop for the entry, or null (peers_loops.cpp, built with -O3 and AVX-512).
using LoopFn = void (*)(size_t n, const void* a, const void* b, const double* scalars, void* r);
LoopFn compiler_loop(const catalog::Entry& e);

// A loop over the C library's complex function of a complex table (cabs, cexp, complex division...),
// or null (peers_complex.cpp).
LoopFn c_library_complex_loop(const catalog::Entry& e);

}  // namespace nrx::timing
