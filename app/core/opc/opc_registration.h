// The OPC server's description in the registry store's classes root: its
// ProgID and class keys, written by "RegServer" and removed by "UnregServer".
#pragma once
#include <string>

#include "common/guid.h"
#include "platform/registry.h"

namespace qd40::app::opc {

bool writeServerRegistration(platform::RegistryStore& store, const Guid& clsid,
                             const std::string& progId, const std::string& description,
                             const std::string& programPath);
// True when nothing of the registration is left.
bool removeServerRegistration(platform::RegistryStore& store, const Guid& clsid,
                              const std::string& progId);

}  // namespace qd40::app::opc
