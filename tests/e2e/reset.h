// Removes everything an earlier run of the installer may have left, so that
// each scenario meets a machine on which Quarnel was never installed.
#pragma once

#include <string>

namespace e2e {

// False with a description of what could not be removed.
bool ResetInstallState(std::string& problem);

}  // namespace e2e
