#include "core/osm/editor_deletions.h"

#include <cstddef>
#include <string_view>
#include <utility>

namespace tabrino {
namespace {

constexpr std::string_view kAction = "action=";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the attribute `name` starts in a start tag, or npos.
std::size_t attributeAt(std::string_view tag, std::string_view name) {
  for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    const std::size_t equals = at + name.size();
    if (at > 0 && isSpace(tag[at - 1]) && equals < tag.size() && tag[equals] == '=') return at;
  }
  return std::string_view::npos;
}

// The quoted value of the attribute at `at`, with its quotes; empty when
// it is not quoted or not closed.
std::string_view quotedValue(std::string_view tag, std::size_t at) {
  const std::size_t open = tag.find('=', at) + 1;
  if (open >= tag.size() || (tag[open] != '"' && tag[open] != '\'')) return {};
  const std::size_t close = tag.find(tag[open], open + 1);
  if (close == std::string_view::npos) return {};
  return tag.substr(open, close - open + 1);
}

bool isObjectTag(std::string_view tag) {
  for (const std::string_view name : {"<node", "<way", "<relation"}) {
    if (tag.substr(0, name.size()) == name && tag.size() > name.size() && isSpace(tag[name.size()])) return true;
  }
  return false;
}

// The start tag with action="delete" made visible="false"; nothing when it
// is not an object's or its action is another.
std::string mendedTag(std::string_view tag, std::size_t action) {
  if (!isObjectTag(tag)) return {};
  const std::string_view value = quotedValue(tag, action);
  if (value.size() != 8 || value.substr(1, 6) != "delete") return {};
  std::string mended(tag.substr(0, action));
  mended += "visible=";
  mended += value.front();
  mended += "false";
  mended += value.front();
  std::string rest(tag.substr(action + kAction.size() + value.size()));
  const std::size_t visible = attributeAt(rest, "visible");
  if (visible != std::string::npos) {
    const std::string_view old = quotedValue(rest, visible);
    rest.erase(visible - 1, std::string_view("visible=").size() + old.size() + 1);
  }
  return mended + rest;
}

}  // namespace

std::string EditorDeletions::mend(std::string text) {
  if (!heldBack_.empty()) text.insert(0, std::exchange(heldBack_, {}));
  const std::size_t lastOpen = text.rfind('<');
  if (lastOpen != std::string::npos && text.find('>', lastOpen) == std::string::npos) {
    heldBack_.assign(text, lastOpen, std::string::npos);
    text.resize(lastOpen);
  }
  std::size_t action = text.find(kAction);
  if (action == std::string::npos) return text;
  std::string mended;
  mended.reserve(text.size());
  std::size_t done = 0;
  for (; action != std::string::npos; action = text.find(kAction, action + 1)) {
    if (action == 0 || !isSpace(text[action - 1])) continue;
    const std::size_t open = text.rfind('<', action);
    const std::size_t close = text.find('>', action);
    if (open == std::string::npos || open < done || close == std::string::npos) continue;
    const std::string tag = mendedTag(std::string_view(text).substr(open, close + 1 - open), action - open);
    if (tag.empty()) continue;
    mended.append(text, done, open - done);
    mended += tag;
    done = close + 1;
    action = close;
  }
  mended.append(text, done, std::string::npos);
  return mended;
}

}  // namespace tabrino
