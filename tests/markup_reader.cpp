#include "markup_reader.h"

#include <cctype>
#include <stdexcept>

namespace tabrino::test {
namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error(what + " at offset " + std::to_string(at_));
  }
  bool atEnd() const { return at_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[at_]; }
  char next() {
    if (atEnd()) fail("unexpected end");
    return text_[at_++];
  }
  bool consume(std::string_view literal) {
    if (text_.substr(at_, literal.size()) != literal) return false;
    at_ += literal.size();
    return true;
  }
  void expect(std::string_view literal) {
    if (!consume(literal)) fail("expected '" + std::string(literal) + "'");
  }
  void skipSpace() {
    while (!atEnd() && (peek() == ' ' || peek() == '\n' || peek() == '\r' || peek() == '\t')) ++at_;
  }
  // Up to (not including) the literal, which is consumed.
  std::string_view until(std::string_view literal) {
    const std::size_t end = text_.find(literal, at_);
    if (end == std::string_view::npos) fail("missing '" + std::string(literal) + "'");
    const std::string_view part = text_.substr(at_, end - at_);
    at_ = end + literal.size();
    return part;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

void appendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '-' || c == '.';
}

std::string xmlName(Cursor& in) {
  std::string name;
  while (isNameChar(in.peek())) name += in.next();
  if (name.empty()) in.fail("expected a name");
  return name;
}

// Character data up to `stop`, entities resolved; a raw '<' or '&' that
// starts no entity is refused.
std::string xmlCharacters(Cursor& in, char stop) {
  std::string out;
  while (in.peek() != stop) {
    const char c = in.next();
    if (c == '<') in.fail("'<' inside character data");
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\r' && c != '\t') in.fail("control character");
    if (c != '&') {
      out += c;
      continue;
    }
    const std::string entity(in.until(";"));
    if (entity == "amp") out += '&';
    else if (entity == "lt") out += '<';
    else if (entity == "gt") out += '>';
    else if (entity == "quot") out += '"';
    else if (entity == "apos") out += '\'';
    else if (entity.size() > 2 && entity[0] == '#' && entity[1] == 'x') appendUtf8(out, std::stoul(entity.substr(2), nullptr, 16));
    else if (entity.size() > 1 && entity[0] == '#') appendUtf8(out, std::stoul(entity.substr(1)));
    else in.fail("unknown entity &" + entity + ";");
  }
  return out;
}

void skipMisc(Cursor& in) {
  for (;;) {
    in.skipSpace();
    if (in.consume("<!--")) {
      in.until("-->");
    } else if (in.consume("<?")) {
      in.until("?>");
    } else {
      return;
    }
  }
}

XmlElement xmlElement(Cursor& in) {
  in.expect("<");
  XmlElement element;
  element.name = xmlName(in);
  for (;;) {
    in.skipSpace();
    if (in.consume("/>")) return element;
    if (in.consume(">")) break;
    const std::string key = xmlName(in);
    in.skipSpace();
    in.expect("=");
    in.skipSpace();
    const char quote = in.next();
    if (quote != '"' && quote != '\'') in.fail("unquoted attribute");
    std::string value = xmlCharacters(in, quote);
    in.next();
    if (!element.attributes.emplace(key, std::move(value)).second) in.fail("attribute given twice: " + key);
  }
  for (;;) {
    element.text += xmlCharacters(in, '<');
    if (in.consume("</")) {
      if (xmlName(in) != element.name) in.fail("end tag does not match <" + element.name + ">");
      in.skipSpace();
      in.expect(">");
      return element;
    }
    if (in.consume("<!--")) {
      in.until("-->");
    } else if (in.consume("<![CDATA[")) {
      element.text += in.until("]]>");
    } else {
      element.children.push_back(xmlElement(in));
    }
  }
}

void collect(const XmlElement& element, std::string_view name, std::vector<const XmlElement*>& out) {
  for (const XmlElement& child : element.children) {
    if (child.name == name) out.push_back(&child);
    collect(child, name, out);
  }
}

JsonValue jsonValue(Cursor& in);

std::string jsonString(Cursor& in) {
  in.expect("\"");
  std::string out;
  for (;;) {
    const char c = in.next();
    if (c == '"') return out;
    if (static_cast<unsigned char>(c) < 0x20) in.fail("control character in a string");
    if (c != '\\') {
      out += c;
      continue;
    }
    const char escape = in.next();
    switch (escape) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '/': out += '/'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        std::string hex;
        for (int i = 0; i < 4; ++i) hex += in.next();
        appendUtf8(out, std::stoul(hex, nullptr, 16));
        break;
      }
      default: in.fail("bad escape");
    }
  }
}

std::string jsonNumber(Cursor& in) {
  std::string text;
  auto digits = [&] {
    if (!std::isdigit(static_cast<unsigned char>(in.peek()))) in.fail("expected a digit");
    while (std::isdigit(static_cast<unsigned char>(in.peek()))) text += in.next();
  };
  if (in.peek() == '-') text += in.next();
  if (in.peek() == '0') {
    text += in.next();
  } else {
    digits();
  }
  if (in.peek() == '.') {
    text += in.next();
    digits();
  }
  if (in.peek() == 'e' || in.peek() == 'E') {
    text += in.next();
    if (in.peek() == '+' || in.peek() == '-') text += in.next();
    digits();
  }
  return text;
}

JsonValue jsonValue(Cursor& in) {
  in.skipSpace();
  JsonValue value;
  const char c = in.peek();
  if (c == '{') {
    value.kind = JsonValue::Kind::Object;
    in.next();
    in.skipSpace();
    if (!in.consume("}")) {
      do {
        in.skipSpace();
        std::string key = jsonString(in);
        in.skipSpace();
        in.expect(":");
        value.members.emplace_back(std::move(key), jsonValue(in));
        in.skipSpace();
      } while (in.consume(","));
      in.expect("}");
    }
  } else if (c == '[') {
    value.kind = JsonValue::Kind::Array;
    in.next();
    in.skipSpace();
    if (!in.consume("]")) {
      do {
        value.items.push_back(jsonValue(in));
        in.skipSpace();
      } while (in.consume(","));
      in.expect("]");
    }
  } else if (c == '"') {
    value.kind = JsonValue::Kind::String;
    value.text = jsonString(in);
  } else if (in.consume("true") || in.consume("false")) {
    value.kind = JsonValue::Kind::Bool;
  } else if (in.consume("null")) {
    value.kind = JsonValue::Kind::Null;
  } else {
    value.kind = JsonValue::Kind::Number;
    value.text = jsonNumber(in);
  }
  return value;
}

}  // namespace

const XmlElement* XmlElement::child(std::string_view childName) const {
  for (const XmlElement& c : children) {
    if (c.name == childName) return &c;
  }
  return nullptr;
}

std::string XmlElement::attribute(const std::string& key) const {
  const auto found = attributes.find(key);
  return found == attributes.end() ? std::string() : found->second;
}

std::vector<const XmlElement*> XmlElement::all(std::string_view descendantName) const {
  std::vector<const XmlElement*> out;
  collect(*this, descendantName, out);
  return out;
}

const XmlElement* XmlElement::byId(std::string_view id) const {
  for (const XmlElement& c : children) {
    if (c.attribute("id") == id) return &c;
    if (const XmlElement* found = c.byId(id)) return found;
  }
  return nullptr;
}

XmlElement parseXml(std::string_view document) {
  Cursor in(document);
  skipMisc(in);
  XmlElement root = xmlElement(in);
  skipMisc(in);
  if (!in.atEnd()) in.fail("content after the root element");
  return root;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return value;
  }
  throw std::runtime_error("no member " + std::string(key));
}

JsonValue parseJson(std::string_view document) {
  Cursor in(document);
  JsonValue value = jsonValue(in);
  in.skipSpace();
  if (!in.atEnd()) in.fail("content after the value");
  return value;
}

}  // namespace tabrino::test
