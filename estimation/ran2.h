// The main program's random stream: combined multiplicative congruential
// generator (Schrage steps) with a 32-entry shuffle table.
#pragma once

#include <array>
#include <cstdint>

namespace estimation {

class Ran2 {
 public:
  // Uniform in (0, 0.99999988]; initialises the table when Idum <= 0.
  double Next();

  std::int32_t Idum = -1234;
  std::int32_t IDUM2 = 123456789;
  std::array<std::int32_t, 33> IV{};  // 1..32
  std::int32_t IY = 0;
};

}  // namespace estimation
