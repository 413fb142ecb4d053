#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <stdexcept>

namespace tabrino::test {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "tabrino-test-";
  if (info) name += std::string(info->test_suite_name()) + "-" + info->name() + "-";
  std::replace(name.begin(), name.end(), '/', '_');
  name += std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007) +
          "-" + std::to_string(counter++);
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const std::filesystem::path& path) {
  const auto bytes = readBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> fromBase64(std::string_view text) {
  static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> out;
  std::uint32_t bits = 0;
  int held = 0;
  for (const char c : text) {
    if (c == '=') break;
    const std::size_t digit = kDigits.find(c);
    EXPECT_NE(digit, std::string::npos) << "not base64: " << c;
    bits = bits << 6 | static_cast<std::uint32_t>(digit);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out.push_back(static_cast<std::uint8_t>(bits >> held));
    }
  }
  return out;
}

void writeText(const std::filesystem::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::filesystem::path realListsDir() { return TABRINO_REAL_LISTS_DIR; }
std::filesystem::path examplesDir() { return TABRINO_EXAMPLES_DIR; }

std::vector<std::filesystem::path> realLists() {
  std::vector<std::filesystem::path> lists;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(realListsDir(), ec)) {
    if (entry.path().extension() == ".txt") lists.push_back(entry.path());
  }
  std::sort(lists.begin(), lists.end());
  return lists;
}

std::string missingRealListsReason() {
  return "the published lists are not in " + realListsDir().string() +
         ": they are not part of the repository; configure with -DTABRINO_REAL_LISTS_DIR=FOLDER to test them";
}

namespace {

std::int32_t randomCoordinate(std::mt19937& random, std::int32_t bound) {
  const std::int32_t edges[] = {-bound, -bound + 1, -1, 0, 1, bound - 1, bound};
  if (random() % 4 == 0) return edges[random() % std::size(edges)];
  return std::uniform_int_distribution<std::int32_t>(-bound, bound)(random);
}

}  // namespace

std::vector<CameraRecord> randomSortedRecords(std::mt19937& random, std::size_t count) {
  std::vector<CameraRecord> records(count);
  for (CameraRecord& record : records) {
    std::uint8_t speed = static_cast<std::uint8_t>(random());
    if (speed >= 1 && speed <= 9) speed = 0;
    record = {randomCoordinate(random, kMaxLatitude), randomCoordinate(random, kMaxLongitude),
              static_cast<std::uint8_t>(random()), speed, static_cast<std::uint8_t>(random()),
              static_cast<std::uint8_t>(random())};
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const CameraRecord& a, const CameraRecord& b) { return a.latitude < b.latitude; });
  return records;
}

std::optional<std::int64_t> exactTenThousandths(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::string digits;
  int exponent = 0;  // the value is digits x 10^exponent
  bool point = false;
  std::size_t at = 0;
  for (; at < text.size() && text[at] != 'e' && text[at] != 'E'; ++at) {
    if (text[at] == '.' && !point) {
      point = true;
    } else if (text[at] >= '0' && text[at] <= '9') {
      digits += text[at];
      if (point) --exponent;
    } else {
      return std::nullopt;
    }
  }
  if (digits.empty()) return std::nullopt;
  if (at < text.size()) {
    const std::string power(text.substr(at + 1));
    if (power.empty() || power.find_first_not_of("+-0123456789") != std::string::npos) return std::nullopt;
    exponent += std::stoi(power);
  }
  exponent += 4;  // to ten-thousandths
  for (; exponent < 0; ++exponent) {
    if (digits.back() != '0') return std::nullopt;
    digits.pop_back();
    if (digits.empty()) digits = "0";
  }
  digits.append(static_cast<std::size_t>(exponent), '0');
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  if (digits.size() - first > 15) return std::nullopt;
  const std::int64_t value = std::stoll(digits.substr(first));
  return negative ? -value : value;
}

}  // namespace tabrino::test
