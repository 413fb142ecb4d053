// Findings held on disk until the rest of a list's findings are known. The
// import hands findings on line by line, but a duplicate is found only once
// the whole list has been read and sorted; the report must still come in line
// order. A spool keeps the import's findings out of memory meanwhile, however
// many a broken list has.
#pragma once

#include "core/list/list_findings.h"
#include "core/platform/file_io.h"

#include <cstdint>

namespace tabrino {

class FindingSpool : public FindingSink {
 public:
  // An anonymous temporary file, gone when the spool is, or the process.
  // Throws FileOpenError.
  FindingSpool();

  // Throws FileWriteError.
  void add(const ListFinding& finding) override;
  std::uint64_t size() const noexcept { return count_; }

  // Hands every finding back, in the order they came. Throws FileReadError.
  void replay(FindingSink& sink);

 private:
  UniqueFile file_;
  std::uint64_t count_ = 0;
};

// Findings in line order, handed out one at a time.
class FindingSource {
 public:
  virtual ~FindingSource() = default;
  // The line of the next finding, or 0 when none is left.
  virtual std::uint64_t nextLine() const = 0;
  virtual ListFinding take() = 0;
};

// Two sources of findings in line order made one: each finding added is
// passed on to `out` after those of `later` whose lines come before it.
// Findings of one line keep the added ones first.
class FindingMerge : public FindingSink {
 public:
  FindingMerge(FindingSource& later, FindingSink& out) noexcept : later_(later), out_(out) {}
  void add(const ListFinding& finding) override;
  // Passes on what is left of `later`.
  void finish();

 private:
  FindingSource& later_;
  FindingSink& out_;
};

}  // namespace tabrino
