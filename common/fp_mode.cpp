#include "common/fp_mode.h"

#include <xmmintrin.h>

namespace common {

void EnableFlushToZero() {
  // FTZ is bit 15, DAZ bit 6 of MXCSR.
  _mm_setcsr(_mm_getcsr() | 0x8040u);
}

}  // namespace common
