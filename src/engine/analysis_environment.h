// AnalysisEnvironment: where the surface operations put their results.
#pragma once

#include <optional>

#include "engine/workspace.h"

namespace terravox::engine {

class AnalysisEnvironment {
 public:
  void SetOutputWorkspace(const Workspace& workspace) { output_workspace_ = workspace; }
  const std::optional<Workspace>& output_workspace() const { return output_workspace_; }

 private:
  std::optional<Workspace> output_workspace_;
};

}  // namespace terravox::engine
