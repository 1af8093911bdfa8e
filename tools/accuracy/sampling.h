// Inputs for an accuracy sweep.
#pragma once
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "tools/accuracy/accuracy.h"

namespace nrx::accuracy {

using Input = std::array<double, kInputs>;  // layout of oracle.h

// Inputs that share one call: the scalar arguments (Powx's exponent, LinearFrac's four
// scalars) are the same in every input of a group.
using Group = std::vector<Input>;

// The special values of a format: +-0, +-smallest and largest subnormal, +-smallest normal,
// +-largest finite, +-Inf, NaN, 0.75, 1, -1.
std::vector<double> special_values(Format f);

// Draws o.samples inputs for the entry (uniform and log-uniform over the domain, with
// function-specific pairs for two-argument functions) and adds the special values, the
// caller's extra values and the ends of the domain.
std::vector<Group> draw_inputs(const catalog::Entry& e, const Options& o);

// Typical arguments for timing: uniform over the domain, without special values; pow-like
// functions get exponents that keep the result in range; Powx the exponent 2.5 (1.5 + 0.5i),
// LinearFrac the scalars 2, 1, 3, -1. All inputs of one call share the scalars.
std::vector<Input> typical_inputs(const catalog::Entry& e, size_t n, uint64_t seed);

// A point of [lo, hi]: uniform, or log-uniform in magnitude (down to the smallest subnormal
// when the interval reaches zero), rounded into the format.
double draw_in(double lo, double hi, bool log_scale, Format f, std::mt19937_64& rng);

}  // namespace nrx::accuracy
