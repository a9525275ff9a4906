#pragma once

namespace common {
// Flush-to-zero and denormals-are-zero for the whole process (set at start).
void EnableFlushToZero();

// The calling thread's floating-point mode (flush-to-zero, denormals-are-zero,
// rounding); a thread that computes for another sets the other's mode first,
// since the mode belongs to each thread.
unsigned CurrentFpMode();
void SetFpMode(unsigned mode);
}  // namespace common
