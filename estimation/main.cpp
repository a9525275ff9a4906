#include "common/fp_mode.h"
#include "estimation/main_flow.h"

int main() {
  common::EnableFlushToZero();
  estimation::AgeVariables av;
  return estimation::RunMain(av);
}
