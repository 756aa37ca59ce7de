// The OPC server toolkit the application publishes its tags through: the
// calls it makes, with their arguments and results. A tag is a handle;
// values are floats or booleans with a quality.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <variant>

#include "app/core/opc/opc_registration.h"
#include "common/guid.h"
#include "platform/registry.h"

namespace qd40::app::opc {

inline constexpr Guid kOpcServerClsid{
    0x1BC67DED, 0x8A4C, 0x4DFB, {0xB6, 0x8E, 0xAA, 0xC1, 0x48, 0x7E, 0xAD, 0x5D}};
inline constexpr const char* kOpcProgId = "OvixTavikOpcSvr";
inline constexpr const char* kOpcDescription = "OPC Server for QD40";
inline constexpr const char* kVendor = "OVIX";
inline constexpr unsigned kServerRateMs = 100;

inline constexpr uint16_t kQualityGood = 0xC0;
inline constexpr uint16_t kQualityCommFailure = 0x18;
inline constexpr uint16_t kQualityBad = 0x00;

using TagHandle = uint32_t;
inline constexpr TagHandle kInvalidTag = 0xFFFFFFFFu;
using TagValue = std::variant<float, bool, std::string>;

class OpcToolkit {
public:
    virtual ~OpcToolkit() = default;

    virtual bool InitWTOPCsvr(const Guid& clsid, unsigned rateMs) = 0;
    virtual void SetVendorInfo(const std::string& vendor) = 0;
    virtual void EnableWriteNotification(std::function<void(TagHandle)> handler) = 0;
    virtual void EnableDisconnectNotification(std::function<void()> handler) = 0;
    virtual bool UpdateRegistry(const Guid& clsid, const std::string& progId,
                                const std::string& description, const std::string& path) = 0;
    virtual bool UnregisterServer(const Guid& clsid, const std::string& progId) = 0;
    virtual TagHandle CreateTag(const std::string& name, const TagValue& initial, uint16_t quality,
                                bool writable) = 0;
    virtual bool SetTagProperties(TagHandle tag, unsigned property, const std::string& description,
                                  const TagValue& value) = 0;
    virtual bool UpdateTag(TagHandle tag, const TagValue& value, uint16_t quality) = 0;
    virtual bool UpdateTagWithTimeStamp(TagHandle tag, const TagValue& value, uint16_t quality,
                                        int64_t fileTime) = 0;
    virtual bool ReadTag(TagHandle tag, TagValue& value) = 0;
    virtual bool RemoveTag(TagHandle tag) = 0;
    virtual int NumbrClientConnections() = 0;
    virtual void RequestDisconnect() = 0;
    virtual void UninitWTOPCsvr() = 0;
};

// Stands for the toolkit until the OPC UA publication is built: it publishes
// nothing, creates no tag (every handle is invalid) and never reports a
// client. Registration writes the server's description into the registry
// store's classes root, as a real toolkit would.
class NullOpcToolkit : public OpcToolkit {
public:
    explicit NullOpcToolkit(platform::RegistryStore registry = platform::RegistryStore())
        : registry_(std::move(registry)) {}

    bool InitWTOPCsvr(const Guid&, unsigned) override { return true; }
    void SetVendorInfo(const std::string&) override {}
    void EnableWriteNotification(std::function<void(TagHandle)>) override {}
    void EnableDisconnectNotification(std::function<void()>) override {}
    bool UpdateRegistry(const Guid& clsid, const std::string& progId,
                        const std::string& description, const std::string& path) override {
        return writeServerRegistration(registry_, clsid, progId, description, path);
    }
    bool UnregisterServer(const Guid& clsid, const std::string& progId) override {
        return removeServerRegistration(registry_, clsid, progId);
    }
    TagHandle CreateTag(const std::string&, const TagValue&, uint16_t, bool) override {
        return kInvalidTag;
    }
    bool SetTagProperties(TagHandle, unsigned, const std::string&, const TagValue&) override {
        return false;
    }
    bool UpdateTag(TagHandle, const TagValue&, uint16_t) override { return false; }
    bool UpdateTagWithTimeStamp(TagHandle, const TagValue&, uint16_t, int64_t) override {
        return false;
    }
    bool ReadTag(TagHandle, TagValue&) override { return false; }
    bool RemoveTag(TagHandle) override { return false; }
    int NumbrClientConnections() override { return 0; }
    void RequestDisconnect() override {}
    void UninitWTOPCsvr() override {}

private:
    platform::RegistryStore registry_;
};

}  // namespace qd40::app::opc
