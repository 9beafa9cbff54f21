// The acceptance rules on files as the service pages and the terminal apply them: reading
// within the rule's bound, the verdicts at every boundary, the WAV header field by field, and
// where an accepted file is placed for its job.
#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "images/file_placement.h"
#include "images/image_store.h"
#include "images/page_file.h"
#include "tests/shared/file_test_support.h"

namespace korva::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

Bytes WithByte(Bytes bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = value;
  return bytes;
}

class FileRulesTest : public ::testing::Test {
 protected:
  FileRulesTest() {
    ResetImageStore();
    ResetPageFileState();
  }

  std::string Write(const Bytes& bytes, const std::string& name = "file.bin") {
    return folder_.File(name, bytes);
  }
  // A file of `length` bytes that takes no disk space and is never meant to be read whole.
  std::string Sparse(std::uintmax_t length, const Bytes& start = {}) {
    const std::string path = Write(start, "sparse.bin");
    fs::resize_file(path, length);
    return path;
  }

  ScratchFolder folder_{"korva-files"};
};

struct FileCase {
  const char* name;
  FirmwareKind kind;
  Bytes file;
  FileVerdict verdict;
  std::size_t length;  // accepted length (trimmed for full-flash MCU and battery files)
  bool fullFlash;
  const char* label;
};

TEST_F(FileRulesTest, FirmwareFilesAtTheirBoundaries) {
  using enum FirmwareKind;
  constexpr FileVerdict ok = FileVerdict::Accepted, wrong = FileVerdict::Wrong;
  const Bytes mcuFull = Image(0x20000, 0x6010, "APPV1.40\0\0\0\0"sv, 0xFF);
  const Bytes batteryFull = Image(0x8000, 0x2010, "BATV2.00", 0xFF);
  const FileCase cases[] = {
      {"MCU, full-flash, last data byte at 0x1A3FF", Mcu, WithByte(mcuFull, 0x1A3FF, 0), ok,
       0x1A400, true, "V 1.40"},
      {"MCU, full-flash, last data byte at 0x1A400", Mcu, WithByte(mcuFull, 0x1A400, 0), ok,
       0x1A800, true, "V 1.40"},
      {"MCU, longer than full-flash", Mcu, Image(0x20001, 0x6010, "APPV1.40"), wrong, 0, false, ""},
      {"DSP, longer than full-memory", Dsp, Image(0x80001, 0x7F004, "DSPV0.251"), wrong, 0, false,
       ""},
      {"DSP, full-memory", Dsp, Image(0x80000, 0x7F004, "DSPV0.251"), ok, 0x80000, true, "V 0.251"},
      {"battery, largest application-only", Battery, Image(0x6000, 0x10, "BATV1.02"), ok, 0x6000,
       false, "V 1.02"},
      {"battery, one byte longer", Battery, Image(0x6001, 0x10, "BATV1.02"), wrong, 0, false, ""},
      {"battery, shortest", Battery, Image(0x18, 0x10, "BATV1.02"), ok, 0x18, false, "V 1.02"},
      {"battery, too short for the version", Battery, Image(0x17, 0x10, "BATV1.0"), wrong, 0, false,
       ""},
      {"battery, four version characters at most", Battery, Image(0x100, 0x10, "BATV1.02xyz"), ok,
       0x100, false, "V 1.02"},
      {"battery, full-flash, trimmed", Battery, WithByte(batteryFull, 0x73FF, 0), ok, 0x7400, true,
       "V 2.00"},
      {"battery, full-flash, trimmed past 0x7400", Battery, WithByte(batteryFull, 0x7400, 0), ok,
       0x7800, true, "V 2.00"},
      {"battery, full-flash, nothing to trim", Battery, WithByte(batteryFull, 0x7FFF, 0), ok,
       0x8000, true, "V 2.00"},
      {"battery, full-flash with the marker at 0x10", Battery, Image(0x8000, 0x10, "BATV1.02"),
       wrong, 0, false, ""},
      {"battery, application-only with the marker at 0x2010", Battery,
       Image(0x4000, 0x2010, "BATV1.02"), wrong, 0, false, ""},
      {"battery, lower-case marker", Battery, Image(0x400, 0x10, "batv1.02"), wrong, 0, false, ""},
      {"battery, between the forms", Battery, Image(0x7FFF, 0x2010, "BATV1.02"), wrong, 0, false,
       ""},
      {"battery, longer than full-flash", Battery, Image(0x8001, 0x2010, "BATV1.02"), wrong, 0,
       false, ""},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const FirmwareFile file = LoadFirmwareFile(c.kind, Write(c.file));
    EXPECT_EQ(file.verdict, c.verdict);
    EXPECT_EQ(file.check.length, c.length);
    EXPECT_EQ(file.versionLabel, c.label);
    if (c.verdict == FileVerdict::Accepted) {
      EXPECT_EQ(file.check.fullFlash, c.fullFlash);
      EXPECT_EQ(file.bytes, c.file);
    }
  }
}

TEST_F(FileRulesTest, FilesThatCannotBeOpenedAreNotWrongFiles) {
  for (const std::string& path :
       {std::string(), (folder_ / "missing.bin").string(), folder_.Path().string()}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(LoadFirmwareFile(FirmwareKind::Mcu, path).verdict, FileVerdict::CannotOpen);
    EXPECT_EQ(LoadWavFile(path).verdict, FileVerdict::CannotOpen);
  }
}

// The three loaders on one path: what each makes of it, regular or not.
void ExpectLoadersSee(const std::string& path, bool regular) {
  EXPECT_EQ(LoadFirmwareFile(FirmwareKind::Battery, path).verdict,
            regular ? FileVerdict::Accepted : FileVerdict::CannotOpen);
  EXPECT_EQ(LoadWavFile(path).verdict, regular ? FileVerdict::TooSmall : FileVerdict::CannotOpen);
  EXPECT_EQ(ReadFileBounded(path, 0, WhenLonger::Skip).opened, regular);
}

#ifndef _WIN32
// Only a regular file is read. A folder, a FIFO (with or without a writer that never writes), a
// device and a socket are refused at once, as files that cannot be opened (the pages say "Open
// file fail!" or "Please select a file!" for them); a link to a regular file is that file.
TEST_F(FileRulesTest, OnlyRegularFilesAreRead) {
  const Bytes battery = Image(1000, 0x10, "BATV1.02");
  const std::string regular = Write(battery, "battery.bin");
  const std::string fifo = (folder_ / "pipe.bin").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string socketPath = (folder_ / "socket.bin").string();
  const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
  ASSERT_EQ(bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  fs::create_symlink(regular, folder_ / "link.bin");
  fs::create_symlink(fifo, folder_ / "link-to-pipe.bin");

  // Runs a load on a thread of its own; one that blocks on the FIFO is set free by a writer
  // after 10 s, so that the test fails instead of hanging.
  const auto loadWithin = [&fifo](const std::function<FileVerdict()>& load) {
    auto result = std::async(std::launch::async, load);
    if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "the load blocked";
      const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) close(writer);
    }
    return result.get();
  };
  struct Case {
    const char* name;
    std::string path;
    bool regular;
  };
  const Case cases[] = {
      {"regular file", regular, true},
      {"link to a regular file", (folder_ / "link.bin").string(), true},
      {"FIFO without a writer", fifo, false},
      {"link to a FIFO", (folder_ / "link-to-pipe.bin").string(), false},
      {"device", "/dev/zero", false},
      {"socket", socketPath, false},
      {"folder", folder_.Path().string(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    loadWithin([&] {
      ExpectLoadersSee(c.path, c.regular);
      return FileVerdict::Accepted;
    });
  }
  // A FIFO whose writer is there but never writes: an ordinary read would wait for ever.
  const int writer = open(fifo.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(loadWithin([&] { return LoadFirmwareFile(FirmwareKind::Mcu, fifo).verdict; }),
            FileVerdict::CannotOpen);
  close(writer);
  close(listening);
}

#else
// Only a regular file is read: a folder and a device ("NUL", "CON") are refused at once, as
// files that cannot be opened.
TEST_F(FileRulesTest, OnlyRegularFilesAreRead) {
  const std::string regular = Write(Image(1000, 0x10, "BATV1.02"), "battery.bin");
  const std::pair<std::string, bool> cases[] = {
      {regular, true}, {folder_.Path().string(), false}, {"NUL", false}, {"CON", false}};
  for (const auto& [path, isRegular] : cases) {
    SCOPED_TRACE(path);
    ExpectLoadersSee(path, isRegular);
  }
}
#endif

TEST_F(FileRulesTest, TooLongFilesAreRejectedWithoutBeingRead) {
  // Four GiB: reading it would take all the memory there is.
  const std::string huge = Sparse(std::uintmax_t{4} << 30, Image(0x400, 0x10, "APPV1.38"));
  for (FirmwareKind kind : {FirmwareKind::Mcu, FirmwareKind::Dsp, FirmwareKind::Battery}) {
    const FirmwareFile file = LoadFirmwareFile(kind, huge);
    EXPECT_EQ(file.verdict, FileVerdict::Wrong);
    EXPECT_TRUE(file.bytes.empty());
  }
}

TEST(WavRule, LengthFirstThenEveryHeaderByte) {
  EXPECT_EQ(CheckWavBytes(Wav(16427), 16427), FileVerdict::TooSmall);
  EXPECT_EQ(CheckWavBytes(Wav(16428), 16428), FileVerdict::Accepted);
  EXPECT_EQ(CheckWavBytes(Wav(28844), 28844), FileVerdict::Accepted);
  EXPECT_EQ(CheckWavBytes(Bytes(100, 0), 100), FileVerdict::TooSmall);  // too small is said first
  EXPECT_EQ(CheckWavBytes(Bytes(16428, 0), 16428), FileVerdict::Wrong);

  // Each field of the header, changed, makes the file wrong.
  struct Field {
    const char* name;
    std::size_t offset;
    std::vector<std::uint8_t> value;
  };
  const Field fields[] = {
      {"chunk ID", 0, {'R', 'I', 'F', 'X'}},
      {"RIFF size", 4, {0xA5, 0x70}},
      {"form type", 8, {'w', 'A', 'V', 'E'}},
      {"format chunk ID", 12, {'f', 'm', 't', 0}},
      {"format chunk size", 16, {0x12}},
      {"IEEE float", 20, {0x03}},
      {"stereo", 22, {0x02}},
      {"44100 Hz", 24, {0x44, 0xAC}},
      {"byte rate", 28, {0x81}},
      {"block align", 32, {0x06}},
      {"16-bit", 34, {0x10}},
      {"a LIST chunk first", 36, {'L', 'I', 'S', 'T'}},
      {"9601 samples", 40, {0x83}},
  };
  for (const Field& f : fields) {
    SCOPED_TRACE(f.name);
    Bytes file = Wav(16428);
    std::copy(f.value.begin(), f.value.end(), file.begin() + static_cast<long>(f.offset));
    EXPECT_EQ(CheckWavBytes(file, file.size()), FileVerdict::Wrong);
  }
}

TEST_F(FileRulesTest, WavFilesReadOnlyWhatASlotTakes) {
  struct Case {
    std::size_t length;
    FileVerdict verdict;
  };
  for (const Case& c : {Case{16427, FileVerdict::TooSmall}, Case{16428, FileVerdict::Accepted},
                        Case{28844, FileVerdict::Accepted}}) {
    SCOPED_TRACE(c.length);
    const WavFile file = LoadWavFile(Write(Wav(c.length), "ir.wav"));
    EXPECT_EQ(file.verdict, c.verdict);
    EXPECT_EQ(file.length, c.length);
    if (c.verdict == FileVerdict::Accepted) {
      EXPECT_EQ(file.bytes, Wav(16428));
    }
  }
  const Bytes start = Wav(16428);
  const WavFile huge = LoadWavFile(Sparse(std::uintmax_t{4} << 30, start));
  EXPECT_EQ(huge.verdict, FileVerdict::Accepted);
  EXPECT_EQ(huge.length, std::size_t{4} << 30);
  EXPECT_EQ(huge.bytes, start);
}

TEST_F(FileRulesTest, AcceptedFilesArePlacedForTheirJobs) {
  // MCU, full-flash: the whole file into the store, the trimmed length, the layout flag.
  PageFile().PageFileBuffer = Bytes{1, 2, 3};
  const Bytes mcu = WithByte(Image(0x20000, 0x6010, "APPV1.40", 0xFF), 0x8123, 0);
  ASSERT_EQ(PlaceMcuFile(AcceptFirmwareBytes(FirmwareKind::Mcu, mcu)), 1);
  EXPECT_EQ(Images().McuImageBuffer, mcu);
  EXPECT_EQ(Images().McuImageLength, 0x8400u);
  EXPECT_EQ(Images().McuFullFlashLayout, 1);
  EXPECT_FALSE(PageFile().PageFileBuffer.has_value());

  const Bytes dsp = Image(0x1000, 4, "DSPV0.300");
  ASSERT_EQ(PlaceDspFile(AcceptFirmwareBytes(FirmwareKind::Dsp, dsp)), 1);
  EXPECT_TRUE(std::equal(dsp.begin(), dsp.end(), Images().DspImageBuffer.begin()));
  EXPECT_EQ(Images().DspImageLength, 0x1000u);

  const Bytes battery = Image(0x6000, 0x10, "BATV1.02");
  ASSERT_EQ(PlaceBatteryFile(AcceptFirmwareBytes(FirmwareKind::Battery, battery)), 1);
  EXPECT_EQ(PageFile().PageFileBuffer, battery);
  EXPECT_EQ(PageFile().BatteryImageLength, 0x6000u);
  EXPECT_EQ(PageFile().BatteryFullFlashLayout, 0);

  const WavFile wav = LoadWavFile(Write(Wav(28844), "ir.wav"));
  ASSERT_EQ(PlaceAudioFile(wav), 1);
  EXPECT_EQ(PageFile().PageFileBuffer->size(), 16428u);

  // A rejected file places nothing.
  const ImageStore before = Images();
  EXPECT_EQ(PlaceMcuFile(AcceptFirmwareBytes(FirmwareKind::Mcu, Image(0x1A001, 0x10, "APPV9.99"))),
            0);
  EXPECT_EQ(PlaceDspFile(AcceptFirmwareBytes(FirmwareKind::Dsp, Image(0x10, 4, "XXXX0.300"))), 0);
  EXPECT_EQ(Images().McuImageLength, before.McuImageLength);
  EXPECT_EQ(Images().DspImageLength, before.DspImageLength);
  EXPECT_EQ(
      PlaceBatteryFile(AcceptFirmwareBytes(FirmwareKind::Battery, Image(0x6001, 0x10, "BATV1"))),
      0);
  EXPECT_EQ(PlaceAudioFile(LoadWavFile(Write(Wav(100), "short.wav"))), 0);
  EXPECT_EQ(PageFile().PageFileBuffer->size(), 16428u);
}

}  // namespace
}  // namespace korva::testing
