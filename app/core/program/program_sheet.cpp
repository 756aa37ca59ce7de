#include "app/core/program/program_sheet.h"

#include <algorithm>
#include <functional>

#include "app/core/app_strings.h"
#include "app/core/program/program_strings.h"
#include "common/config/variant_blob.h"

namespace qd40::app::program {

namespace {
using pages::Blob;

template <size_t N>
HRESULT readBlob(ctl::OvixQd40Ctl& c, HRESULT (ctl::OvixQd40Ctl::*get)(cfg::VariantBlob*),
                 std::array<uint8_t, N>& out) {
    cfg::VariantBlob v;
    if (HRESULT h = (c.*get)(&v); failed(h))
        return h;
    return cfg::unpackBlob(v, out) ? S_OK : E_FAIL;
}

// Puts the copy when it differs from the control's; `wrote` tells.
template <size_t N>
HRESULT writeBlob(ctl::OvixQd40Ctl& c, HRESULT (ctl::OvixQd40Ctl::*get)(cfg::VariantBlob*),
                  HRESULT (ctl::OvixQd40Ctl::*put)(const cfg::VariantBlob&),
                  const std::array<uint8_t, N>& copy, bool& wrote) {
    std::array<uint8_t, N> current{};
    if (succeeded(readBlob(c, get, current)) && current == copy)
        return S_OK;
    wrote = true;
    return (c.*put)(cfg::packBlob(copy));
}
}  // namespace

HRESULT WorkingCopies::readFrom(ctl::OvixQd40Ctl& c) {
    using C = ctl::OvixQd40Ctl;
    for (HRESULT h : {readBlob(c, &C::get_Cfg, cfg), readBlob(c, &C::get_ChansResCfg, chansRes),
                      readBlob(c, &C::get_MemsStatusMaskCfg, memsMask),
                      readBlob(c, &C::get_EmailCfg, email), readBlob(c, &C::get_Qd40ExtCfg, ext)})
        if (failed(h))
            return h;
    return S_OK;
}

std::span<uint8_t> WorkingCopies::bytes(Blob blob) {
    switch (blob) {
        case Blob::Cfg:
            return cfg;
        case Blob::ChansRes:
            return chansRes;
        case Blob::ChansExt:
            return cfg::Qd40ExtCfg(ext).chansExt().bytes();
        case Blob::MemsMask:
            return memsMask;
        case Blob::Email:
            return email;
    }
    return {};
}

HRESULT WorkingCopies::get(Blob blob, std::vector<uint8_t>& out) {
    const auto b = bytes(blob);
    out.assign(b.begin(), b.end());
    return S_OK;
}

HRESULT WorkingCopies::put(Blob blob, std::span<const uint8_t> in) {
    const auto b = bytes(blob);
    if (in.size() != b.size())
        return E_INVALIDARG;
    std::copy(in.begin(), in.end(), b.begin());
    return S_OK;
}

ProgramSheet::ProgramSheet(Kind kind, CTavikItem& item, char decimalSep)
    : chans(decimalSep),
      acq(decimalSep),
      mem(decimalSep),
      glob(decimalSep),
      mail(decimalSep),
      kind_(kind),
      item_(item) {
    for (pages::PageModel* m :
         std::initializer_list<pages::PageModel*>{&chans, &acq, &mem, &glob, &mail})
        m->attach({&copies_});
}

bool ProgramSheet::open() {
    ctl::OvixQd40Ctl& c = item_.control();
    if (failed(copies_.readFrom(c)))
        return false;
    int16_t first = 1;
    c.get_DefEditChanNum(&first);
    chans.setFirstChannel(first);
    for (pages::PageModel* m :
         std::initializer_list<pages::PageModel*>{&chans, &acq, &mem, &glob, &mail})
        if (failed(m->activate()))
            return false;
    return true;
}

std::string ProgramSheet::title() const {
    return strings::formatText(appText(text::kModuleConfigTitle), item_.shortDisplayName().c_str());
}

std::vector<ProgramSheet::Page> ProgramSheet::pages() {
    using namespace ptext;
    if (kind_ == Kind::Easy)
        return {{{&chans}, programText(kEasyChannels)},
                {{&acq, &mem}, programText(kEasyAcqMemory)},
                {{&mail}, programText(kEasyEmail)}};
    return {{{&chans}, programText(kFullChannels)},
            {{&acq}, programText(kFullAcquisition)},
            {{&mem}, programText(kFullMemory)},
            {{&glob}, programText(kFullGlobal)},
            {{&mail}, programText(kFullEmail)}};
}

HRESULT ProgramSheet::finish(pages::PagePrompter& pagePrompter, AppPrompter& prompter,
                             bool& changedItem) {
    changedItem = false;
    bool edited = false;
    for (Page& p : pages())
        for (pages::PageModel* m : p.models) {
            if (!m->changed())
                continue;
            edited = true;
            if (m->apply(pagePrompter) != S_OK)
                return S_FALSE;
        }
    if (edited && kind_ == Kind::Easy) {
        // The easy sheet has no channel boxes: every programmed channel is
        // scanned and recorded into block 1.
        const cfg::FullCfgView v(copies_.cfg);
        const uint32_t programmed = pages::programmedChannels(v);
        v.setChansToScan(programmed);
        v.memBlock(1).setChansToRecord(programmed);
    }
    using C = ctl::OvixQd40Ctl;
    ctl::OvixQd40Ctl& c = item_.control();
    const std::function<HRESULT()> writes[] = {
        [&] { return writeBlob(c, &C::get_Cfg, &C::put_Cfg, copies_.cfg, changedItem); },
        [&] {
            return writeBlob(c, &C::get_ChansResCfg, &C::put_ChansResCfg, copies_.chansRes,
                             changedItem);
        },
        [&] {
            return writeBlob(c, &C::get_MemsStatusMaskCfg, &C::put_MemsStatusMaskCfg,
                             copies_.memsMask, changedItem);
        },
        [&] {
            return writeBlob(c, &C::get_EmailCfg, &C::put_EmailCfg, copies_.email, changedItem);
        },
        [&] {
            return writeBlob(c, &C::get_Qd40ExtCfg, &C::put_Qd40ExtCfg, copies_.ext, changedItem);
        },
    };
    for (const auto& write : writes) {
        if (failed(write())) {
            prompter.message(appText(text::kCannotAccessModule), Buttons::Ok, Icon::Exclamation);
            return E_FAIL;
        }
    }
    return S_OK;
}

}  // namespace qd40::app::program
