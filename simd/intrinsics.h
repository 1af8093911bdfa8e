// The compiler's intrinsic headers. GCC 12 warns "'__Y' is used uninitialized" wherever an
// intrinsic built on _mm512_undefined_*() is inlined; the value is a don't-care operand of
// an unmasked instruction, so the warning is silenced for the header's own lines only.
#pragma once
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
