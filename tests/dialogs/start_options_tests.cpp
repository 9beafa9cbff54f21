// The window program's command line, read the same by the Qt and the Win32 program.
#include "dialogs/start_options.h"

#include <gtest/gtest.h>

namespace korva::testing {
namespace {

using dialogs::ParseStartOptions;

TEST(StartOptions, EveryOptionAndEveryMistake) {
  const auto all = ParseStartOptions(
      {"--simulate", "--service", "--log", "/tmp/a.log", "--dfu-library=/opt/m.so", "--version"});
  EXPECT_TRUE(all.simulate);
  EXPECT_TRUE(all.service);
  EXPECT_TRUE(all.version);
  EXPECT_FALSE(all.help);
  EXPECT_EQ(all.logFile, "/tmp/a.log");
  EXPECT_EQ(all.dfuLibrary, "/opt/m.so");
  EXPECT_EQ(all.error, "");

  const auto none = ParseStartOptions({});
  EXPECT_FALSE(none.simulate || none.service || none.help || none.version);
  EXPECT_EQ(ParseStartOptions({"--log=C:\\log.txt", "--device=usb"}).logFile, "C:\\log.txt");
  EXPECT_FALSE(ParseStartOptions({"--simulate", "--device=usb"}).simulate);  // the last counts
  EXPECT_TRUE(ParseStartOptions({"--device=usb", "--simulate"}).simulate);
  EXPECT_TRUE(ParseStartOptions({"-h"}).help);
#ifdef _WIN32
  EXPECT_TRUE(ParseStartOptions({"/?"}).help);
#else
  EXPECT_EQ(ParseStartOptions({"/?"}).error, "unknown argument: /?");
#endif

  for (const auto& wrong : {std::vector<std::string>{"--log"}, {"--log="}})
    EXPECT_EQ(ParseStartOptions(wrong).error, "--log needs a FILE");
  EXPECT_EQ(ParseStartOptions({"--dfu-library="}).error,
            "--dfu-library= needs the path of the Bluetooth update library");
  EXPECT_EQ(ParseStartOptions({"--dfu-library"}).error, "unknown argument: --dfu-library");
  EXPECT_EQ(ParseStartOptions({"--logs"}).error, "unknown argument: --logs");
}

}  // namespace
}  // namespace korva::testing
