// The findings of a table read, gathered as every front end shows them:
// what the import said, the rows a conversion's filters left out, the
// cameras entered more than once and the rows whose X and Y look swapped.
#pragma once

#include "core/filter/camera_filter.h"
#include "core/list/camera_table.h"
#include "core/list/list_findings.h"
#include "core/list/list_sources.h"

#include <functional>

namespace tabrino {

// The findings only the whole table shows, into `sink` (for a summary): the
// rows that repeat an earlier camera, then those whose X and Y look
// swapped. The table may be in file order; it is only read.
void findTableFindings(const CameraTable& table, const ListSources& sources, FindingSink& sink);

// Every finding, in line order: those `imported` hands its sink (the
// import's, in line order), the rows `leftOut` holds (left out by `filter`;
// both may be null), the duplicates and the rows whose X and Y look swapped.
void findEveryFinding(const CameraTable& table, const ListSources& sources,
                      const std::function<void(FindingSink&)>& imported, const LeftOutRows* leftOut,
                      const CameraFilter* filter, FindingSink& sink);

// The rows `leftOut` holds, as findings in line order.
void reportLeftOut(const LeftOutRows& leftOut, const CameraFilter& filter, FindingSink& sink);

}  // namespace tabrino
