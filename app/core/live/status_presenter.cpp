#include "app/core/live/status_presenter.h"

#include "app/core/app_strings.h"
#include "common/le_bytes.h"

namespace qd40::app::live {

namespace {
// The four words of the memory blocks status.
enum MemsWord { kRecordingWord = 0, kClosedWord = 1, kHoldsRecordsWord = 2, kFullWord = 3 };
constexpr size_t kMemsStatusSize = 8;

bool memsBit(const std::vector<uint8_t>& s, MemsWord word, int block) {
    return (le::u16(s, size_t(word) * 2) >> (block - 1) & 1) != 0;
}
}  // namespace

StatusPresenter::StatusPresenter(CTavikItem& item, AppPrompter& prompter, Session& session)
    : link_(item, prompter), session_(session) {}

std::string StatusPresenter::title() const {
    return itemTitle(text::kStatusTitle, link_.item());
}

std::string StatusPresenter::bitText(int bit) {
    return appText(text::kStatusBitFirst + bit);
}

bool StatusPresenter::update() {
    ctl::OvixQd40Ctl& c = link_.control();
    int16_t status = 0;
    cfg::VariantBlob mems;
    bool ok = link_.ensureOpen() && link_.check(c.GetStatus(&status)) &&
              link_.check(c.GetMemsStatus(&mems));
    std::array<Block, kBlocks> blocks{};
    if (ok && mems.data.size() >= kMemsStatusSize) {
        for (int b = 1; ok && b <= kBlocks; ++b) {
            Block& row = blocks[size_t(b - 1)];
            row.recording = memsBit(mems.data, kRecordingWord, b);
            row.closed = memsBit(mems.data, kClosedWord, b);
            row.full = memsBit(mems.data, kFullWord, b);
            if (memsBit(mems.data, kHoldsRecordsWord, b))
                ok = link_.check(c.GetMemRecCount(static_cast<int16_t>(b), &row.available));
        }
    } else {
        ok = false;
    }
    if (!ok) {
        link_.prompter().message(appText(text::kUnableToReadStatus), Buttons::Ok,
                                 Icon::Exclamation);
        return false;
    }
    status_ = static_cast<uint16_t>(status);
    blocks_ = blocks;
    return true;
}

bool StatusPresenter::enabled(Command command) const {
    switch (command) {
        case Command::Run:
            return session_.hasRight(right::kRun);
        case Command::Stop:
            return session_.hasRight(right::kStop);
        default:
            return session_.hasRight(right::kTransmit);
    }
}

bool StatusPresenter::send(Command command) {
    if (!enabled(command)) {
        link_.prompter().beep();
        return false;
    }
    if (!link_.ensureOpen()) {
        link_.showError();
        return false;
    }
    ctl::OvixQd40Ctl& c = link_.control();
    HRESULT h = S_OK;
    switch (command) {
        case Command::Run:
            h = c.Run();
            break;
        case Command::Stop:
            h = c.Stop();
            break;
        case Command::Trig:
            h = c.Trig();
            break;
        case Command::Local:
            h = c.Local();
            break;
        case Command::Remote:
            h = c.Remote();
            break;
    }
    if (!link_.checkAndShow(h))
        return false;
    if (command == Command::Run || command == Command::Stop)
        session_.audit(command == Command::Run ? security::AuditEvent::SEND_RUN
                                               : security::AuditEvent::SEND_STOP,
                       {link_.item().shortDisplayName()});
    update();
    return true;
}

}  // namespace qd40::app::live
