#include "core/base/utf8_text.h"

#include "core/base/byte_words.h"

namespace tabrino {
namespace {

// The length of the well-formed UTF-8 sequence at text[i], whose lead byte
// has its top bit set; 0 when there is none (no overlong forms, surrogates
// or code points past U+10FFFF).
std::size_t sequenceLength(std::string_view text, std::size_t i) noexcept {
  const auto lead = static_cast<unsigned char>(text[i]);
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
    return 0;
  }
  if (text.size() - i < length) return 0;
  const auto second = static_cast<unsigned char>(text[i + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if (next < 0x80 || next > 0xBF) return 0;
  }
  return length;
}

// Where the next byte with its top bit set lies at or after i, or the end:
// names and lists are mostly ASCII, looked at eight bytes at a time.
std::size_t nextHighByte(std::string_view text, std::size_t i) noexcept {
  while (text.size() - i >= 8 && (loadWord(text.data() + i) & kTopBits) == 0) i += 8;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

}  // namespace

bool isValidUtf8(std::string_view text) noexcept {
  for (std::size_t i = nextHighByte(text, 0); i < text.size(); i = nextHighByte(text, i)) {
    const std::size_t length = sequenceLength(text, i);
    if (length == 0) return false;
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
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;  // text before it is in out
  for (std::size_t i = nextHighByte(text, 0); i < text.size(); i = nextHighByte(text, i)) {
    if (const std::size_t length = sequenceLength(text, i)) {
      i += length;
      continue;
    }
    // A byte of no sequence: read as Latin-1, the code point of its value.
    out.append(text, copied, i - copied);
    const auto byte = static_cast<unsigned char>(text[i]);
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
    copied = ++i;
  }
  out.append(text, copied, text.size() - copied);
  return out;
}

}  // namespace tabrino
