// The real sound service on SDL's disk driver, which records exactly what the device
// was given: consecutive requests must join with no silence added between them, and a
// pause must last exactly as long as it was asked to.
#include "sound/device_sound_service.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sound/announcement.h"
#include "sound/clip_catalogue.h"
#include "sound/song_file_types.h"
#include "sound/wave_image.h"
#include "tests/support/temp_folder.h"

namespace morrowby {
namespace {

constexpr int kRate = 48000;  // what the service asks the device for

// A RIFF WAVE image of `frames` frames, every sample holding the bytes of `sample`.
std::vector<uint8_t> WaveImage(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                               std::size_t frames, const std::vector<uint8_t>& sample) {
  auto u16 = [](std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 2; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
  };
  auto u32 = [](std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
  };
  const uint32_t block = channels * bits / 8u;
  const std::size_t count = frames * block;
  std::vector<uint8_t> image = {'R', 'I', 'F', 'F'};
  u32(image, static_cast<uint32_t>(36 + count + (count & 1)));
  for (char c : std::string("WAVEfmt ")) image.push_back(static_cast<uint8_t>(c));
  u32(image, 16);
  u16(image, tag);
  u16(image, channels);
  u32(image, rate);
  u32(image, rate * block);
  u16(image, block);
  u16(image, bits);
  for (char c : std::string("data")) image.push_back(static_cast<uint8_t>(c));
  u32(image, static_cast<uint32_t>(count));
  for (std::size_t i = 0; i < frames * channels; ++i)
    image.insert(image.end(), sample.begin(), sample.end());
  if (count & 1) image.push_back(128);
  return image;
}

// A mono 8-bit 22050 Hz image, the clips' own format, holding `count` samples of one level.
std::vector<uint8_t> LevelImage(std::size_t count, uint8_t level) {
  return WaveImage(1, 1, 22050, 8, count, {level});
}

class DeviceSoundServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", folder_.File("out.raw").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
  }

  // The left channel of everything the device was given.
  std::vector<int16_t> Recording() {
    const std::string raw = testing::ReadWholeFile(folder_.File("out.raw"));
    std::vector<int16_t> left;
    for (std::size_t i = 0; i + 4 <= raw.size(); i += 4)
      left.push_back(static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | (raw[i + 1] << 8)));
    return left;
  }

  // First and one-past-last sample that is not exact silence.
  static std::pair<std::size_t, std::size_t> Span(const std::vector<int16_t>& s) {
    std::size_t first = 0, last = s.size();
    while (first < s.size() && s[first] == 0) ++first;
    while (last > first && s[last - 1] == 0) --last;
    return {first, last};
  }

  testing::TempFolder folder_;
};

TEST_F(DeviceSoundServiceTest, ConsecutiveImagesJoinWithoutSilenceAndPausesAreExact) {
  const std::vector<uint8_t> a = LevelImage(4410, 200), b = LevelImage(2205, 60);
  {
    auto sound = MakeDeviceSoundService();
    sound->Drain();  // nothing played yet: a later request must still play
    for (int i = 0; i < 5; ++i) sound->PlayImage(a.data(), a.size());
    sound->PlayImage(b.data(), b.size());
    sound->PlaySilence(100);
    sound->PlayImage(a.data(), a.size());
    sound->Drain();
  }
  const std::vector<int16_t> rec = Recording();
  const auto [first, last] = Span(rec);
  ASSERT_LT(first, last) << "nothing was played";
  // Five 0.2 s images and one 0.1 s image back to back: 1.1 s with no silent sample.
  std::size_t zeros_in_music = 0, pause = 0;
  std::size_t i = first;
  for (; i < last && rec[i] != 0; ++i) {
  }
  const std::size_t music = i - first;
  for (; i < last && rec[i] == 0; ++i) ++pause;
  for (; i < last; ++i) zeros_in_music += rec[i] == 0;
  EXPECT_NEAR(static_cast<double>(music), 1.1 * kRate, 0.001 * kRate * 6);
  EXPECT_NEAR(static_cast<double>(pause), 0.1 * kRate, 0.001 * kRate);
  EXPECT_EQ(zeros_in_music, 0u);
  EXPECT_NEAR(static_cast<double>(last - first), 1.4 * kRate, 0.001 * kRate * 8);
}

TEST_F(DeviceSoundServiceTest, AnnouncementLastsExactlyAsLongAsItsClips) {
  StartUpTime t;  // an ordinary day: 1 January would be a single clip
  t.mday = 6;
  t.hour = 21;
  t.minute = 35;
  const std::vector<AnnouncementStep> steps = BuildAnnouncement(t, "nnnnnnnynnn", 0);
  // Everything the clips hold, less the exact mid-level samples at the very start and
  // end (the gap clips are such silence), which leave no trace in the recording.
  std::vector<uint8_t> all;
  for (const AnnouncementStep& s : steps) {
    const ClipImage clip = FindClip(ProgramModule(), static_cast<ClipId>(s.value));
    WaveView view;
    ASSERT_TRUE(ParseWaveImage(clip.data, clip.size, &view));
    all.insert(all.end(), view.samples, view.samples + view.bytes);
  }
  std::size_t begin = 0, end = all.size();
  while (begin < end && all[begin] == 128) ++begin;
  while (end > begin && all[end - 1] == 128) --end;
  const double expected_seconds = static_cast<double>(end - begin) / 22050;
  {
    auto sound = MakeDeviceSoundService();
    for (const AnnouncementStep& s : steps) PlayClip(*sound, ProgramModule(), static_cast<ClipId>(s.value));
    sound->Drain();
  }
  const auto [first, last] = Span(Recording());
  const double junctions = static_cast<double>(steps.size() - 1);
  RecordProperty("added_ms_per_junction",
                 std::to_string(((last - first) / static_cast<double>(kRate) - expected_seconds) *
                                1000 / junctions));
  EXPECT_NEAR((last - first) / static_cast<double>(kRate), expected_seconds, 0.001 * junctions);
}

TEST_F(DeviceSoundServiceTest, PauseAfterAFloatStereoSongLastsExactly) {
  // 44.1 kHz float stereo: 333 ms is no whole number of 8-byte frames' worth of bytes.
  const float half = 0.5f;
  std::vector<uint8_t> level(sizeof half);
  std::memcpy(level.data(), &half, sizeof half);
  const std::vector<uint8_t> song = WaveImage(3, 2, 44100, 32, 11025, level);
  const std::string path = folder_.File("song.wav");
  testing::WriteWholeFile(path, std::string(song.begin(), song.end()));
  const std::vector<uint8_t> after = LevelImage(2205, 200);
  {
    auto sound = MakeDeviceSoundService();
    sound->PlayNamedSound(path);
    sound->PlaySilence(333);
    sound->PlayImage(after.data(), after.size());
    sound->Drain();
  }
  const std::vector<int16_t> rec = Recording();
  const auto [first, last] = Span(rec);
  ASSERT_LT(first, last) << "nothing was played";
  std::size_t i = first;
  while (i < last && rec[i] != 0) ++i;
  EXPECT_NEAR(static_cast<double>(i - first), 0.25 * kRate, 0.001 * kRate);
  std::size_t pause = 0;
  for (; i < last && rec[i] == 0; ++i) ++pause;
  EXPECT_NEAR(static_cast<double>(pause), 0.333 * kRate, 0.001 * kRate);
  EXPECT_NEAR(static_cast<double>(last - i), 0.1 * kRate, 0.001 * kRate);
}

// The song chooser shows the files of these extensions: none of libsndfile's formats
// may be missing from them when a newer library reads more.
TEST(SongFileTypesTest, EveryFormatLibsndfileReadsHasItsExtensionAmongASongs) {
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  ASSERT_GT(count, 0);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    ASSERT_EQ(sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info), 0);
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) continue;
    EXPECT_NE(std::find_if(std::begin(kSongFileExtensions), std::end(kSongFileExtensions),
                           [&](const char* e) { return std::strcmp(e, info.extension) == 0; }),
              std::end(kSongFileExtensions))
        << info.name << " (." << info.extension << ")";
  }
}

}  // namespace
}  // namespace morrowby
