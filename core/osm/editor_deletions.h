// An editor (JOSM) saves an object that the user deleted, but has not yet
// uploaded, as it was with action="delete" in its start tag. libosmium's XML
// parser reads no action attribute, so the text is mended before it parses:
// such an object's start tag says visible="false" instead, which the parser
// reads as a deleted object (any visible attribute of the editor's own is
// dropped, as a tag may not hold the same attribute twice).
#pragma once

#include <string>

namespace tabrino {

class EditorDeletions {
 public:
  // The next piece of an .osm file's text, mended; the start of a tag cut
  // at the piece's end is held back for the next.
  std::string mend(std::string text);
  // What was held back, once the file has ended.
  std::string rest() { return std::move(heldBack_); }

 private:
  std::string heldBack_;
};

}  // namespace tabrino
