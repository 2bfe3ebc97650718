// WorkspaceOpener: opens an existing folder as a workspace.
#pragma once

#include <string>

#include "core/status.h"
#include "engine/workspace.h"

namespace terravox::engine {

class WorkspaceOpener {
 public:
  // The workspace of an existing folder; the flags are accepted and ignored.
  Result<Workspace> OpenFolder(const std::string& path, int flags) const;
};

}  // namespace terravox::engine
