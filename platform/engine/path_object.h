// The engine's side of its PATHOBJs.
#pragma once

#include "path_data.h"
#include "win/enginepath.h"

namespace kq::engine {

// The figures of an engine path; null with ERROR_INVALID_PARAMETER for anything else.
const PathData* PathOf(PATHOBJ* ppo);
const PathData& DataOf(const PathObject& path);
void SetData(PathObject& path, PathData data);
// A path the engine hands a driver to keep: the driver frees it with EngDeletePath.
PATHOBJ* NewDriverPath(PathData data);

}  // namespace kq::engine
