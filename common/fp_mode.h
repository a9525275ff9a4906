#pragma once

namespace common {
// Flush-to-zero and denormals-are-zero for the whole process (set at start).
void EnableFlushToZero();
}  // namespace common
