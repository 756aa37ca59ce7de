// Reading chosen storage memory blocks of a module into record blocks of the
// document: the reading dialog's logic (CReadMemDialog, without its widget)
// and the reading command (ReadModuleMemory).
//
// Records are removed from the module ("clear after reading") only once they
// are stored in the document and the document is on the disk: saved to its
// file, or, for a document never saved, to a recovery copy.
#pragma once
#include <array>
#include <functional>
#include <string>

#include "app/core/app_ports.h"
#include "app/core/tavik_doc.h"
#include "app/records/wait_progress.h"

namespace qd40::app {

inline constexpr int kReadChunk = 256;
inline constexpr size_t kBlockNameMax = 80;

// One column of the reading dialog: a memory block.
struct ReadMemRow {
    // Status boxes.
    bool recording = false, closed = false, full = false;
    uint32_t available = 0;
    // Choices, and whether each box can be changed.
    bool read = false, readEnabled = false;
    bool closeBefore = false, closeBeforeEnabled = false;
    bool clearAfter = false, clearAfterEnabled = false;
    bool reopenAfter = false, reopenAfterEnabled = false;
    std::string name, comment;
};

class CReadMemDialog {
public:
    static constexpr int kBlocks = 10;

    // Fills the default names ("<item>_%02.2d_<blocks + 1>") and choices.
    CReadMemDialog(CTavikItem& item, const CTavikDoc& doc, bool mayClear);

    std::string title() const;
    // Reads the blocks' status and counts from the module and applies the
    // row rule to every block; false (rows unchanged) when the status could
    // not be read.
    bool refreshStatus();
    // "Read block:" toggled, then the row rule.
    void setRead(int block, bool read);
    ReadMemRow& row(int block) { return rows_.at(size_t(block - 1)); }
    const ReadMemRow& row(int block) const { return rows_.at(size_t(block - 1)); }
    // OK: the question to ask first ("Blocs 1, 3 will be closed ..."), if any.
    std::optional<std::string> closingQuestion() const;
    // What OK keeps: names cut to 80 characters, counts 0 for blocks not read.
    void accept();
    uint32_t toRead(int block) const { return row(block).read ? row(block).available : 0; }

private:
    void applyRowRule(int block);

    CTavikItem& item_;
    bool mayClear_;
    std::array<ReadMemRow, kBlocks> rows_;
};

// What the command asks of the windows.
class ReadMemUi {
public:
    virtual ~ReadMemUi() = default;
    // Shows the dialog (again after a name conflict, with its entries kept);
    // false on Cancel. The widget calls refreshStatus, setRead, closingQuestion
    // and accept.
    virtual bool showDialog(CReadMemDialog& dialog) = 0;
    virtual records::IWaitDialog& waitDialog() = 0;
    virtual records::IRecordsPrompter* recordsPrompter() { return nullptr; }
    // Shows the document's records explorer (created when there is none)
    // with the named block selected.
    virtual void showBlock(const std::string& name) { (void)name; }
};

class MemoryReader {
public:
    // `secure` puts the document on the disk before records are removed from
    // the module; it returns a failure to show instead.
    MemoryReader(CTavikDoc& doc, AppPrompter& prompter, Session& session, ReadMemUi& ui,
                 std::function<Status(CTavikDoc&)> secure);

    // S_OK; E_ABORT without the right, on Cancel or when a transfer was
    // cancelled.
    HRESULT ReadModuleMemory(CTavikItem& item);

private:
    enum class Merge { Add, Replace };
    // What to do after the dialog: merge by adding or replacing, show the
    // dialog again for other names, or end the command.
    enum class Next { Add, Replace, OtherNames, Cancel };
    Next conflictChoice(const CTavikItem& item, const CReadMemDialog& dialog);
    bool merge(std::unique_ptr<records::CExplBloc> block, Merge mode);

    CTavikDoc& doc_;
    AppPrompter& prompter_;
    Session& session_;
    ReadMemUi& ui_;
    std::function<Status(CTavikDoc&)> secure_;
};

// The default way to put the document on the disk: saved to its file, or a
// never-saved document to "<title> recovered <time>.dqx" in folder.
std::function<Status(CTavikDoc&)> saveOrRecover(std::filesystem::path folder);

}  // namespace qd40::app
