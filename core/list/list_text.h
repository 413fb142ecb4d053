// Records written back as a speed-camera list. The text is chosen so that
// converting the list again gives the very same records: a database can be
// read, edited as a list and rebuilt without drift.
#pragma once

#include "core/model/camera_record.h"

#include <cstdint>
#include <string>

namespace tabrino {

// "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION" and a line feed.
std::string listHeaderLine();
// One list line for a record, ending with a line feed. SPEED is the stored
// byte: 1 to 9 never come from a conversion, which writes such speeds as 0.
std::string listLine(std::uint64_t idx, const CameraRecord& record);

}  // namespace tabrino
