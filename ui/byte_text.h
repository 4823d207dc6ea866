// The program keeps its texts as bytes (paths exactly as the file system has them);
// the toolkit shows Unicode. These conversions read the bytes as UTF-8 and carry any
// byte that is not valid UTF-8 through the round trip unchanged, so a path is never
// altered by being shown in a window.
#pragma once

#include <wx/strconv.h>
#include <wx/string.h>

#include <string>

namespace morrowby {

inline const wxMBConv& ByteTextConv() {
  static const wxMBConvUTF8 conv(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
  return conv;
}

inline wxString ToWxText(const std::string& bytes) {
  return wxString(bytes.data(), ByteTextConv(), bytes.size());
}

inline std::string FromWxText(const wxString& text) {
  const wxCharBuffer buffer = text.mb_str(ByteTextConv());
  return std::string(buffer.data(), buffer.length());
}

}  // namespace morrowby
