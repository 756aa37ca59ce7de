// Conversions between the object's values and their RPC form.
#pragma once
#include <string>

#include "common/error_info.h"
#include "qd40.capnp.h"
#include "server/variant.h"

namespace qd40::rpc {

inline server::Variant fromWire(schema::Variant::Reader v) {
    auto d = v.getData();
    return server::Variant{v.getVt(), std::vector<uint8_t>(d.begin(), d.end())};
}

inline void toWire(const server::Variant& v, schema::Variant::Builder b) {
    b.setVt(v.vt);
    b.setData(kj::arrayPtr(v.data.data(), v.data.size()));
}

inline ErrorInfo fromWire(schema::ErrorRecord::Reader e) {
    return ErrorInfo{e.getDescription().cStr(), e.getSource().cStr(),
                     Guid::parse(e.getInterfaceId().cStr()).value_or(Guid{})};
}

inline void toWire(const ErrorInfo& e, schema::ErrorRecord::Builder b) {
    b.setDescription(e.description);
    b.setSource(e.source);
    b.setInterfaceId(e.interfaceId.isNull() ? std::string() : e.interfaceId.toString());
}

}  // namespace qd40::rpc
