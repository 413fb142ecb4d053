#include "core/base/utf8_text.h"

#include "core/base/byte_words.h"

namespace tabrino {

bool isValidUtf8(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size()) {
    // Lists are mostly ASCII: eight bytes at a time while no byte has its top bit.
    while (text.size() - i >= 8 && (loadWord(text.data() + i) & kTopBits) == 0) i += 8;
    if (i == text.size()) break;
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < 0x80 || next > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

std::size_t utf8CutLength(std::string_view text, std::size_t limit) noexcept {
  if (text.size() <= limit) return text.size();
  // A character the limit falls inside starts at most three bytes before it.
  for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
    const auto byte = static_cast<unsigned char>(text[limit - back]);
    if (byte < 0x80) break;    // an ASCII byte ends a character
    if (byte < 0xC0) continue;  // a continuation byte: its lead lies further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    const std::size_t start = limit - back;
    if (length > back && length <= text.size() - start && isValidUtf8(text.substr(start, length))) return start;
    break;
  }
  return limit;
}

std::string utf8OrLatin1(std::string_view text) {
  if (isValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace tabrino
