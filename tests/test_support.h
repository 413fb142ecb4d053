#pragma once

#include "core/database/camera_db_format.h"
#include "tests/database_oracle.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tabrino::test {

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / std::string(name); }
  // Names of everything in the folder, sorted.
  std::vector<std::string> entries() const;

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);
void writeText(const std::filesystem::path& path, std::string_view text);
// The bytes of base64 text (the map page's data).
std::vector<std::uint8_t> fromBase64(std::string_view text);

std::filesystem::path realListsDir();
std::filesystem::path examplesDir();
// The published lists, or empty when the fixtures are not beside the project.
std::vector<std::filesystem::path> realLists();
// Why a test of the published lists is skipped, and how to run it.
std::string missingRealListsReason();

// Records as a conversion writes them: in bounds, ascending latitude, speeds
// never 1 to 9. Edge values (the bounds, 0, -1) turn up often.
std::vector<CameraRecord> randomSortedRecords(std::mt19937& random, std::size_t count);

// The degrees a reader wrote ("40.9709", "40.970900000", "5e-04"), in
// ten-thousandths, read digit by digit as a GIS reader means them: nothing
// when the text is not a whole number of ten-thousandths (40.971 is not
// 409709) or not a number at all.
std::optional<std::int64_t> exactTenThousandths(std::string_view text);

}  // namespace tabrino::test
