// The exit status of every command, by name. Scripts test these numbers: the
// manual page lists them under EXIT STATUS, and they never change meaning.
#pragma once

namespace tabrino::cli {

// Done: converted, dumped, drawn; inspect: the file is sound; diff: the same
// cameras; help or version printed.
inline constexpr int kSuccess = 0;
// The run failed and said why; what it was writing was not put in place.
inline constexpr int kFailure = 1;
// inspect: the file is not sound (or is not a camera database).
inline constexpr int kProblems = 1;
// diff: cameras were added, removed or changed.
inline constexpr int kDifferences = 1;
// A mistake on the command line, a bad --date, --seed or SOURCE_DATE_EPOCH,
// an output that would overwrite an input.
inline constexpr int kUsage = 2;
// diff: trouble, as diff(1) says it (an input that cannot be read, output
// that cannot be written), besides the mistakes of kUsage.
inline constexpr int kTrouble = 2;
// convert, from-osm with --fail-on-findings: the output was written, but a
// row or an object did not become a camera as meant, or repeats an earlier
// camera (every finding but the rows a filter left out).
inline constexpr int kFindings = 3;

}  // namespace tabrino::cli
