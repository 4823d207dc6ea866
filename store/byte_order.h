// Little-endian integers in byte buffers: the layout of every integer the program
// writes to a file or a pipe (the song list, the hand-over, WAV headers).
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace morrowby {

// The unsigned integer held in the `bytes` (1 to 4) bytes at `p`, lowest first.
inline uint32_t GetLittleEndian(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(GetLittleEndian(p, 2)); }
inline uint32_t GetLe32(const uint8_t* p) { return GetLittleEndian(p, 4); }

// Stores the low `bytes` bytes of `v` at `p`, lowest first.
inline void PutLittleEndian(uint8_t* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appends the low `bytes` bytes of `v` to `out`, lowest first.
inline void AppendLittleEndian(std::string* out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

}  // namespace morrowby
