// The user's own state folder, where the window keeps what it writes for this user alone (its
// per-run report), never in a folder that other users share.
#pragma once

#include <string>

#include "core/status.h"

namespace terravox {

// $XDG_STATE_HOME/terravox, else ~/.local/state/terravox (a relative XDG_STATE_HOME counts as
// unset); on Windows %LOCALAPPDATA%\terravox. Empty when no home folder is known. Reads the
// environment only; creates nothing.
std::string UserStateFolder();

// Creates folder and its missing parents for this user alone (mode 0700), or checks the one
// that stands: it must be a folder itself, not a link to one, owned by this user and writable by
// no one else. The error says which of these fails.
Status MakePrivateFolder(const std::string& folder);

}  // namespace terravox
