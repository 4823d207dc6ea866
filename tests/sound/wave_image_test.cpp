// Locating samples in a WAV image without trusting its lengths.
#include "sound/wave_image.h"

#include "sound/wave_file_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace morrowby {
namespace {

std::string U32(uint32_t v) {
  return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string U16(uint16_t v) { return std::string{char(v), char(v >> 8)}; }

std::string Image(const std::string& samples, uint32_t data_length, uint16_t format = 1,
                  uint16_t channels = 1, uint16_t bits = 8, const std::string& extra = "") {
  const std::string fmt = "fmt " + U32(16) + U16(format) + U16(channels) + U32(22050) +
                          U32(22050 * channels * bits / 8) + U16(channels * bits / 8) + U16(bits);
  const std::string body = "WAVE" + fmt + extra + "data" + U32(data_length) + samples;
  return "RIFF" + U32(static_cast<uint32_t>(body.size())) + body;
}

bool Parse(const std::string& image, WaveView* view) {
  return ParseWaveImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), view);
}

TEST(WaveImageTest, FindsSamplesInPlaceAndSkipsOtherChunks) {
  const std::string image = Image("abc", 3, 1, 1, 8, "LIST" + U32(3) + "xyz" + std::string(1, '\0'));
  WaveView view;
  ASSERT_TRUE(Parse(image, &view));
  EXPECT_EQ(view.bytes, 3u);
  EXPECT_EQ(view.rate, 22050);
  EXPECT_EQ(view.bits, 8);
  EXPECT_EQ(reinterpret_cast<const char*>(view.samples), image.data() + image.size() - 3);
}

TEST(WaveImageTest, DataLongerThanTheImageIsCutToWholeFrames) {
  WaveView view;
  ASSERT_TRUE(Parse(Image("12345", 0x7fffffff, 1, 2, 16), &view));
  EXPECT_EQ(view.bytes, 4u);
}

TEST(WaveImageTest, RefusesWhatItCannotPlay) {
  WaveView view;
  EXPECT_FALSE(Parse("", &view));
  EXPECT_FALSE(Parse("RIFF\0\0\0\0WAVX", &view));
  EXPECT_FALSE(Parse(Image("ab", 2, 3), &view));           // float
  EXPECT_FALSE(Parse(Image("ab", 2, 1, 6), &view));        // six channels
  EXPECT_FALSE(Parse(Image("ab", 2, 1, 1, 24), &view));    // 24-bit
  std::string lying = Image("ab", 2);
  lying.replace(16, 4, U32(0xfffffff0));                   // fmt chunk claims 4 GB
  EXPECT_FALSE(Parse(lying, &view));
  std::string cut = Image("ab", 2);
  EXPECT_FALSE(Parse(cut.substr(0, 30), &view));
}

// --output must not pass off a file with a clip missing as the announcement.
TEST(WaveImageTest, TheWriterCountsEveryImageItCannotTake) {
  WaveView format;
  const std::string good = Image("ab", 2);
  ASSERT_TRUE(Parse(good, &format));
  WaveFileWriter writer(format);
  for (const std::string& image : {good, Image("ab", 2, 3), std::string("RIFF"), good})
    writer.PlayImage(reinterpret_cast<const uint8_t*>(image.data()), image.size());
  EXPECT_EQ(writer.ImagesSkipped(), 2);
}

}  // namespace
}  // namespace morrowby
