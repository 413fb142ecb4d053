// Small, strict readers of XML and JSON for the tests: they take a document
// apart as a client would, and throw at the first thing a client would
// refuse, so the exports and the map are checked by reading them back.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabrino::test {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // character data directly inside, entities resolved
  std::vector<XmlElement> children;

  const XmlElement* child(std::string_view childName) const;
  std::string attribute(const std::string& key) const;  // empty when absent
  // Every element below this one with the name, in document order.
  std::vector<const XmlElement*> all(std::string_view descendantName) const;
  // The element below this one whose id attribute is id; nullptr if none.
  const XmlElement* byId(std::string_view id) const;
};

// The root element of a well-formed document (tags balanced, attributes
// quoted and unique, only the five predefined entities and character
// references). Throws std::runtime_error saying where it failed.
XmlElement parseXml(std::string_view document);

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  std::string text;  // a number as written, or a string's value
  bool boolean = false;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  // The member named key; throws when there is none.
  const JsonValue& operator[](std::string_view key) const;
};

// Strict JSON (RFC 8259). Throws std::runtime_error saying where it failed.
JsonValue parseJson(std::string_view document);

}  // namespace tabrino::test
