#include "tests/support/fake_sound.h"

namespace morrowby {
namespace testing {

void FakeSound::PlayImage(const uint8_t* image, std::size_t size) {
  requests.push_back("image:" + std::to_string(size));
  images.push_back(image);
}

}  // namespace testing
}  // namespace morrowby
