// A Tavik document: the module items (each with its configuration control),
// the record blocks read from their memories, the item numbering and the
// document file.
//
// File layout (archive conventions of common/archive):
//   header line "OVIX,TAVIK,0,B.10" ended by a line feed, no length prefix;
//   [u32 last item number]                         when the version has numbers
//   u32 item count, then per item: the object tag of CTavikItem (schema 0),
//     u32 length and the control's stream persistence,
//     [string old module name]                     test versions Z.11, Z.12
//     [u32 item number]                            when the version has numbers
//   [i32 block count, then each CExplBloc as a tagged object]  when the version has blocks
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/core/tavik_item.h"
#include "app/records/expl_bloc.h"
#include "common/error_info.h"

namespace qd40::app {

// What a module remembers of the program it was sent: the document's name
// and its file time.
struct ProgramIdentification {
    std::string name;   // title up to its first ".", upper-cased, at most 16 characters
    uint32_t time = 0;  // file time in seconds since 2000-01-01, 0 when never saved
    bool operator==(const ProgramIdentification&) const = default;
};

class CTavikDoc {
public:
    using ControlFactory = CTavikItem::ControlFactory;
    static constexpr const char* kExtension = ".dqx";

    explicit CTavikDoc(ControlFactory factory);
    CTavikDoc(const CTavikDoc&) = delete;
    CTavikDoc& operator=(const CTavikDoc&) = delete;

    // ---- items
    const std::vector<std::unique_ptr<CTavikItem>>& items() const { return items_; }
    // A new item with a new control, not numbered yet, at the end of the list.
    CTavikItem& newItem();
    void deleteItem(const CTavikItem* item);
    // Gives the item the smallest number from 1 that no other item bears.
    void numberItem(CTavikItem& item);
    CTavikItem* findItemByNumber(uint32_t number) const;
    uint32_t lastItemNumber() const { return lastItemNumber_; }

    // ---- record blocks (owned)
    std::vector<std::unique_ptr<records::CExplBloc>>& blocks() { return blocks_; }
    const std::vector<std::unique_ptr<records::CExplBloc>>& blocks() const { return blocks_; }

    // ---- file
    // The header line this program writes ("OVIX,TAVIK,0,B.10").
    static std::string currentHeader();
    // The header as read (empty when the file was not recognised), or the
    // current one for a new document.
    const std::string& header() const { return header_; }
    std::string version() const;
    // Replaces the content with what bytes hold. On failure the document is
    // unchanged and the status says why (messages 146 and 147 with path).
    Status read(std::span<const uint8_t> bytes, const std::string& pathForMessages);
    // The whole file as this program writes it.
    std::vector<uint8_t> write() const;
    // The same, given in pieces to sink (records straight from the blocks);
    // false as soon as the sink refuses a piece.
    bool writeTo(const std::function<bool(std::span<const uint8_t>)>& sink) const;
    // Reads the file at path; on success the document takes the path.
    Status load(const std::filesystem::path& path);
    // Writes to a temporary file beside path, flushes it to the disk and
    // renames it over path: a failure leaves the old file as it was and
    // removes what it created. On success the document takes the path and is
    // no longer modified.
    Status save(const std::filesystem::path& path);
    // The same file written at path, the document keeping its own path and
    // modified flag (a recovery copy).
    Status saveCopy(const std::filesystem::path& path) const;

    // ---- identity and state
    const std::filesystem::path& path() const { return path_; }
    // The file name ("demo.dqx"), or the untitled name given at creation.
    std::string title() const;
    void setUntitledName(std::string name) { untitled_ = std::move(name); }
    ProgramIdentification programIdentification() const;

    bool isModified() const { return modified_; }
    void setModified(bool modified = true);
    // Called on every change of an item or of the modified flag.
    void setChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

    bool communicationsOpen = false;

private:
    void clearContent();

    ControlFactory factory_;
    std::vector<std::unique_ptr<CTavikItem>> items_;
    std::vector<std::unique_ptr<records::CExplBloc>> blocks_;
    uint32_t lastItemNumber_ = 0;
    std::string header_;
    std::filesystem::path path_;
    std::string untitled_ = "Tavik-1";
    bool modified_ = false;
    std::function<void()> listener_;
};

// Seconds since 2000-01-01 00:00:00 of a file's last modification, 0 when
// it does not exist.
uint32_t fileTimeSince2000(const std::filesystem::path& path);

}  // namespace qd40::app
