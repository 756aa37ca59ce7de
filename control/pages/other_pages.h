// The acquisition, global, e-mail and about pages.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/pages/page_model.h"

namespace qd40::pages {

// Channel boxes shared by the pages: bit n-1 for channel n.
uint32_t programmedChannels(cfg::ConstFullCfgView cfg);

// "&Acquisition": bytes 2 to 11 of Cfg.
class AcqPageModel : public PageModel {
public:
    explicit AcqPageModel(char decimalSep = '.');

    // Channels to scan; the box of a channel that is not programmed is
    // disabled and cleared.
    uint32_t scanMask() const { return cfg().chansToScan() & enabledChannels(); }
    void setScanned(int n, bool on);
    uint32_t enabledChannels() const { return programmedChannels(cfg()); }
    void checkAll();
    void checkNone();

    int execMode() const { return cfg().execMode(); }
    void setExecMode(int v);
    int acqOpening() const { return cfg().acqOpening(); }
    void setAcqOpening(int v);
    int cutOffSchedule() const { return cfg().cutOffSchedule(); }
    void setCutOffSchedule(int v);
    int refJunctionSchedule() const { return cfg().refJunctionSchedule(); }
    void setRefJunctionSchedule(int v);
    int lineResSchedule() const { return cfg().lineResSchedule(); }
    void setLineResSchedule(int v);
    int periodUnit() const { return cfg().periodUnit(); }
    void setPeriodUnit(int v);

    // The period counts as typed.
    std::string acqCount;
    std::string auxCount;
    void countsEdited() { setChanged(); }

    // "(min:" N " ms)" for the fields as they stand.
    std::string minimumText() const;

    std::optional<std::string> store() override;

protected:
    void load() override;
    std::vector<std::string> warnings() override;

private:
    // The counts as numbers (a count that is not one counts as 0); the
    // warning 528 when one exceeds 65535.
    std::optional<std::string> storeCounts(cfg::FullCfgView cfg) const;
    bool countOutOfRange_ = false;
};

// "&Global": the six bits of the global word.
class GlobPageModel : public PageModel {
public:
    explicit GlobPageModel(char decimalSep = '.');
    bool externalRefJunction() const { return cfg().externalRefJunction(); }
    void setExternalRefJunction(bool v);
    bool trigReverse() const { return cfg().trigReverse(); }
    void setTrigReverse(bool v);
    bool relayModbus(int r) const { return cfg().relayModbus(r); }
    void setRelayModbus(int r, bool v);
    bool relayReverse(int r) const { return cfg().relayReverse(r); }
    void setRelayReverse(int r, bool v);
};

// "&E-mail": EmailCfg.
class MailPageModel : public PageModel {
public:
    explicit MailPageModel(char decimalSep = '.');
    static constexpr size_t kMaxRecipient = cfg::kRecipientSize - 1;
    static constexpr size_t kMaxMessage = cfg::kEmailMessageSize - 1;
    std::string recipient(int i) const { return email().recipient(i); }
    void setRecipient(int i, const std::string& v);
    std::string message() const { return email().message(); }
    void setMessage(const std::string& v);
    // Bit 0, 1: global alarms; bit 2: memory event.
    bool condition(int bit) const;
    void setCondition(int bit, bool on);
};

// What the about page shows of the communication server.
struct ServerVersion {
    std::string version;  // its Version text
    uint32_t ms = 0, ls = 0;
};

// "&About OvixQd40Ctl": nothing to write back.
class AboutPageModel : public PageModel {
public:
    // `server` creates a server object on this machine and asks its version;
    // nullopt when it cannot.
    explicit AboutPageModel(std::function<std::optional<ServerVersion>()> server = {});
    std::string titleLine() const;
    // Product name, "Version", product version and the file version numbers.
    std::string controlLine() const;
    std::string legalText() const;
    std::string specialBuild() const;
    std::string serverLine() const;

private:
    std::function<std::optional<ServerVersion>()> server_;
};

// "NAME Version V (a,b,c,d)" of a product.
std::string versionLine(const std::string& name, const std::string& version, uint32_t ms,
                        uint32_t ls);

}  // namespace qd40::pages
