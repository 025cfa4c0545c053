//===- tests/round_trip.h - Images through ferrox-dis and back --*- C++ -*-===//
#ifndef FERROX_TESTS_ROUND_TRIP_H
#define FERROX_TESTS_ROUND_TRIP_H

#include "tests/harness.h"

class RoundTrip : public Ferrox {
protected:
  /// Disassembles the image `image` of the working folder with `disArgs`
  /// (such as {"--map", "prog.map"}), assembles the source again with
  /// `switches` (those the image was made with) and expects the very same
  /// image. Returns the source.
  std::string ExpectSameImage(const std::string &image,
                              const std::vector<std::string> &disArgs = {},
                              const std::vector<std::string> &switches = {}) {
    std::vector<std::string> args = {image, "-o", "dis.tvs"};
    args.insert(args.end(), disArgs.begin(), disArgs.end());
    args.insert(args.end(), switches.begin(), switches.end());
    RunResult dis = RunProgram("ferrox-dis", args);
    EXPECT_EQ(dis.status, 0) << dis.errors;
    std::vector<std::string> build = {"dis.tvs", "again.img"};
    build.insert(build.end(), switches.begin(), switches.end());
    RunResult again = Run(build);
    std::string source = Read("dis.tvs");
    EXPECT_EQ(again.status, 0) << again.output << source;
    EXPECT_EQ(ShowHex(Read("again.img")), ShowHex(Read(image))) << source;
    return source;
  }
};

#endif // FERROX_TESTS_ROUND_TRIP_H
