// Text we write into XML, JSON and SVG must be valid UTF-8, but a name may
// come from a file system that holds any bytes (a database named in Latin-1,
// "caf\xE9.dbh"). A byte that is no part of a UTF-8 character is shown as
// Latin-1 reads it, the likeliest meaning of a stray high byte, rather than
// breaking the whole document; the characters around it stay as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tabrino {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool isValidUtf8(std::string_view text) noexcept;

// How many of `text`'s first bytes to show when at most `limit` are shown:
// `limit`, or fewer where the limit falls inside a UTF-8 character, which
// is then left out whole rather than cut in two. Bytes that are not UTF-8
// there (a list in another code page) are cut where the limit falls.
std::size_t utf8CutLength(std::string_view text, std::size_t limit) noexcept;

// `text` with each byte that is no part of a well-formed UTF-8 character
// decoded as Latin-1 (0xE9 becomes U+00E9): valid text stays as it is.
std::string utf8OrLatin1(std::string_view text);

}  // namespace tabrino
