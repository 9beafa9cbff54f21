// Image forms, markers, size rules, trimming and the carried images.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "images/embedded_images.h"
#include "images/image_formats.h"
#include "images/image_store.h"
#include "tests/shared/file_bytes.h"

namespace korva::testing {
namespace {

struct RuleCase {
  const char* name;
  std::vector<std::uint8_t> image;
  bool accepted;
  bool fullFlash;
  std::size_t length;
};

TEST(ImageRules, McuBoundaries) {
  const RuleCase cases[] = {
      {"largest application-only", Image(0x1A000, 0x10, "APPV1.38"), true, false, 0x1A000},
      {"one byte too long", Image(0x1A001, 0x10, "APPV1.38"), false, false, 0},
      {"shortest", Image(0x18, 0x10, "APPV1.38"), true, false, 0x18},
      {"too short for the version", Image(0x17, 0x10, "APPV"), false, false, 0},
      {"full-flash, trimmed", Image(0x20000, 0x6010, "APPV1.38", 0xFF), true, true, 0x6400},
      {"full-flash with the marker at 0x10 only", Image(0x20000, 0x10, "APPV1.38"), false, false,
       0},
      {"application-only with the marker at 0x6010", Image(0x8000, 0x6010, "APPV1.38"), false,
       false, 0},
      {"lower-case marker", Image(0x400, 0x10, "appv1.38"), false, false, 0},
      {"empty", {}, false, false, 0},
  };
  for (const RuleCase& c : cases) {
    const ImageCheck check = CheckMcuImage(c.image);
    EXPECT_EQ(check.accepted, c.accepted) << c.name;
    EXPECT_EQ(check.fullFlash, c.fullFlash) << c.name;
    EXPECT_EQ(check.length, c.length) << c.name;
  }
}

TEST(ImageRules, DspBoundaries) {
  auto fullWithHeaderAt4Only = Image(0x80000, 4, "DSPV0.250");
  const RuleCase cases[] = {
      {"full-memory", Image(0x80000, 0x7F004, "DSPV0.250"), true, true, 0x80000},
      {"full-memory with the marker at 4 only", fullWithHeaderAt4Only, false, true, 0},
      {"longest short form", Image(0x7FFFF, 4, "DSPV0.250"), true, false, 0x7FFFF},
      {"too long", Image(0x80001, 4, "DSPV0.250"), false, false, 0},
      {"shortest", Image(16, 4, "DSPV0.250"), true, false, 16},
      {"too short", Image(15, 4, "DSPV0.25"), false, false, 0},
      {"lower-case marker", Image(64, 4, "dspv0.250"), false, false, 0},
  };
  for (const RuleCase& c : cases) {
    const ImageCheck check = CheckDspImage(c.image);
    EXPECT_EQ(check.accepted, c.accepted) << c.name;
    // A full-memory image is known by its length: its marker is looked for at 0x7F004 alone.
    EXPECT_EQ(check.fullFlash, c.fullFlash) << c.name;
    EXPECT_EQ(check.length, c.length) << c.name;
  }
}

TEST(ImageRules, TrimmingCutsToTheEndOfTheLastUsedKiB) {
  auto image = Image(0x20000, 0x6010, "APPV1.38", 0xFF);
  image[0x8123] = 0x00;
  EXPECT_EQ(CheckMcuImage(image).length, 0x8400u);
  image[0x8123] = 0xFF;
  image[0x83FF] = 0x01;  // the last byte of a block keeps that block
  EXPECT_EQ(TrimmedLength(image), 0x8400u);
  EXPECT_EQ(TrimmedLength(std::vector<std::uint8_t>(0x400, 0xFF)), 0u);
}

TEST(ImageRules, VersionBytesEndAtTheFirstZero) {
  auto mcu = Image(0x400, 0x10, "APPV1.38");
  std::memset(&mcu[0x18], 0, 4);
  EXPECT_EQ(VersionLabel(CheckMcuImage(mcu)), "V 1.38");
  auto full = Image(0x400, 0x10, "APPV1.38abcd");
  EXPECT_EQ(CheckMcuImage(full).versionBytes, "1.38abcd");
  EXPECT_EQ(CheckDspImage(Image(64, 4, "DSPV0.250xyz")).versionBytes, "0.250");
}

TEST(CarriedImages, LoadGivesTheCarriedVersionAndLengths) {
  ResetImageStore();
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  const ImageStore& store = Images();
  EXPECT_EQ(ToString(EmbeddedVersionText()), "Ver1.38.250");
  EXPECT_EQ(store.McuFullFlashLayout, 0);
  EXPECT_EQ(store.McuImageLength, 47120u);
  EXPECT_EQ(store.DspImageLength - kDspHeaderBytes, 137420u);
  // The generated images are made to the forms, and are not all one value.
  EXPECT_EQ(std::memcmp(&store.McuImageBuffer[0x10], "APPV1.38\0\0\0\0", 12), 0);
  EXPECT_EQ(std::memcmp(&store.DspImageBuffer[0], "\0\0\0\0DSPV0.250\0\0\0", 16), 0);
  EXPECT_NE(store.McuImageBuffer[0x100], store.McuImageBuffer[0x101]);
}

TEST(CarriedImages, TheirVersionIsWorkedOutWithoutTheImageStores) {
  ResetImageStore();
  const auto version = CarriedFirmwareVersion();
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(ToString(*version), "Ver1.38.250");
  EXPECT_EQ(Images().McuImageLength, 0u);
  EXPECT_EQ(Images().DspImageLength, 0u);
  EXPECT_EQ(Images().McuVersionChars, (std::array<char, kMcuVersionChars>{}));
}

TEST(CarriedImages, ResourceProblems) {
  ResetImageStore();
  const std::vector<std::uint8_t> mcu = Image(0x400, 0x10, "APPV2.01");
  const std::vector<std::uint8_t> dsp = Image(0x100, 4, "DSPV0.300");
  const std::vector<std::uint8_t> badDsp = Image(0x100, 4, "XXXX0.300");
  const std::vector<std::uint8_t> huge(0x20001, 0);
  auto from = [](const std::vector<std::uint8_t>* m, const std::vector<std::uint8_t>* d) {
    return [m, d](int id) -> std::optional<std::span<const std::uint8_t>> {
      const auto* bytes = id == kMcuResourceId ? m : d;
      if (!bytes) return std::nullopt;
      return std::span<const std::uint8_t>(*bytes);
    };
  };
  ASSERT_EQ(LoadImagesFromResources(from(&mcu, &dsp)), 1);
  EXPECT_EQ(ToString(EmbeddedVersionText()), "Ver2.01.300");

  // A DSP image that fails its check keeps the MCU characters just taken.
  const std::vector<std::uint8_t> mcu2 = Image(0x400, 0x10, "APPV3.02");
  EXPECT_EQ(LoadImagesFromResources(from(&mcu2, &badDsp)), 0);
  EXPECT_EQ(ToString(EmbeddedVersionText()), "Ver3.02.300");

  // A missing resource leaves its buffer as it was; a resource too large is not copied.
  EXPECT_EQ(LoadImagesFromResources(from(nullptr, &dsp)), 1);
  EXPECT_EQ(Images().McuImageLength, 0x400u);
  EXPECT_EQ(LoadImagesFromResources(from(&huge, &dsp)), 0);
  EXPECT_EQ(Images().McuImageLength, 0x400u);
}

}  // namespace
}  // namespace korva::testing
