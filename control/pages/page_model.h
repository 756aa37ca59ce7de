// The common part of the property pages: the controls a page is attached
// to, the working copies of the blobs it edits (read from the first control
// when the page is activated), the "changed" flag that enables Apply, and
// Apply itself, which writes the page's parts back only to the controls
// whose bytes differ.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/config/cfg_layout.h"
#include "common/hresult.h"

namespace qd40::ctl {
class OvixQd40Ctl;
}

namespace qd40::pages {

// The configuration blobs a page reads and writes.
enum class Blob { Cfg, ChansRes, ChansExt, MemsMask, Email };
inline constexpr std::array<Blob, 5> kAllBlobs = {Blob::Cfg, Blob::ChansRes, Blob::ChansExt,
                                                  Blob::MemsMask, Blob::Email};
size_t blobSize(Blob b);

// What a page needs of a control: its blob properties and its last error.
class PageTarget {
public:
    virtual ~PageTarget() = default;
    virtual HRESULT get(Blob blob, std::vector<uint8_t>& bytes) = 0;
    virtual HRESULT put(Blob blob, std::span<const uint8_t> bytes) = 0;
    // The description of the last failure.
    virtual std::string errorDescription() const = 0;
};

// A configuration control as a page target (its Cfg, ChansResCfg,
// ChansExtCfg, MemsStatusMaskCfg and EmailCfg properties).
class CtlPageTarget : public PageTarget {
public:
    explicit CtlPageTarget(ctl::OvixQd40Ctl& c) : c_(c) {}
    HRESULT get(Blob blob, std::vector<uint8_t>& bytes) override;
    HRESULT put(Blob blob, std::span<const uint8_t> bytes) override;
    std::string errorDescription() const override;
    ctl::OvixQd40Ctl& control() const { return c_; }

private:
    ctl::OvixQd40Ctl& c_;
};

// How the pages show their messages (the widgets show boxes, tests record).
class PagePrompter {
public:
    virtual ~PagePrompter() = default;
    // A warning that does not stop what is being done.
    virtual void warning(const std::string& text) = 0;
    // A failure (a control refused a value).
    virtual void error(const std::string& text) = 0;
};

// The text clipboard of the linearisation points.
class PageClipboard {
public:
    enum class SetResult { Ok, CannotOpen, CannotEmpty };
    virtual ~PageClipboard() = default;
    // The clipboard's text, or nullopt when it cannot be opened.
    virtual std::optional<std::string> text() = 0;
    virtual SetResult setText(const std::string& text) = 0;
};

// A byte range of one blob written back by a page.
struct BlobPart {
    Blob blob;
    size_t offset;
    size_t size;
};

class PageModel {
public:
    explicit PageModel(std::vector<BlobPart> parts, char decimalSep = '.');
    virtual ~PageModel() = default;
    PageModel(const PageModel&) = delete;
    PageModel& operator=(const PageModel&) = delete;

    void attach(std::vector<PageTarget*> targets) { targets_ = std::move(targets); }
    const std::vector<PageTarget*>& targets() const { return targets_; }
    const std::vector<BlobPart>& parts() const { return parts_; }
    char decimalSeparator() const { return sep_; }

    // Reads the working copies from the first control and fills the page's
    // fields; the changed flag is cleared. S_OK when there is no control.
    HRESULT activate();
    bool changed() const { return changed_; }
    void setChanged(bool changed = true) { changed_ = changed; }

    // Stores the fields, shows the page's warnings (they do not stop it),
    // then for every control in turn writes the page's parts back when they
    // differ from the control's bytes. A failing read or put shows the
    // control's error description and gives E_FAIL; the remaining controls
    // are not updated. S_FALSE when the fields cannot be stored (the message
    // has been shown). The changed flag is cleared on success.
    HRESULT apply(PagePrompter& prompter);

    // The working copies.
    std::span<uint8_t> copy(Blob blob);
    std::span<const uint8_t> copy(Blob blob) const;
    cfg::FullCfgView cfg() { return cfg::FullCfgView(cfg_); }
    cfg::ConstFullCfgView cfg() const { return cfg::ConstFullCfgView(cfg_); }
    cfg::ChansResCfg chansRes() { return cfg::ChansResCfg(res_); }
    cfg::ChansExtCfg chansExt() { return cfg::ChansExtCfg(ext_); }
    cfg::ConstChansExtCfg chansExt() const { return cfg::ConstChansExtCfg(ext_); }
    cfg::MemsStatusMaskCfg memsMask() { return cfg::MemsStatusMaskCfg(masks_); }
    cfg::EmailCfg email() { return cfg::EmailCfg(email_); }
    cfg::ConstEmailCfg email() const { return cfg::ConstEmailCfg(email_); }

    // Stores the page's fields into the working copies: the message of the
    // first field that cannot be read, or nullopt.
    virtual std::optional<std::string> store() { return std::nullopt; }

protected:
    // Fills the fields from the working copies (after activation).
    virtual void load() {}
    // The warnings shown by Apply after storing.
    virtual std::vector<std::string> warnings() { return {}; }

private:
    std::vector<BlobPart> parts_;
    char sep_;
    std::vector<PageTarget*> targets_;
    bool changed_ = false;
    cfg::FullCfgData cfg_{};
    cfg::ChansResCfgData res_{};
    cfg::ChansExtCfgData ext_{};
    cfg::MemsStatusMaskCfgData masks_{};
    cfg::EmailCfgData email_{};
};

// Numbers of the pages in the user's notation.
std::string formatNumber(double v, char sep);
// An integer field from lo to hi; the message names the text when it is not one.
std::optional<std::string> readInteger(const std::string& text, long lo, long hi, long& out);
// A float field; the message names the text when it is not a number in range.
std::optional<std::string> readFloat(const std::string& text, char sep, float& out);

}  // namespace qd40::pages
