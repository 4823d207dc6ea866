// Gathering samples in memory and writing the canonical 44-byte-header WAV file.
#include "sound/wave_file_writer.h"

#include "store/byte_order.h"

namespace morrowby {

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
  AppendLittleEndian(&out, 36 + data + (data & 1), 4);
  out += "WAVEfmt ";
  AppendLittleEndian(&out, 16, 4);
  AppendLittleEndian(&out, 1, 2);  // PCM
  AppendLittleEndian(&out, static_cast<uint16_t>(format_.channels), 2);
  AppendLittleEndian(&out, static_cast<uint32_t>(format_.rate), 4);
  AppendLittleEndian(&out, static_cast<uint32_t>(format_.rate) * block, 4);
  AppendLittleEndian(&out, block, 2);
  AppendLittleEndian(&out, static_cast<uint16_t>(format_.bits), 2);
  out += "data";
  AppendLittleEndian(&out, data, 4);
  out.append(samples_.begin(), samples_.end());
  if (data & 1) out.push_back('\0');  // chunks are padded to an even length
  return out;
}

FileResult WaveFileWriter::WriteTo(const std::string& path) const { return ReplaceFile(path, Image()); }

}  // namespace morrowby
