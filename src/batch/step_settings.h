// The settings that shape each step's outputs besides its input, as the report keeps them: a
// resumed run, and a plan of one, redo a file whose record holds others.
#pragma once

#include <map>
#include <string>

#include "core/batch_mdl.h"
#include "core/host.h"

namespace terravox {

// Step name -> its settings text; steps whose outputs depend on their input alone are absent.
std::map<std::string, std::string> StepSettings(const Host& host, const BatchMdl& mdl);

// The settings text of step, empty when it has none.
std::string SettingsOf(const std::map<std::string, std::string>& settings, const std::string& step);

}  // namespace terravox
