// Gathering samples in memory and writing the canonical 44-byte-header WAV file.
#include "sound/wave_file_writer.h"

namespace morrowby {
namespace {

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}
void PutU16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xff));
  out.push_back(static_cast<char>(v >> 8));
}

}  // namespace

WaveFileWriter::WaveFileWriter(const WaveView& format) : format_(format) {
  format_.samples = nullptr;
  format_.bytes = 0;
}

void WaveFileWriter::PlayNamedSound(const std::string& /*name*/) {}

void WaveFileWriter::PlayImage(const uint8_t* image, std::size_t size) {
  WaveView view;
  if (!ParseWaveImage(image, size, &view) || view.channels != format_.channels ||
      view.rate != format_.rate || view.bits != format_.bits) {
    ++images_skipped_;
    return;
  }
  samples_.insert(samples_.end(), view.samples, view.samples + view.bytes);
}

void WaveFileWriter::PlaySilence(int milliseconds) {
  if (milliseconds <= 0) return;
  const std::size_t frames = static_cast<std::size_t>(format_.rate) * milliseconds / 1000;
  const std::size_t frame = static_cast<std::size_t>(format_.channels) * (format_.bits / 8);
  samples_.insert(samples_.end(), frames * frame, format_.bits == 8 ? 128 : 0);
}

std::string WaveFileWriter::Image() const {
  const uint16_t block = static_cast<uint16_t>(format_.channels * (format_.bits / 8));
  const uint32_t data = static_cast<uint32_t>(samples_.size());
  std::string out;
  out.reserve(44 + samples_.size() + 1);
  out += "RIFF";
  PutU32(out, 36 + data + (data & 1));
  out += "WAVEfmt ";
  PutU32(out, 16);
  PutU16(out, 1);  // PCM
  PutU16(out, static_cast<uint16_t>(format_.channels));
  PutU32(out, static_cast<uint32_t>(format_.rate));
  PutU32(out, static_cast<uint32_t>(format_.rate) * block);
  PutU16(out, block);
  PutU16(out, static_cast<uint16_t>(format_.bits));
  out += "data";
  PutU32(out, data);
  out.append(samples_.begin(), samples_.end());
  if (data & 1) out.push_back('\0');  // chunks are padded to an even length
  return out;
}

FileResult WaveFileWriter::WriteTo(const std::string& path) const { return ReplaceFile(path, Image()); }

}  // namespace morrowby
