// Checks the built-in clips 601..682 as they sit on disk in the folder named
// by MORROWBY_CLIPS_DIR (written by tools/make_clips.sh).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#ifndef MORROWBY_CLIPS_DIR
#error "MORROWBY_CLIPS_DIR must name the folder holding the clips"
#endif

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kFirstId = 601;
constexpr int kLastId = 682;
constexpr int kGapId = 677;
constexpr int kSilenceId = 678;
constexpr int kChimeId = 679;
constexpr std::size_t kHeaderSize = 44;
constexpr int kRate = 22050;
constexpr std::size_t kMs = kRate / 1000;  // samples per millisecond, near enough

bool isTimingClip(int id) { return id == kGapId || id == kSilenceId || id == kChimeId; }

std::uint32_t le(const Bytes& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

std::string tag(const Bytes& b, std::size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

// The first way a file departs from the clip layout, or "" when it has none:
// RIFF/WAVE, a 16-byte PCM "fmt " chunk (mono, 22050 Hz, 8-bit), then a
// "data" chunk, one pad byte after odd data, and nothing else.
std::string layoutFault(const Bytes& f) {
    if (f.size() < kHeaderSize) return "shorter than a header";
    if (tag(f, 0) != "RIFF" || tag(f, 8) != "WAVE") return "not RIFF/WAVE";
    if (tag(f, 12) != "fmt " || le(f, 16, 4) != 16) return "first chunk is not a 16-byte fmt";
    if (le(f, 20, 2) != 1) return "format tag is not PCM";
    if (le(f, 22, 2) != 1) return "not mono";
    if (le(f, 24, 4) != kRate || le(f, 28, 4) != kRate) return "rate or byte rate is not 22050";
    if (le(f, 32, 2) != 1 || le(f, 34, 2) != 8) return "not 8-bit, block align 1";
    if (tag(f, 36) != "data") return "second chunk is not data";
    const std::uint32_t n = le(f, 40, 4);
    const std::uint32_t pad = n % 2;
    if (n == 0) return "no samples";
    if (le(f, 4, 4) != 36 + n + pad) return "RIFF length is not 36 + data + pad";
    if (f.size() != std::size_t{8} + le(f, 4, 4)) return "file size is not RIFF length + 8";
    if (pad && f[kHeaderSize + n] != 0x80 && f[kHeaderSize + n] != 0x00) return "bad pad byte";
    return "";
}

int distance(std::uint8_t s) { return std::abs(int{s} - 128); }

// Samples from the first one further than `tolerance` from rest (128).
std::size_t restingRun(const Bytes& s, int tolerance, bool fromEnd) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (distance(fromEnd ? s[s.size() - 1 - i] : s[i]) > tolerance) return i;
    }
    return s.size();
}

double blockPowerDb(const Bytes& s, std::size_t from, std::size_t count) {
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i) sum += double(distance(s[i])) * distance(s[i]);
    return 10 * std::log10(sum / count / (128.0 * 128.0) + 1e-12);
}

// RMS in dBFS over the 10 ms blocks within 30 dB of the loudest one: the
// level of a clip while it is sounding, the measure the clips are levelled on.
double activeRmsDb(const Bytes& s) {
    const std::size_t block = 10 * kMs;
    std::vector<double> powers;
    for (std::size_t i = 0; i < s.size(); i += block) {
        const std::size_t n = std::min(block, s.size() - i);
        powers.push_back(std::pow(10.0, blockPowerDb(s, i, n) / 10));
    }
    const double floor = *std::max_element(powers.begin(), powers.end()) / 1000.0;
    double sum = 0;
    int count = 0;
    for (double p : powers) {
        if (p >= floor) sum += p, ++count;
    }
    return 10 * std::log10(sum / count);
}

class ClipFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int id = kFirstId; id <= kLastId; ++id) {
            std::ifstream in(path(id), std::ios::binary);
            if (in) files()[id] = Bytes(std::istreambuf_iterator<char>(in), {});
        }
    }

    static fs::path path(int id) { return fs::path(MORROWBY_CLIPS_DIR) / (std::to_string(id) + ".wav"); }
    static std::map<int, Bytes>& files() {
        static std::map<int, Bytes> loaded;
        return loaded;
    }
    // The samples of a clip, or nothing if the file is missing or malformed.
    static Bytes samples(int id) {
        auto it = files().find(id);
        if (it == files().end() || !layoutFault(it->second).empty()) return {};
        const Bytes& f = it->second;
        return Bytes(f.begin() + kHeaderSize, f.begin() + kHeaderSize + le(f, 40, 4));
    }
    static std::vector<int> spokenIds() {
        std::vector<int> ids;
        for (int id = kFirstId; id <= kLastId; ++id) {
            if (!isTimingClip(id)) ids.push_back(id);
        }
        return ids;
    }
};

TEST_F(ClipFiles, EveryIdHasAFileAndTheFolderHoldsNothingElse) {
    for (int id = kFirstId; id <= kLastId; ++id) EXPECT_EQ(files().count(id), 1u) << "missing " << path(id);
    for (const auto& entry : fs::directory_iterator(MORROWBY_CLIPS_DIR)) {
        const std::string stem = entry.path().stem().string();
        const bool numeric = !stem.empty() && std::all_of(stem.begin(), stem.end(), [](unsigned char c) { return std::isdigit(c); });
        const int id = numeric && stem.size() < 6 ? std::stoi(stem) : -1;
        EXPECT_TRUE(entry.is_regular_file() && entry.path().extension() == ".wav" && id >= kFirstId &&
                    id <= kLastId && stem == std::to_string(id))
            << "stray entry " << entry.path();
    }
}

TEST_F(ClipFiles, EveryFileHasTheCommonLayout) {
    for (const auto& [id, file] : files()) EXPECT_EQ(layoutFault(file), "") << "clip " << id;
}

TEST_F(ClipFiles, TimingClipsHaveExactLengthsAndRest) {
    const Bytes gap = samples(kGapId), silence = samples(kSilenceId), chime = samples(kChimeId);
    EXPECT_EQ(gap.size(), 6640u);
    EXPECT_EQ(silence.size(), 9786u);
    EXPECT_EQ(chime.size(), 75544u);
    EXPECT_EQ(restingRun(gap, 1, false), gap.size()) << "the gap is not near-silent";
    EXPECT_EQ(restingRun(silence, 0, false), silence.size()) << "the silence is not all 128";
}

TEST_F(ClipFiles, ChimeIsUnclippedAndStrikesTwice) {
    const Bytes chime = samples(kChimeId);
    ASSERT_FALSE(chime.empty());
    const auto [low, high] = std::minmax_element(chime.begin(), chime.end());
    EXPECT_GE(*low, 1) << "the chime touches 0";
    EXPECT_LE(*high, 254) << "the chime touches 255";
    const int peak = std::max(distance(*low), distance(*high));
    EXPECT_NEAR(20 * std::log10(peak / 128.0), -3.0, 1.0) << "peak should sit near -3 dBFS";
    EXPECT_EQ(chime.front(), 128);
    EXPECT_EQ(chime.back(), 128);
    // A second strike: somewhere in the second half, a 10 ms block well
    // above the one 50 ms before it (a single decaying tone has none).
    const std::size_t block = 10 * kMs;
    double rise = -100;
    for (std::size_t i = chime.size() / 2; i + block < chime.size(); i += block) {
        rise = std::max(rise, blockPowerDb(chime, i, block) - blockPowerDb(chime, i - 5 * block, block));
    }
    EXPECT_GT(rise, 6.0);
}

TEST_F(ClipFiles, SpokenClipsFadeToRestAndAreTrimmedTight) {
    for (int id : spokenIds()) {
        const Bytes s = samples(id);
        ASSERT_GT(s.size(), 50 * kMs) << "clip " << id;
        EXPECT_EQ(s.front(), 128) << "clip " << id << " does not start at rest";
        EXPECT_EQ(s.back(), 128) << "clip " << id << " does not end at rest";
        EXPECT_GE(restingRun(s, 4, false), kMs) << "clip " << id << " has no fade-in";
        EXPECT_GE(restingRun(s, 4, true), kMs) << "clip " << id << " has no fade-out";
        // Near-silence (within 1 step of rest) at either end: 25 ms at most
        // (10 ms kept past the sound, the fade, and a word's last breath,
        // which the expander lets through a step or so above rest).
        EXPECT_LE(restingRun(s, 1, false), 25 * kMs) << "clip " << id << " has leading silence";
        EXPECT_LE(restingRun(s, 1, true), 25 * kMs) << "clip " << id << " has trailing silence";
    }
}

TEST_F(ClipFiles, SpokenClipsAreEvenlyLoudWithoutClipping) {
    double quietest = 0, loudest = -200;
    for (int id : spokenIds()) {
        const Bytes s = samples(id);
        ASSERT_FALSE(s.empty()) << "clip " << id;
        const double level = activeRmsDb(s);
        quietest = std::min(quietest, level);
        loudest = std::max(loudest, level);
        EXPECT_NEAR(level, -10.0, 1.0) << "clip " << id;
        const auto [low, high] = std::minmax_element(s.begin(), s.end());
        // 120 steps is -0.56 dBFS; 0 and 255 would be clipped samples.
        EXPECT_LE(std::max(distance(*low), distance(*high)), 120) << "clip " << id << " peaks above -0.5 dBFS";
    }
    EXPECT_LE(loudest - quietest, 1.0);
}

TEST_F(ClipFiles, SpokenClipsHavePlausibleLengthsAndTwoTakesOfIts) {
    for (int id : spokenIds()) {
        const double seconds = double(samples(id).size()) / kRate;
        EXPECT_GE(seconds, 0.12) << "clip " << id << " is cut short";
        EXPECT_LE(seconds, 1.5) << "clip " << id << " is too long for its words";
    }
    EXPECT_NE(samples(671), samples(672)) << "the two takes of \"It's\" are the same recording";
}

}  // namespace
