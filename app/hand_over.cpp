// Writing and reading the hand-over's state block.
#include "app/hand_over.h"
#include "store/translation.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/byte_order.h"

namespace morrowby {
namespace {

constexpr char kMagic[] = "MORROWBY";
constexpr std::size_t kMagicBytes = 8;
constexpr std::size_t kHeaderBytes = kMagicBytes + 4 + 4;

void PutText(std::string* out, const std::string& text) {
  const std::size_t n = text.size() < 0xFFFF ? text.size() : 0xFFFF;
  AppendLittleEndian(out, static_cast<uint32_t>(n), 2);
  out->append(text, 0, n);
}

// Reads fields off the front of a complete block; false once it runs short.
class Fields {
 public:
  Fields(const std::string& bytes, std::size_t at) : bytes_(bytes), at_(at) {}
  bool U32(uint32_t* v) {
    if (at_ + 4 > bytes_.size()) return false;
    *v = GetLe32(reinterpret_cast<const uint8_t*>(bytes_.data() + at_));
    at_ += 4;
    return true;
  }
  bool Raw(void* out, std::size_t n) {
    if (at_ + n > bytes_.size()) return false;
    std::memcpy(out, bytes_.data() + at_, n);
    at_ += n;
    return true;
  }
  bool Text(std::string* text) {
    uint8_t n[2];
    if (!Raw(n, 2)) return false;
    const std::size_t length = GetLe16(n);
    if (at_ + length > bytes_.size()) return false;
    text->assign(bytes_, at_, length);
    at_ += length;
    return true;
  }
  std::size_t at() const { return at_; }

 private:
  const std::string& bytes_;
  std::size_t at_;
};

}  // namespace

std::string EncodeHandOver(const HandOverState& state) {
  std::string body;
  const SongListImage image = EncodeSongList(state.list);
  body.append(reinterpret_cast<const char*>(image.data()), image.size());
  PutText(&body, state.current_list_path);
  std::string block(kMagic, kMagicBytes);
  AppendLittleEndian(&block, kHandOverVersion, 4);
  AppendLittleEndian(&block, static_cast<uint32_t>(body.size()), 4);
  return block + body;
}

HandOverReader::Status HandOverReader::Feed(const std::string& bytes, bool closed) {
  if (status_ == kMismatch || status_ == kBroken || status_ == kEnded) return status_;
  buffer_ += bytes;
  status_ = Parse();
  if (closed && (status_ == kWaiting || status_ == kHasState)) {
    problem_ = Tr("the greeting ended before it had handed over its run");
    status_ = kBroken;
  }
  return status_;
}

HandOverReader::Status HandOverReader::Parse() {
  if (status_ == kHasState) {
    return buffer_.find(kSoundEnded) != std::string::npos ? kEnded : kHasState;
  }
  // The magic and the version are checked as soon as they are here, so that another
  // format is never read as this one.
  const std::size_t magic_seen = buffer_.size() < kMagicBytes ? buffer_.size() : kMagicBytes;
  if (buffer_.compare(0, magic_seen, kMagic, magic_seen) != 0) {
    problem_ = Tr("the greeting handed over something that is not a run");
    return kMismatch;
  }
  Fields header(buffer_, kMagicBytes);
  uint32_t version = 0, length = 0;
  if (!header.U32(&version)) return kWaiting;
  if (version != kHandOverVersion) {
    problem_ = TrFormat("the greeting speaks hand-over version %u, the windows program version %u",
                        static_cast<unsigned>(version), static_cast<unsigned>(kHandOverVersion));
    return kMismatch;
  }
  if (!header.U32(&length) || buffer_.size() < kHeaderBytes + length) return kWaiting;
  Fields f(buffer_, kHeaderBytes);
  SongListImage image;
  HandOverState state;
  if (!f.Raw(image.data(), image.size()) || !f.Text(&state.current_list_path) ||
      f.at() != kHeaderBytes + length) {
    problem_ = Tr("the greeting's hand-over is damaged");
    return kMismatch;
  }
  state.list = DecodeSongList(image);
  state_ = state;
  buffer_.erase(0, kHeaderBytes + length);
  return buffer_.find(kSoundEnded) != std::string::npos ? kEnded : kHasState;
}

HandOverReader::Status ReadHandOver(int fd, HandOverReader* reader) {
  char bytes[4096];
  for (;;) {
    const ssize_t n = read(fd, bytes, sizeof bytes);
    if (n > 0) {
      reader->Feed(std::string(bytes, static_cast<std::size_t>(n)));
    } else if (n == 0) {
      return reader->Feed("", true);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return reader->status();  // nothing more for now
    } else if (errno != EINTR) {
      return reader->Feed("", true);
    }
  }
}

}  // namespace morrowby
