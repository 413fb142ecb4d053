// GeoJSON read with nlohmann-json's SAX interface: only the feature being
// read is held, so memory does not grow with the file. A FeatureCollection,
// a Feature, a bare geometry, or a sequence of them (RFC 8142's text
// sequences, or one a line) are all read; Point and MultiPoint give cameras.
#include "core/formats/format_readers.h"

#include <nlohmann/json.hpp>

#include <array>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace tabrino {
namespace {

using Json = nlohmann::json;

// The input's bytes one at a time, counting lines, for the parser's
// iterators; shared by them, so that a parse that stops after one value
// leaves it where the next value begins.
class JsonSource {
 public:
  explicit JsonSource(ByteStream& in) : in_(in) {}
  bool atEnd() {
    if (at_ < bytes_.size()) return false;
    bytes_ = in_.next();
    at_ = 0;
    return bytes_.empty();
  }
  char peek() const noexcept { return bytes_[at_]; }
  void advance() noexcept {
    if (bytes_[at_] == '\n') ++line_;
    ++at_;
  }
  // Past white space and the record separators of a text sequence;
  // false at the end.
  bool skipBetweenValues() {
    while (!atEnd()) {
      const char c = peek();
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\x1e') return true;
      advance();
    }
    return false;
  }
  std::uint64_t line() const noexcept { return line_; }
  ByteStream& stream() noexcept { return in_; }

 private:
  ByteStream& in_;
  std::string_view bytes_;
  std::size_t at_ = 0;
  std::uint64_t line_ = 1;
};

class SourceIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  SourceIterator() = default;
  explicit SourceIterator(JsonSource* source) : source_(source) {}
  char operator*() const noexcept { return source_->peek(); }
  SourceIterator& operator++() noexcept {
    source_->advance();
    return *this;
  }
  bool operator==(const SourceIterator& other) const { return atEnd() == other.atEnd(); }
  bool operator!=(const SourceIterator& other) const { return !(*this == other); }

 private:
  bool atEnd() const { return !source_ || source_->atEnd(); }
  JsonSource* source_ = nullptr;
};

// What one feature (or a bare geometry) holds, gathered in any key order.
struct Feature {
  std::string type;          // its own "type"
  std::string geometryType;  // its geometry's
  bool hasGeometry = false;
  bool nullGeometry = false;
  bool styled = false;  // has "marker-symbol", as our export writes
  std::vector<std::pair<std::string, std::string>> points;
  std::array<std::string, 7> values;  // by CameraField
  std::uint64_t line = 0;
  void reset(std::uint64_t at) {
    type.clear();
    geometryType.clear();
    hasGeometry = nullGeometry = styled = false;
    points.clear();
    for (std::string& value : values) value.clear();
    line = at;
  }
};

class GeoJsonHandler : public nlohmann::json_sax<Json> {
 public:
  GeoJsonHandler(JsonSource& source, CameraSink& sink) : source_(source), sink_(sink) {}

  bool null() override {
    if (!frames_.empty() && isHolder(frames_.back().role) && frames_.back().key == "geometry") current()->nullGeometry = true;
    return true;
  }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t value) override { return number(std::to_string(value)); }
  bool number_unsigned(number_unsigned_t value) override { return number(std::to_string(value)); }
  bool number_float(number_float_t, const string_t& text) override { return number(text); }
  bool string(string_t& value) override {
    if (frames_.empty()) return true;
    Frame& frame = frames_.back();
    if (isHolder(frame.role) && frame.key == "type") current()->type = value;
    if (frame.role == Role::Geometry && frame.key == "type") current()->geometryType = value;
    if (frame.role == Role::Properties) property(frame.key, value);
    return true;
  }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    if (tooDeep()) return false;
    Role role = Role::Skip;
    if (frames_.empty()) {
      role = Role::Top;
      top_.reset(source_.line());
    } else {
      const Frame& parent = frames_.back();
      if (parent.role == Role::Features) {
        role = Role::Feature;
        feature_.reset(source_.line());
      } else if (isHolder(parent.role) && parent.key == "geometry") {
        role = Role::Geometry;
        current()->hasGeometry = true;
      } else if (isHolder(parent.role) && parent.key == "properties") {
        role = Role::Properties;
      }
    }
    frames_.push_back({role, {}, 0});
    return true;
  }
  bool key(string_t& name) override {
    frames_.back().key = name;
    return true;
  }
  bool end_object() override {
    const Role role = frames_.back().role;
    frames_.pop_back();
    if (role == Role::Feature) emit(feature_, false);
    if (role == Role::Top && top_.type != "FeatureCollection") emit(top_, top_.type != "Feature");
    return true;
  }
  bool start_array(std::size_t) override {
    if (tooDeep()) return false;
    Role role = Role::Skip;
    const Role parent = frames_.empty() ? Role::Skip : frames_.back().role;
    const std::string_view key = frames_.empty() ? std::string_view() : frames_.back().key;
    if ((isHolder(parent) || parent == Role::Geometry) && key == "coordinates") role = Role::Coordinates;
    if (parent == Role::Coordinates) role = Role::Coordinates;
    if (parent == Role::Top && key == "features") role = Role::Features;
    frames_.push_back({role, {}, 0});
    if (role == Role::Coordinates) {
      x_.clear();
      y_.clear();
    }
    return true;
  }
  bool end_array() override {
    const Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.role == Role::Coordinates && frame.numbers >= 2) current()->points.emplace_back(x_, y_);
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override {
    problem_ = "line " + std::to_string(source_.line()) + " (byte " + std::to_string(position) + "): " + error.what();
    return false;
  }

  const std::string& problem() const noexcept { return problem_; }
  // Ready for the next value of a sequence.
  void restart() { frames_.clear(); }

 private:
  enum class Role { Top, Features, Feature, Geometry, Properties, Coordinates, Skip };
  struct Frame {
    Role role;
    std::string key;       // the last key, in an object
    std::size_t numbers;   // numbers seen, in an array of coordinates
  };
  static bool isHolder(Role role) noexcept { return role == Role::Top || role == Role::Feature; }

  // A value of nothing but nesting would take memory without end; GeoJSON
  // needs a few levels.
  static constexpr std::size_t kMaxDepth = 64;
  bool tooDeep() {
    if (frames_.size() < kMaxDepth) return false;
    problem_ = "line " + std::to_string(source_.line()) + ": objects and arrays nested deeper than 64";
    return true;
  }

  // The feature being read: one of the features array, else the top value.
  Feature* current() noexcept {
    for (auto frame = frames_.rbegin(); frame != frames_.rend(); ++frame) {
      if (frame->role == Role::Feature) return &feature_;
    }
    return &top_;
  }

  bool number(const std::string& text) {
    if (frames_.empty()) return true;
    Frame& frame = frames_.back();
    if (frame.role == Role::Coordinates) {
      if (frame.numbers == 0) x_ = text;
      if (frame.numbers == 1) y_ = text;
      ++frame.numbers;
    } else if (frame.role == Role::Properties) {
      property(frame.key, text);
    }
    return true;
  }

  void property(const std::string& name, const std::string& value) {
    if (name == "marker-symbol") current()->styled = true;
    const CameraField field = cameraFieldNamed(name);
    if (field != CameraField::None) current()->values[static_cast<std::size_t>(field)] = value;
  }

  // A feature's cameras; `bare`: a geometry standing alone, its own type.
  void emit(const Feature& feature, bool bare) {
    const std::string& geometry = bare ? feature.type : feature.geometryType;
    if (geometry == "Point" || geometry == "MultiPoint") {
      CameraFields fields;
      fields.type = feature.values[static_cast<std::size_t>(CameraField::Type)];
      fields.speed = feature.values[static_cast<std::size_t>(CameraField::Speed)];
      fields.dirType = feature.values[static_cast<std::size_t>(CameraField::DirType)];
      fields.direction = feature.values[static_cast<std::size_t>(CameraField::Direction)];
      fields.name = feature.values[static_cast<std::size_t>(CameraField::Name)];
      fields.speedUnit = feature.values[static_cast<std::size_t>(CameraField::SpeedUnit)];
      // Our export, styled and carrying all four fields: its coordinates
      // are stored values written out, read back exactly.
      const bool ours = feature.styled && !fields.type.empty() && !fields.speed.empty() && !fields.dirType.empty() &&
                        !fields.direction.empty();
      for (const auto& point : feature.points) {
        fields.x = point.first;
        fields.y = point.second;
        sink_.add(fields, feature.line, ours);
      }
      return;
    }
    if (!sink_.listening()) return;
    if (!bare && (feature.nullGeometry || !feature.hasGeometry)) {
      sink_.find(feature.line, FindingKind::NotACamera, "Feature without a geometry: not read");
    } else {
      sink_.find(feature.line, FindingKind::NotACamera, (geometry.empty() ? std::string("a value") : geometry) +
                                                            ": not a Point or MultiPoint, not read");
    }
  }

  JsonSource& source_;
  CameraSink& sink_;
  std::vector<Frame> frames_;
  Feature top_, feature_;
  std::string x_, y_;
  std::string problem_;
};

}  // namespace

std::uint64_t readGeoJson(ByteStream& in, CameraSink& sink) {
  JsonSource source(in);
  GeoJsonHandler handler(source, sink);
  while (source.skipBetweenValues()) {
    handler.restart();
    if (!Json::sax_parse(SourceIterator(&source), SourceIterator(), &handler, nlohmann::detail::input_format_t::json,
                         false)) {
      in.fail(handler.problem());
    }
  }
  return source.line();
}

}  // namespace tabrino
