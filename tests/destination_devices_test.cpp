//===- tests/destination_devices_test.cpp - Devices as the destination ----===//
//
// A device given as the destination (/dev/null to check a source, a full
// disk) is written to like a file, but an error must never unlink it. The
// tests use private device nodes in their own folder, so a failure cannot
// harm the machine's /dev; making them needs root, elsewhere they skip.
//
//===----------------------------------------------------------------------===//

#include "tests/harness.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

class DestinationDevice : public Ferrox {
protected:
  /// Makes a character device node `name` in the working folder with the
  /// numbers of /dev/null (1, 3) or /dev/full (1, 7); false when it cannot
  /// be made or opened here.
  bool MakeDevice(const std::string &name, unsigned minor) {
    std::string path = WorkDir() + name;
    if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0)
      return false;
    int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0)
      return false;
    ::close(fd);
    return true;
  }

  bool IsDevice(const std::string &name) {
    struct stat st;
    return ::stat((WorkDir() + name).c_str(), &st) == 0 && S_ISCHR(st.st_mode);
  }

  void SetUp() override {
    Ferrox::SetUp();
    if (WindowsTarget())
      GTEST_SKIP() << "device nodes are POSIX";
    if (!MakeDevice("null", 3) || !MakeDevice("full", 7))
      GTEST_SKIP() << "cannot make device nodes here (needs root)";
  }
};

TEST_F(DestinationDevice, ErrorsLeaveTheDeviceInPlace) {
  Write("good.src", "data1u 1\n");
  Write("bad.src", "data1u 1\nbogus\n");
  EXPECT_EQ(Run({"good.src", "null"}).status, 0);
  RunResult bad = Run({"bad.src", "null"});
  EXPECT_EQ(bad.status, 255);
  EXPECT_EQ(Messages(bad.lines),
            Lines{"bad.src (2): error 900: \"bogus\" unknown command or instruction"});
  EXPECT_TRUE(IsDevice("null"));
}

TEST_F(DestinationDevice, FullDiskReportsEachWriteThatFails) {
  Write("prog.src", "data1u 1\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"prog.src", "full"}, "Error 201: Cannot write disk header"},
      {{"prog.src", "full", "-nodisk"}, "Error 202: Cannot write boot information"},
      {{"prog.src", "full", "-nodisk", "-nobootinfo"},
       "Error 203: Cannot write to output file"},
  };
  for (const auto &[args, message] : cases) {
    RunResult result = Run(args);
    EXPECT_EQ(result.status, 255) << message;
    EXPECT_EQ(Messages(result.lines), Lines{message});
    EXPECT_TRUE(IsDevice("full")) << message;
  }
}

} // namespace
