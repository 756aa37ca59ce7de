#include "control/pages/page_model.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <set>

#include "common/config/variant_blob.h"
#include "control/ctl/ovixqd40ctl.h"
#include "control/pages/page_strings.h"
#include "control/rules/value_rules.h"

namespace qd40::pages {

size_t blobSize(Blob b) {
    switch (b) {
        case Blob::Cfg:
            return cfg::kFullCfgSize;
        case Blob::ChansRes:
            return cfg::kChansResCfgSize;
        case Blob::ChansExt:
            return cfg::kChansExtCfgSize;
        case Blob::MemsMask:
            return cfg::kMemsStatusMaskCfgSize;
        case Blob::Email:
            return cfg::kEmailCfgSize;
    }
    return 0;
}

// ---- the control as a target ------------------------------------------------------

HRESULT CtlPageTarget::get(Blob blob, std::vector<uint8_t>& bytes) {
    cfg::VariantBlob v;
    HRESULT h = E_FAIL;
    switch (blob) {
        case Blob::Cfg:
            h = c_.get_Cfg(&v);
            break;
        case Blob::ChansRes:
            h = c_.get_ChansResCfg(&v);
            break;
        case Blob::ChansExt:
            h = c_.get_ChansExtCfg(&v);
            break;
        case Blob::MemsMask:
            h = c_.get_MemsStatusMaskCfg(&v);
            break;
        case Blob::Email:
            h = c_.get_EmailCfg(&v);
            break;
    }
    if (failed(h))
        return h;
    bytes.assign(blobSize(blob), 0);
    const Status st = cfg::unpackBlob(v, bytes);
    return st ? S_OK : E_FAIL;
}

HRESULT CtlPageTarget::put(Blob blob, std::span<const uint8_t> bytes) {
    const cfg::VariantBlob v = cfg::packBlob(bytes);
    switch (blob) {
        case Blob::Cfg:
            return c_.put_Cfg(v);
        case Blob::ChansRes:
            return c_.put_ChansResCfg(v);
        case Blob::ChansExt:
            return c_.put_ChansExtCfg(v);
        case Blob::MemsMask:
            return c_.put_MemsStatusMaskCfg(v);
        case Blob::Email:
            return c_.put_EmailCfg(v);
    }
    return E_FAIL;
}

std::string CtlPageTarget::errorDescription() const {
    return c_.lastError().description;
}

// ---- the page -----------------------------------------------------------------------

PageModel::PageModel(std::vector<BlobPart> parts, char decimalSep)
    : parts_(std::move(parts)), sep_(decimalSep) {}

std::span<uint8_t> PageModel::copy(Blob blob) {
    switch (blob) {
        case Blob::Cfg:
            return cfg_;
        case Blob::ChansRes:
            return res_;
        case Blob::ChansExt:
            return ext_;
        case Blob::MemsMask:
            return masks_;
        case Blob::Email:
            return email_;
    }
    return {};
}

std::span<const uint8_t> PageModel::copy(Blob blob) const {
    return const_cast<PageModel*>(this)->copy(blob);
}

HRESULT PageModel::activate() {
    if (!targets_.empty()) {
        for (Blob b : kAllBlobs) {
            std::vector<uint8_t> bytes;
            if (HRESULT h = targets_.front()->get(b, bytes); failed(h))
                return h;
            std::copy(bytes.begin(), bytes.end(), copy(b).begin());
        }
    }
    load();
    changed_ = false;
    return S_OK;
}

HRESULT PageModel::apply(PagePrompter& prompter) {
    if (const auto bad = store()) {
        prompter.error(*bad);
        return S_FALSE;
    }
    for (const std::string& w : warnings())
        prompter.warning(w);

    std::set<Blob> blobs;
    for (const BlobPart& p : parts_)
        blobs.insert(p.blob);
    for (PageTarget* target : targets_) {
        for (Blob b : blobs) {
            std::vector<uint8_t> current;
            if (failed(target->get(b, current)) || current.size() != blobSize(b)) {
                prompter.error(target->errorDescription());
                return E_FAIL;
            }
            const std::span<const uint8_t> mine = copy(b);
            bool differs = false;
            for (const BlobPart& p : parts_) {
                if (p.blob != b)
                    continue;
                if (!std::equal(mine.begin() + p.offset, mine.begin() + p.offset + p.size,
                                current.begin() + p.offset)) {
                    std::copy(mine.begin() + p.offset, mine.begin() + p.offset + p.size,
                              current.begin() + p.offset);
                    differs = true;
                }
            }
            if (differs && failed(target->put(b, current))) {
                prompter.error(target->errorDescription());
                return E_FAIL;
            }
        }
    }
    changed_ = false;
    return S_OK;
}

// ---- numbers ----------------------------------------------------------------------------

std::string formatNumber(double v, char sep) {
    return rules::formatFloat(static_cast<float>(v), sep);
}

std::optional<std::string> readInteger(const std::string& text, long lo, long hi, long& out) {
    std::string t = text;
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    long v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size())
        return strings::formatText(pageText(ptext::kNotANumber), text.c_str());
    if (v < lo || v > hi)
        return strings::formatText(pageText(ptext::kOutOfRange), text.c_str(),
                                   std::to_string(lo).c_str(), std::to_string(hi).c_str());
    out = v;
    return std::nullopt;
}

std::optional<std::string> readFloat(const std::string& text, char sep, float& out) {
    const auto v = rules::parseFloatValue(text, sep);
    if (!v)
        return strings::formatText(pageText(ptext::kNotANumber), text.c_str());
    out = *v;
    return std::nullopt;
}

}  // namespace qd40::pages
