//===- driver/main.cpp - Program entry ------------------------------------===//

#include "driver/build.h"

int main(int argc, char **argv) { return RunFerrox(argc, argv); }
