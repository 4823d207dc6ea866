// The hand-over between the two programs: what one writes the other reads, in pieces
// of any size, and anything else is refused rather than read as a run.
#include "app/hand_over.h"

#include <gtest/gtest.h>

namespace morrowby {
namespace {

HandOverState SampleState() {
  HandOverState state;
  state.list.SetSlotText(0, "/music/\xC3\xA9t\xC3\xA9.wav");
  state.list.SongCount = 1;
  state.list.SerialPosition = 7;
  state.list.PlayMode = PlayMode::kSerial;
  state.list.reserved = 0xBEEF;
  state.current_list_path = "/home/u/songs [1]=a.dat";
  return state;
}

// The header's bytes: the magic, then the version, little-endian.
std::string WithVersion(std::string block, uint32_t version) {
  for (int i = 0; i < 4; ++i) block[8 + i] = static_cast<char>((version >> (8 * i)) & 0xFF);
  return block;
}

TEST(HandOverTest, StateAndSoundEndArriveByteByByte) {
  const HandOverState sent = SampleState();
  const std::string bytes = EncodeHandOver(sent) + kSoundEnded;
  HandOverReader reader;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    ASSERT_EQ(reader.Feed(bytes.substr(i, 1)),
              i + 2 < bytes.size() ? HandOverReader::kWaiting : HandOverReader::kHasState);
  EXPECT_EQ(reader.Feed(bytes.substr(bytes.size() - 1)), HandOverReader::kEnded);
  const HandOverState& got = reader.State();
  EXPECT_EQ(EncodeSongList(got.list), EncodeSongList(sent.list));
  EXPECT_EQ(got.current_list_path, sent.current_list_path);
}

TEST(HandOverTest, AnotherVersionIsRefusedAsSoonAsItsHeaderIsIn) {
  HandOverReader reader;
  const std::string block = WithVersion(EncodeHandOver(SampleState()), kHandOverVersion + 1);
  EXPECT_EQ(reader.Feed(block.substr(0, 12)), HandOverReader::kMismatch);
  EXPECT_EQ(reader.Problem(), "the greeting speaks hand-over version " +
                                  std::to_string(kHandOverVersion + 1) +
                                  ", the windows program version " +
                                  std::to_string(kHandOverVersion));
  // Whatever follows changes nothing.
  EXPECT_EQ(reader.Feed(block.substr(12) + kSoundEnded), HandOverReader::kMismatch);
}

TEST(HandOverTest, ForeignOrDamagedBytesAreNeverReadAsARun) {
  std::string damaged = EncodeHandOver(SampleState());
  damaged[16 + kSongListBytes] = '\x7F';  // the path's length runs past the block
  const std::string foreign = "GET / HTTP/1.0\r\n";
  for (const std::string& bytes : {foreign, damaged}) {
    HandOverReader reader;
    EXPECT_EQ(reader.Feed(bytes), HandOverReader::kMismatch);
    EXPECT_FALSE(reader.Problem().empty());
  }
}

TEST(HandOverTest, AGreetingThatEndsEarlyLeavesTheChannelBroken) {
  const std::string block = EncodeHandOver(SampleState());
  for (std::size_t cut : {std::size_t{0}, std::size_t{10}, block.size()}) {
    HandOverReader reader;
    reader.Feed(block.substr(0, cut));
    EXPECT_EQ(reader.Feed("", true), HandOverReader::kBroken) << cut;
  }
}

}  // namespace
}  // namespace morrowby
