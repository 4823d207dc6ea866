// A sound service that plays nothing and records what it was asked, in order.
#pragma once

#include <string>
#include <vector>

#include "sound/sound_service.h"

namespace morrowby {
namespace testing {

class FakeSound : public SoundService {
 public:
  void PlayNamedSound(const std::string& name) override { requests.push_back("song:" + name); }
  void PlayImage(const uint8_t* image, std::size_t size) override;
  void PlaySilence(int ms) override { requests.push_back("silence:" + std::to_string(ms)); }
  void Drain() override { requests.push_back("drain"); }

  std::vector<std::string> requests;
  std::vector<const uint8_t*> images;  // where each played image lives
};

}  // namespace testing
}  // namespace morrowby
