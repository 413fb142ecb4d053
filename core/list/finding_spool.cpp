#include "core/list/finding_spool.h"

#include "core/base/errors.h"


namespace tabrino {
namespace {

const char* const kSpoolName = "temporary file of the findings";

// Each finding is spooled as its line, its kind, the length of its detail
// and the detail's bytes.
struct SpooledHead {
  std::uint64_t lineNumber;
  std::uint32_t kind;
  std::uint32_t detailLength;
};

}  // namespace

FindingSpool::FindingSpool() {
  file_ = openTemporaryFile();
  if (!file_) throw FileOpenError(kSpoolName, lastSystemError());
}

void FindingSpool::add(const ListFinding& finding) {
  const SpooledHead head{finding.lineNumber, static_cast<std::uint32_t>(finding.kind),
                         static_cast<std::uint32_t>(finding.detail.size())};
  clearSystemError();
  if (std::fwrite(&head, sizeof head, 1, file_.get()) != 1 ||
      std::fwrite(finding.detail.data(), 1, finding.detail.size(), file_.get()) != finding.detail.size()) {
    throw FileWriteError(kSpoolName, lastSystemError());
  }
  ++count_;
}

void FindingSpool::replay(FindingSink& sink) {
  clearSystemError();
  if (std::fflush(file_.get()) != 0 || !seekTo(file_.get(), 0)) throw FileReadError(kSpoolName, lastSystemError());
  ListFinding finding;
  for (std::uint64_t i = 0; i < count_; ++i) {
    SpooledHead head;
    clearSystemError();
    if (std::fread(&head, sizeof head, 1, file_.get()) != 1) throw FileReadError(kSpoolName, lastSystemError());
    finding.lineNumber = head.lineNumber;
    finding.kind = static_cast<FindingKind>(head.kind);
    finding.detail.resize(head.detailLength);
    if (head.detailLength > 0 && std::fread(&finding.detail[0], 1, head.detailLength, file_.get()) != head.detailLength) {
      throw FileReadError(kSpoolName, lastSystemError());
    }
    sink.add(finding);
  }
}

void FindingMerge::add(const ListFinding& finding) {
  while (later_.nextLine() != 0 && later_.nextLine() < finding.lineNumber) out_.add(later_.take());
  out_.add(finding);
}

void FindingMerge::finish() {
  while (later_.nextLine() != 0) out_.add(later_.take());
}

}  // namespace tabrino
