#include "common/fp_mode.h"

#include <xmmintrin.h>

namespace common {

void EnableFlushToZero() {
  // FTZ is bit 15, DAZ bit 6 of MXCSR.
  _mm_setcsr(_mm_getcsr() | 0x8040u);
}

unsigned CurrentFpMode() { return _mm_getcsr(); }

void SetFpMode(unsigned mode) { _mm_setcsr(mode); }

}  // namespace common
