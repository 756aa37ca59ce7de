#include "app/core/tavik_doc.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "app/core/app_strings.h"
#include "app/core/doc_version.h"
#include "app/core/file_io.h"
#include "common/archive/archive.h"
#include "common/dates.h"
#include "common/output_file.h"
#include "tavik_version.h"

namespace qd40::app {

namespace {
// A header line longer than this is not ours.
constexpr size_t kMaxHeaderLength = 256;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

Status unreadable(const std::string& path) {
    return Status::failure(E_FAIL, appMessage(text::kUnableToRead, {path}) + ".\n" +
                                       appText(text::kCannotReadData) + ".");
}
}  // namespace

CTavikDoc::CTavikDoc(ControlFactory factory)
    : factory_(std::move(factory)), header_(currentHeader()) {}

std::string CTavikDoc::currentHeader() {
    return upper(std::string("OVIX,") + version::tavik::kProductName + ",0," +
                 version::tavik::kProductVersion);
}

std::string CTavikDoc::version() const {
    return std::string(versionOfHeader(header_));
}

// ---- items --------------------------------------------------------------------

CTavikItem& CTavikDoc::newItem() {
    items_.push_back(std::make_unique<CTavikItem>(factory_, [this] { setModified(); }));
    return *items_.back();
}

void CTavikDoc::deleteItem(const CTavikItem* item) {
    std::erase_if(items_, [item](const auto& p) { return p.get() == item; });
    setModified();
}

void CTavikDoc::numberItem(CTavikItem& item) {
    std::set<uint32_t> taken;
    for (const auto& other : items_)
        if (other.get() != &item)
            taken.insert(other->number);
    uint32_t n = 1;
    while (taken.contains(n))
        ++n;
    item.number = n;
    lastItemNumber_ = std::max(lastItemNumber_, n);
}

CTavikItem* CTavikDoc::findItemByNumber(uint32_t number) const {
    for (const auto& item : items_)
        if (item->number == number)
            return item.get();
    return nullptr;
}

// ---- file ---------------------------------------------------------------------

Status CTavikDoc::read(std::span<const uint8_t> bytes, const std::string& pathForMessages) {
    const auto lf = std::find(
        bytes.begin(), bytes.begin() + std::min(bytes.size(), kMaxHeaderLength), uint8_t('\n'));
    if (lf == bytes.end() || *lf != '\n')
        return unreadable(pathForMessages);
    std::string header = upper(std::string(bytes.begin(), lf));
    if (!header.empty() && header.back() == '\r')
        header.pop_back();
    if (!isRecognisedHeader(header))
        return unreadable(pathForMessages);
    const std::string v(versionOfHeader(header));

    std::vector<std::unique_ptr<CTavikItem>> items;
    std::vector<std::unique_ptr<records::CExplBloc>> blocks;
    uint32_t last = 0;
    try {
        archive::Reader ar(bytes.subspan(static_cast<size_t>(lf - bytes.begin()) + 1));
        if (docHasItemNumbers(v))
            last = ar.readU32();
        // Each item takes at least its tag and its length.
        const uint32_t count = ar.readU32();
        if (count > ar.remaining() / 6)
            throw archive::ArchiveError("item count larger than the file");
        for (uint32_t i = 0; i < count; ++i) {
            ar.expectNewObject(CTavikItem::kClassName, 0);
            auto item = std::make_unique<CTavikItem>(factory_, [this] { setModified(); });
            const uint32_t length = ar.readU32();
            if (length > ar.remaining())
                throw archive::ArchiveError("control state longer than the file");
            std::vector<uint8_t> state(length);
            ar.readBytes(state);
            size_t used = 0;
            if (!item->control().Load(state, &used).isOk() || used != length)
                throw archive::ArchiveError("control state unreadable");
            if (docHasOldModuleName(v)) {
                const std::string oldName = ar.readString();
                if (!oldName.empty())
                    item->setMnemonic(oldName);
            }
            if (docHasItemNumbers(v))
                item->number = ar.readU32();
            items.push_back(std::move(item));
        }
        if (!docHasItemNumbers(v)) {
            uint32_t n = 0;
            for (auto& item : items)
                item->number = ++n;
            last = std::max(last, n);
        }
        if (docHasBlocks(v)) {
            const int32_t blockCount = ar.readI32();
            if (blockCount < 0 || static_cast<uint32_t>(blockCount) > ar.remaining())
                throw archive::ArchiveError("bad block count");
            for (int32_t i = 0; i < blockCount; ++i) {
                const auto tag = ar.readObjectTag();
                if (tag.kind != archive::Reader::ObjectTag::Kind::New ||
                    tag.className != records::CExplBloc::kClassName)
                    throw archive::ArchiveError("record block expected");
                auto block = std::make_unique<records::CExplBloc>();
                block->Serialize(ar, v);
                blocks.push_back(std::move(block));
            }
        }
    } catch (const archive::ArchiveError&) {
        return unreadable(pathForMessages);
    }
    // The loads above marked nothing on this document: the items only call
    // back once they belong to it.
    items_ = std::move(items);
    blocks_ = std::move(blocks);
    lastItemNumber_ = last;
    header_ = header;
    modified_ = false;
    return Status::ok();
}

bool CTavikDoc::writeTo(const std::function<bool(std::span<const uint8_t>)>& sink) const {
    archive::Writer ar;
    const std::string header = currentHeader() + "\n";
    ar.writeBytes(std::span(reinterpret_cast<const uint8_t*>(header.data()), header.size()));
    ar.writeU32(lastItemNumber_);
    ar.writeU32(static_cast<uint32_t>(items_.size()));
    for (const auto& item : items_) {
        ar.writeObjectTag(CTavikItem::kClassName, 0);
        ctl::VectorOutStream state;
        // Saving keeps the control's modified flag: the document tracks its own.
        item->control().Save(state, false);
        ar.writeU32(static_cast<uint32_t>(state.bytes().size()));
        ar.writeBytes(state.bytes());
        ar.writeU32(item->number);
    }
    ar.writeI32(static_cast<int32_t>(blocks_.size()));
    for (const auto& block : blocks_) {
        ar.writeObjectTag(records::CExplBloc::kClassName, 0);
        block->SerializeHead(ar);
        if (!sink(ar.take()) || !sink(block->recordBytes()))
            return false;
    }
    return sink(ar.take());
}

std::vector<uint8_t> CTavikDoc::write() const {
    std::vector<uint8_t> out;
    writeTo([&out](std::span<const uint8_t> piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return true;
    });
    return out;
}

Status CTavikDoc::load(const std::filesystem::path& path) {
    MappedFile file;
    if (Status st = file.open(path); !st)
        return st;
    if (Status st = read(file.bytes(), path.string()); !st)
        return st;
    path_ = path;
    if (listener_)
        listener_();
    return Status::ok();
}

Status CTavikDoc::saveCopy(const std::filesystem::path& path) const {
    OutputFile file;
    Status st = file.open(path.string());
    if (st && !writeTo([&file](std::span<const uint8_t> piece) {
            return std::fwrite(piece.data(), 1, piece.size(), file.stream()) == piece.size();
        }))
        st = fileFailure("write", path.string(), errno);
    if (st)
        st = file.commit();
    if (!st)
        return Status::failure(
            st.hr, appMessage(text::kSaveFailed, {path.string(), st.error.description}));
    return Status::ok();
}

Status CTavikDoc::save(const std::filesystem::path& path) {
    if (Status st = saveCopy(path); !st)
        return st;
    path_ = path;
    setModified(false);
    return Status::ok();
}

// ---- identity -------------------------------------------------------------------

std::string CTavikDoc::title() const {
    return path_.empty() ? untitled_ : path_.filename().string();
}

ProgramIdentification CTavikDoc::programIdentification() const {
    std::string t = title();
    t = upper(t.substr(0, t.find('.')));
    if (t.size() > 16)
        t.resize(16);
    return {t, path_.empty() ? 0 : fileTimeSince2000(path_)};
}

void CTavikDoc::setModified(bool modified) {
    modified_ = modified;
    if (listener_)
        listener_();
}

uint32_t fileTimeSince2000(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_mtime < kSecondsFrom1970To2000)
        return 0;
    return static_cast<uint32_t>(st.st_mtime - kSecondsFrom1970To2000);
}

}  // namespace qd40::app
