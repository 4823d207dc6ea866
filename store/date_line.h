// The DateLine setting as the date words window shows it: ten components, each spoken
// or left out, and the clock style. Stored as one character per position, 'y' for
// spoken (position 10: 'y' for the 12-hour style).
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace morrowby {

constexpr int kDateWordCount = 10;         // positions 0 to 9
constexpr std::size_t kDateLineRoom = 13;  // read with room for 12 characters

struct DateWordsChoice {
  std::array<bool, kDateWordCount> left_out{};
  bool twelve_hour = false;
};

// Only a lower-case 'y' switches a position on; any other character, and every
// position past the end of a short value, counts as off (left out, 24-hour style).
DateWordsChoice ParseDateLine(const std::string& line);

// Exactly 11 characters of 'y' and 'n'.
std::string FormatDateLine(const DateWordsChoice& choice);

}  // namespace morrowby
