// Text we write into XML, JSON and SVG must be valid UTF-8, but a name may
// come from a file system that holds any bytes (a database named in Latin-1,
// "caf\xE9.dbh"). Such a name is shown as Latin-1 reads it, the likeliest
// meaning of a stray high byte, rather than breaking the whole document.
#pragma once

#include <string>
#include <string_view>

namespace tabrino {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool isValidUtf8(std::string_view text) noexcept;

// `text` itself when it is valid UTF-8; otherwise every byte decoded as
// Latin-1 (0xE9 becomes U+00E9).
std::string utf8OrLatin1(std::string_view text);

}  // namespace tabrino
