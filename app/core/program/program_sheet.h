// The easy and full programming sheets of a module item: the five working
// copies read from the item's control when the sheet is created (full
// configuration record, channel resolutions, memory status masks, e-mail
// configuration and Qd40ExtCfg) with the channel to show first, the page
// models of the property pages attached to those copies, and the
// write-back on OK.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/core/app_ports.h"
#include "app/core/tavik_item.h"
#include "control/pages/chans_page_model.h"
#include "control/pages/mem_page_model.h"
#include "control/pages/other_pages.h"

namespace qd40::app::program {

// The working copies as a page target: the pages read and apply to them.
class WorkingCopies : public pages::PageTarget {
public:
    cfg::FullCfgData cfg{};
    cfg::ChansResCfgData chansRes{};
    cfg::MemsStatusMaskCfgData memsMask{};
    cfg::EmailCfgData email{};
    cfg::Qd40ExtCfgData ext{};

    // Reads the five blobs of the control.
    HRESULT readFrom(ctl::OvixQd40Ctl& c);

    HRESULT get(pages::Blob blob, std::vector<uint8_t>& bytes) override;
    HRESULT put(pages::Blob blob, std::span<const uint8_t> bytes) override;
    std::string errorDescription() const override { return {}; }

private:
    std::span<uint8_t> bytes(pages::Blob blob);
};

class ProgramSheet {
public:
    enum class Kind { Easy, Full };

    ProgramSheet(Kind kind, CTavikItem& item, char decimalSep = '.');
    ProgramSheet(const ProgramSheet&) = delete;
    ProgramSheet& operator=(const ProgramSheet&) = delete;

    // Reads the working copies and DefEditChanNum from the control and
    // activates the pages on them; false when the control cannot give them.
    bool open();

    Kind kind() const { return kind_; }
    CTavikItem& item() const { return item_; }
    // String 215 with the item's short display name.
    std::string title() const;
    // The pages in their order with their captions. The easy sheet's second
    // page is the acquisition and the memory block 1 together.
    struct Page {
        std::vector<pages::PageModel*> models;
        std::string caption;
    };
    std::vector<Page> pages();

    pages::ChansPageModel chans;
    pages::AcqPageModel acq;
    pages::MemPageModel mem;
    pages::GlobPageModel glob;
    pages::MailPageModel mail;
    WorkingCopies& copies() { return copies_; }

    // OK: stores every changed page into the working copies (a field that
    // cannot be read is shown and keeps the sheet open: false), then writes
    // back to the control every copy that differs from the control's; a
    // refused write shows message 119 and gives E_FAIL. S_OK with
    // `changedItem` telling whether anything was written.
    HRESULT finish(pages::PagePrompter& pagePrompter, AppPrompter& prompter, bool& changedItem);

private:
    Kind kind_;
    CTavikItem& item_;
    WorkingCopies copies_;
};

}  // namespace qd40::app::program
