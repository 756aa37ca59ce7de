#include "app/core/read_memory.h"

#include <chrono>
#include <ctime>

#include "app/core/app_strings.h"
#include "app/core/doc_operations.h"
#include "app/core/open_for_command.h"
#include "app/records/records_strings.h"
#include "common/config/cfg_layout.h"
#include "common/le_bytes.h"

namespace qd40::app {

using security::AuditEvent;

namespace {
// The four words of the memory blocks status.
enum StatusWord { kRecording = 0, kClosed = 1, kHoldsRecords = 2, kFull = 3 };
constexpr int kRightClearMemory = 12;
// A block's default name: the item's name, the block and the document's next block.
constexpr const char* kDefaultNameSuffix = "_%02.2d_%d";

bool statusBit(const std::vector<uint8_t>& s, StatusWord word, int block) {
    return (le::u16(s, size_t(word) * 2) >> (block - 1) & 1) != 0;
}

// Cuts a UTF-8 text to n characters.
std::string firstChars(const std::string& s, size_t n) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && chars++ == n)
            return s.substr(0, i);
    return s;
}

}  // namespace

// ---- the dialog ---------------------------------------------------------------------

CReadMemDialog::CReadMemDialog(CTavikItem& item, const CTavikDoc& doc, bool mayClear)
    : item_(item), mayClear_(mayClear) {
    const int next = static_cast<int>(doc.blocks().size()) + 1;
    for (int b = 1; b <= kBlocks; ++b) {
        ReadMemRow& r = row(b);
        r.name =
            item.shortDisplayName() + strings::formatText(std::string(kDefaultNameSuffix), b, next);
        r.read = true;
        r.clearAfter = true;
    }
}

std::string CReadMemDialog::title() const {
    return strings::formatText(appText(text::kReadMemTitle), item_.shortDisplayName().c_str());
}

bool CReadMemDialog::refreshStatus() {
    ctl::OvixQd40Ctl& c = item_.control();
    cfg::VariantBlob status;
    if (failed(c.GetMemsStatus(&status)) || status.data.size() < 8)
        return false;
    for (int b = 1; b <= kBlocks; ++b) {
        ReadMemRow& r = row(b);
        r.recording = statusBit(status.data, kRecording, b);
        r.closed = statusBit(status.data, kClosed, b);
        r.full = statusBit(status.data, kFull, b);
        r.available = 0;
        if (statusBit(status.data, kHoldsRecords, b) &&
            failed(c.GetMemRecCount(static_cast<int16_t>(b), &r.available)))
            r.available = 0;
        r.readEnabled = r.read = r.available != 0;
        applyRowRule(b);
    }
    return true;
}

void CReadMemDialog::setRead(int block, bool read) {
    row(block).read = read;
    applyRowRule(block);
}

void CReadMemDialog::applyRowRule(int block) {
    ReadMemRow& r = row(block);
    r.closeBeforeEnabled = r.closeBefore = r.read && r.recording;
    r.clearAfterEnabled = r.clearAfter = r.read && mayClear_;
    r.reopenAfterEnabled = r.reopenAfter = r.read && r.closeBefore;
}

std::optional<std::string> CReadMemDialog::closingQuestion() const {
    std::string blocks;
    for (int b = 1; b <= kBlocks; ++b) {
        const ReadMemRow& r = row(b);
        if (r.recording && r.read && r.closeBefore && !r.reopenAfter)
            blocks += (blocks.empty() ? "" : ", ") + std::to_string(b);
    }
    if (blocks.empty())
        return std::nullopt;
    return appMessage(text::kReadMemNotReopenedAsk, {blocks});
}

void CReadMemDialog::accept() {
    for (ReadMemRow& r : rows_)
        r.name = firstChars(r.name, kBlockNameMax);
}

// ---- the command ----------------------------------------------------------------------

MemoryReader::MemoryReader(CTavikDoc& doc, AppPrompter& prompter, Session& session, ReadMemUi& ui,
                           std::function<Status(CTavikDoc&)> secure)
    : doc_(doc), prompter_(prompter), session_(session), ui_(ui), secure_(std::move(secure)) {}

MemoryReader::Next MemoryReader::conflictChoice(const CTavikItem& item,
                                                const CReadMemDialog& dialog) {
    bool conflict = false;
    for (int b = 1; b <= CReadMemDialog::kBlocks; ++b)
        for (const auto& existing : doc_.blocks())
            conflict = conflict || (dialog.toRead(b) > 0 && existing->name == dialog.row(b).name);
    if (!conflict)
        return Next::Add;
    const bool overwriting = session_.isOverwritingAllowed();
    const std::optional<int> choice = prompter_.threeChoices(
        strings::formatText(appText(text::kReadMemConflictTitle), item.shortDisplayName().c_str()),
        appText(text::kReadMemConflictText),
        {overwriting ? appText(text::kReadMemAdd) : std::string(),
         overwriting ? appText(text::kReadMemReplace) : std::string(),
         appText(text::kReadMemOtherNames)});
    if (!choice)
        return Next::Cancel;
    if (*choice == 2)
        return Next::OtherNames;
    if (*choice == 0)
        return Next::Add;
    switch (prompter_.message(appText(text::kReadMemReplaceAsk), Buttons::YesNoCancel,
                              Icon::Question)) {
        case Answer::Yes:
            return Next::Replace;
        case Answer::No:
            return Next::Add;
        default:
            return Next::Cancel;
    }
}

bool MemoryReader::merge(std::unique_ptr<records::CExplBloc> block, Merge mode) {
    auto& blocks = doc_.blocks();
    auto same = std::find_if(blocks.begin(), blocks.end(),
                             [&](const auto& b) { return b->name == block->name; });
    if (same == blocks.end()) {
        blocks.push_back(std::move(block));
    } else if (mode == Merge::Add) {
        records::CExplBloc& existing = **same;
        existing.records.insert(existing.records.end(), block->records.begin(),
                                block->records.end());
        existing.SortRecords(&ui_.waitDialog(), ui_.recordsPrompter());
    } else {
        blocks.erase(same);
        blocks.push_back(std::move(block));
    }
    doc_.setModified();
    return true;
}

HRESULT MemoryReader::ReadModuleMemory(CTavikItem& item) {
    if (!session_.hasRight(right::kReadMemory))
        return E_ABORT;
    ctl::OvixQd40Ctl& c = item.control();
    OpenForCommand open(c);
    if (failed(open.result())) {
        prompter_.message(controlErrorText(open.result(), c.lastError()), Buttons::Ok,
                          Icon::Exclamation);
        return E_ABORT;
    }

    CReadMemDialog dialog(item, doc_, session_.hasRight(kRightClearMemory));
    Next next = Next::OtherNames;
    while (next == Next::OtherNames) {
        if (!ui_.showDialog(dialog))
            return E_ABORT;
        next = conflictChoice(item, dialog);
    }
    if (next == Next::Cancel)
        return E_ABORT;
    const Merge mode = next == Next::Replace ? Merge::Replace : Merge::Add;

    // The configuration snapshot every block takes.
    cfg::VariantBlob resBlob;
    const bool haveRes = succeeded(c.GetChansResStatus(&resBlob));
    const cfg::FullCfgData fullCfg = c.state().cfg;
    const cfg::Qd40ExtCfgData ext = c.state().ext;

    int64_t total = 0;
    for (int b = 1; b <= CReadMemDialog::kBlocks; ++b)
        total += dialog.toRead(b);
    records::IWaitDialog& wait = ui_.waitDialog();
    wait.create(records::IDS_READING_MEMORY);
    wait.setRange(0, total);
    wait.setStep(1);

    bool cancelled = false;
    bool added = false;
    std::string firstName;
    int64_t readInAll = 0;
    // Blocks stored whose records are to be removed from the module, with the
    // number of records read.
    std::vector<std::pair<int, uint32_t>> toClear;
    std::vector<int> toReopen;
    for (int b = 1; b <= CReadMemDialog::kBlocks && !cancelled; ++b) {
        const uint32_t count = dialog.toRead(b);
        if (count == 0)
            continue;
        if (wait.IsCancelled()) {
            session_.audit(AuditEvent::ABORT_READ_QD40_MEM, {item.shortDisplayName()});
            cancelled = true;
            break;
        }
        const ReadMemRow& row = dialog.row(b);
        const std::string label =
            strings::formatText(appText(text::kReadMemBlockLabel), b, row.name.c_str());
        wait.setMessage(appMessage(text::kReadMemBlockProgress, {label}));
        if (row.closeBefore)
            c.MemStop(static_cast<int16_t>(b));

        std::vector<uint8_t> data;
        uint32_t read = 0;
        bool failedRead = false;
        while (read < count) {
            if (wait.IsCancelled()) {
                cancelled = true;
                break;
            }
            const uint32_t quantity = std::min<uint32_t>(count - read, kReadChunk);
            uint32_t got = 0;
            cfg::VariantBlob records;
            if (failed(c.GetMemRecords(static_cast<int16_t>(b), read + 1, quantity, 0, &got,
                                       &records)) ||
                got == 0) {
                failedRead = true;
                break;
            }
            got = std::min<uint32_t>(got, uint32_t(records.data.size() / 8));
            data.insert(data.end(), records.data.begin(), records.data.begin() + got * 8);
            read += got;
            wait.setPos(readInAll + read);
        }
        readInAll += read;
        if (cancelled)
            break;  // what this block brought is dropped: nothing of it is cleared
        if (failedRead)
            prompter_.message(appMessage(text::kReadMemBlockFailed, {label}), Buttons::Ok,
                              Icon::Exclamation);
        if (read > 0) {
            // A block that failed part-way keeps what was read: those records
            // would otherwise be lost if the module is cleared later.
            auto block = std::make_unique<records::CExplBloc>();
            block->name = row.name;
            block->comment = row.comment;
            block->setConfigSnapshot(
                fullCfg,
                haveRes ? std::span<const uint8_t>(resBlob.data) : std::span<const uint8_t>(), ext,
                b);
            block->AppendRawRecords(data, read);
            added = merge(std::move(block), mode) || added;
            if (firstName.empty() && !row.name.empty())
                firstName = row.name;
            if (row.clearAfter && !failedRead)
                toClear.emplace_back(b, read);
        }
        if (row.reopenAfter)
            toReopen.push_back(b);
    }
    wait.destroy();

    // Records leave the module only once the document holding them is on the disk.
    if (!toClear.empty()) {
        const Status st = secure_ ? secure_(doc_) : Status::failure(E_FAIL, "no way to save");
        if (st) {
            for (const auto& [b, n] : toClear)
                c.MemRemove(static_cast<int16_t>(b), n);
        } else {
            prompter_.message(appMessage(text::kReadMemNotSecured, {st.error.description}),
                              Buttons::Ok, Icon::Exclamation);
        }
    }
    for (int b : toReopen)
        c.MemRun(static_cast<int16_t>(b));

    if (added) {
        session_.audit(AuditEvent::READ_QD40_MEM, {item.shortDisplayName()});
        ui_.showBlock(firstName);
    }
    return cancelled ? E_ABORT : S_OK;
}

std::function<Status(CTavikDoc&)> saveOrRecover(std::filesystem::path folder) {
    return [folder](CTavikDoc& doc) -> Status {
        if (!doc.path().empty())
            return doc.save(doc.path());
        const std::time_t now = std::time(nullptr);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        std::string title = doc.title();
        return doc.saveCopy(folder / (title.substr(0, title.find('.')) + " recovered " + stamp +
                                      CTavikDoc::kExtension));
    };
}

}  // namespace qd40::app
