#include "cli/program_commands.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/core/program/program_export.h"
#include "app/core/program/program_strings.h"
#include "app/core/tavik_doc.h"

namespace qd40::cli {

namespace {
using app::program::CAllQd40CfgX;

// The command line answers no question: messages go to the error text.
class CliPrompter : public app::AppPrompter {
public:
    app::Answer message(const std::string& text, app::Buttons, app::Icon, int) override {
        messages += text + "\n";
        return app::Answer::Cancel;
    }
    std::optional<int> threeChoices(const std::string&, const std::string&,
                                    const std::array<std::string, 3>&) override {
        return std::nullopt;
    }
    bool editCommParams(ctl::CtlConnection&) override { return false; }
    std::string messages;
};

// No audit trail on the command line.
class CliSession : public app::Session {
public:
    uint32_t rightsWord() const override { return 0xFFFFFFFFu; }
    bool securityOffOrConnected() const override { return true; }
    bool isOverwritingAllowed() const override { return true; }
    void audit(security::AuditEvent, const std::vector<std::string>&) override {}
};

Status usage(const std::string& text) {
    return Status::failure(E_INVALIDARG, text + " (see qd40 doc --help)");
}

Status exportProgram(const std::vector<std::string>& words, std::ostream& out,
                     const CliContext& context) {
    if (words.size() != 2)
        return usage("doc export-program needs FILE and OUT.wqx");
    ctl::Qd40Factory factory = context.factory;
    platform::RegistryStore registry = context.registry;
    app::CTavikDoc doc([factory, registry](ctl::CtlContainer* c) {
        return std::make_unique<ctl::OvixQd40Ctl>(factory, c, registry);
    });
    if (Status st = doc.load(words[0]); !st)
        return st;
    CliPrompter prompter;
    CliSession session;
    if (failed(app::program::exportProgram(doc, words[1], prompter, session)))
        return Status::failure(E_FAIL,
                               prompter.messages.empty()
                                   ? app::program::programText(app::program::ptext::kExportFailed)
                                   : prompter.messages.substr(0, prompter.messages.size() - 1));
    out << "exported " << doc.items().size() << " module programs of " << words[0] << " to "
        << words[1] << "\n";
    return Status::ok();
}

Status showProgram(const std::vector<std::string>& words, std::ostream& out) {
    if (words.size() != 1)
        return usage("doc show-program needs FILE.wqx");
    std::ifstream in(words[0], std::ios::binary);
    if (!in)
        return Status::failure(E_FAIL, "cannot read " + words[0]);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    try {
        out << app::program::describeProgram(CAllQd40CfgX::read(bytes));
    } catch (const archive::ArchiveError& e) {
        return Status::failure(E_FAIL, words[0] + " is not a program export: " + e.what());
    }
    return Status::ok();
}
}  // namespace

const char* const kProgramDocHelp =
    "  doc export-program FILE OUT.wqx    the modules' programs in the export of the sibling\n"
    "                                     product (.wqx)\n"
    "  doc show-program FILE.wqx          lists the module programs of an export\n";

bool isProgramDocCommand(const std::string& sub) {
    return sub == "export-program" || sub == "show-program";
}

Status runProgramDocCommand(const std::string& sub, const std::vector<std::string>& words,
                            std::ostream& out, const CliContext& context) {
    if (sub == "export-program")
        return exportProgram(words, out, context);
    return showProgram(words, out);
}

}  // namespace qd40::cli
