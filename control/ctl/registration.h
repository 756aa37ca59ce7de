// The control's class registration in the registry store's classes root: the
// control class with its ProgIDs, its type library and interface, and its six
// property pages, each an in-process class of the library at modulePath.
#pragma once
#include <string>

#include "platform/registry.h"

namespace qd40::ctl {

// Writes every key, starting from clean class keys. Returns false when the
// store cannot be written.
bool registerControl(platform::RegistryStore& store, const std::string& modulePath);
// Removes them; keys already gone count as removed.
bool unregisterControl(platform::RegistryStore& store);

}  // namespace qd40::ctl
