//===- driver/main.cpp - Program entry ------------------------------------===//

#include "driver/build.h"
#include "util/block_supply.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
  int code = RunFerrox(argc, argv);
  // The image is closed and every message printed: what is left is freeing
  // memory, which the system does faster as the process ends. Handing
  // memory back one piece at a time would interrupt every core the process
  // ran on, once a piece. Only the helper thread must be stopped first.
  StopBlockHelper();
  std::fflush(nullptr);
  std::_Exit(code);
}
