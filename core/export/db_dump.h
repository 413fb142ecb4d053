// A database's records written back as a speed-camera list. The text is
// chosen so that converting the list again gives the very same records: a
// file can be read, edited as a list and rebuilt without drift.
#pragma once

#include "core/platform/byte_source.h"
#include "core/database/camera_db_format.h"
#include "core/model/coordinate_text.h"
#include "core/platform/file_io.h"
#include "core/base/progress.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace tabrino {

// Degrees that encode to `code`: within 0 to 359 for codes 0 to 180, the
// only ones such degrees reach; beyond 359 for the rest.
std::int32_t directionDegrees(std::uint8_t code) noexcept;

// "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION" and a line feed.
std::string listHeaderLine();
// One list line for a record, ending with a line feed. SPEED is the stored
// byte: 1 to 9 never come from a conversion, which writes such speeds as 0.
std::string listLine(std::uint64_t idx, const CameraRecord& record);

// Writes the header line and the first recordCount records of the database
// in source (those inside the file) as list lines numbered from 1; the
// caller commits `out`. Throws FileReadError or FileWriteError.
void dumpRecords(ByteSource& source, std::uint64_t recordCount, AtomicFileWriter& out,
                 const ProgressCallback& progress = {});

}  // namespace tabrino
