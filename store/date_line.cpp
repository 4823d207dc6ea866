// Converting DateLine to and from the date words window's button states.
#include "store/date_line.h"

namespace morrowby {
namespace {
constexpr std::size_t kClockStylePosition = 10;

bool On(const std::string& line, std::size_t position) {
  return position < line.size() && line[position] == 'y';
}
}  // namespace

DateWordsChoice ParseDateLine(const std::string& line) {
  DateWordsChoice choice;
  for (int p = 0; p < kDateWordCount; ++p) choice.left_out[p] = !On(line, p);
  choice.twelve_hour = On(line, kClockStylePosition);
  return choice;
}

std::string FormatDateLine(const DateWordsChoice& choice) {
  std::string line;
  for (bool left_out : choice.left_out) line += left_out ? 'n' : 'y';
  line += choice.twelve_hour ? 'y' : 'n';
  return line;
}

}  // namespace morrowby
