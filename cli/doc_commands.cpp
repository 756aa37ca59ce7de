#include "cli/doc_commands.h"
#include "cli/program_commands.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>

#include "app/core/app_strings.h"
#include "app/core/doc_operations.h"
#include "app/core/tavik_doc.h"
#include "app/records/record_export.h"
#include "common/output_file.h"
#include "platform/strings.h"

namespace qd40::cli {

namespace {

using app::Answer;
using app::Buttons;
using app::CTavikDoc;
using app::CTavikItem;
using app::Icon;

constexpr const char* kDocHelp =
    "qd40 doc: the desktop application's documents (.dqx)\n"
    "  doc info FILE                      header, version, items and record blocks\n"
    "  doc new FILE --module SPEC...      a new document with these modules\n"
    "  doc add FILE --module SPEC...      adds modules to a document\n"
    "  doc remove FILE --item N --yes     removes module item N\n"
    "  doc export FILE --block NAME (--text OUT | --sheet OUT)\n"
    "                                     exports a record block\n"
    "  doc transmit FILE [--item N] [--yes]\n"
    "                                     sends the program to the modules (erases their memory)\n"
    "  doc run FILE [--item N] [--yes] [--memory clear|add|keep]\n"
    "                                     starts the modules' acquisition\n"
    "  doc stop FILE [--item N]           stops the modules' acquisition\n"
    "SPEC: tcp:HOST[:PORT][@SLAVE] or com:N[@HOST][@SLAVE] (the daemon of HOST owns the port).\n"
    "A question the desktop application would ask is answered by --yes; without it the command\n"
    "stops before doing anything the question guards and names the option. --memory chooses\n"
    "what RUN does with memory blocks that hold records and are not re-openable.\n";

Status usage(const std::string& text) {
    return Status::failure(E_INVALIDARG, text + " (see qd40 doc --help)");
}

std::optional<int> parseNumber(const std::string& s) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

// The module of a SPEC, or a usage error.
Status parseModuleSpec(const std::string& spec, ctl::CtlConnection& c) {
    c = ctl::CtlState::defaults().conn;
    const auto bad = [&](const std::string& why) {
        return usage("invalid module '" + spec + "': " + why);
    };
    std::vector<std::string> parts;
    const size_t colon = spec.find(':');
    if (colon == std::string::npos)
        return bad("expected tcp:HOST[:PORT][@SLAVE] or com:N[@HOST][@SLAVE]");
    const std::string kind = spec.substr(0, colon);
    std::string rest = spec.substr(colon + 1);
    for (size_t at; (at = rest.find('@')) != std::string::npos; rest.erase(0, at + 1))
        parts.push_back(rest.substr(0, at));
    parts.push_back(rest);
    const auto slave = [&](const std::string& s) -> bool {
        const auto n = parseNumber(s);
        if (!n || *n < 1 || *n > 247)
            return false;
        c.mbAddr = static_cast<uint8_t>(*n);
        return true;
    };
    if (kind == "tcp") {
        if (parts.size() > 2)
            return bad("too many '@'");
        std::string host = parts[0];
        c.serial = false;
        c.port = 502;
        // HOST, HOST:PORT, an IPv6 address alone or [IPV6]:PORT.
        std::string portText;
        if (!host.empty() && host[0] == '[') {
            const size_t close = host.find(']');
            if (close == std::string::npos)
                return bad("']' is missing");
            if (close + 1 < host.size()) {
                if (host[close + 1] != ':')
                    return bad("unexpected text after ']'");
                portText = host.substr(close + 2);
                if (portText.empty())
                    return bad("the TCP port is missing after ':'");
            }
            host = host.substr(1, close - 1);
        } else if (std::count(host.begin(), host.end(), ':') == 1) {
            portText = host.substr(host.find(':') + 1);
            host.resize(host.find(':'));
            if (portText.empty())
                return bad("the TCP port is missing after ':'");
        }
        if (!portText.empty()) {
            const auto port = parseNumber(portText);
            if (!port || *port < 1 || *port > 65535)
                return bad("the TCP port must be a number from 1 to 65535");
            c.port = static_cast<int16_t>(*port);
        }
        if (host.empty())
            return bad("the host is missing");
        c.ipAddr = host;
        if (parts.size() == 2 && !slave(parts[1]))
            return bad("the slave must be a number from 1 to 247");
        return Status::ok();
    }
    if (kind == "com") {
        const auto port = parseNumber(parts[0]);
        if (!port || *port < 1 || *port > 255)
            return bad("the COM port must be a number from 1 to 255");
        c.serial = true;
        c.port = static_cast<int16_t>(*port);
        if (parts.size() > 3)
            return bad("too many '@'");
        // com:N@HOST@SLAVE, com:N@SLAVE or com:N@HOST.
        if (parts.size() == 3) {
            c.ipAddr = parts[1];
            if (!slave(parts[2]))
                return bad("the slave must be a number from 1 to 247");
        } else if (parts.size() == 2 && !slave(parts[1])) {
            if (parseNumber(parts[1]))
                return bad("the slave must be a number from 1 to 247");
            c.ipAddr = parts[1];
        }
        return Status::ok();
    }
    return bad("unknown kind '" + kind + "'");
}

// The words after the subcommand, with options taken out as they are asked for.
class DocArgs {
public:
    explicit DocArgs(std::vector<std::string> words) : words_(std::move(words)) {}

    bool flag(const std::string& name) {
        const auto it = std::find(words_.begin(), words_.end(), name);
        if (it == words_.end())
            return false;
        words_.erase(it);
        return true;
    }
    // Every value of a repeatable option.
    Status values(const std::string& name, std::vector<std::string>& out) {
        for (size_t i = 0; i < words_.size();) {
            if (words_[i] != name) {
                ++i;
                continue;
            }
            if (i + 1 >= words_.size())
                return usage(name + " needs a value");
            out.push_back(words_[i + 1]);
            words_.erase(words_.begin() + ptrdiff_t(i), words_.begin() + ptrdiff_t(i) + 2);
        }
        return Status::ok();
    }
    Status value(const std::string& name, std::optional<std::string>& out) {
        std::vector<std::string> all;
        if (Status st = values(name, all); !st)
            return st;
        if (all.size() > 1)
            return usage(name + " given twice");
        if (!all.empty())
            out = all[0];
        return Status::ok();
    }
    // The one file argument, once every option has been taken.
    Status file(const std::string& command, std::string& out) {
        for (const std::string& w : words_)
            if (w.size() > 1 && w[0] == '-')
                return usage("unknown option '" + w + "' for doc " + command);
        if (words_.size() != 1)
            return usage(words_.empty() ? "doc " + command + " needs a FILE"
                                        : "unexpected argument '" + words_[1] + "'");
        out = words_[0];
        return Status::ok();
    }

private:
    std::vector<std::string> words_;
};

// Answers the application's questions from the command line's options and
// keeps its messages: errors become the command's failure.
class CliPrompter : public app::AppPrompter {
public:
    CliPrompter(bool yes, std::optional<int> runOption, std::ostream& out)
        : yes_(yes), runOption_(runOption), out_(out) {}

    Answer message(const std::string& text, Buttons buttons, Icon, int) override {
        if (buttons == Buttons::Ok) {
            lastMessage = text;
            return Answer::Ok;
        }
        if (yes_) {
            out_ << oneLine(text) << " -> yes (--yes)\n";
            return Answer::Yes;
        }
        if (refusal.empty())
            refusal = oneLine(text) + " (answer with --yes)";
        return Answer::Cancel;
    }
    std::optional<int> threeChoices(const std::string&, const std::string& text,
                                    const std::array<std::string, 3>&) override {
        if (runOption_)
            return runOption_;
        if (refusal.empty())
            refusal = oneLine(text) + " (choose with --memory clear|add|keep)";
        return std::nullopt;
    }
    bool editCommParams(ctl::CtlConnection&) override { return false; }

    static std::string oneLine(std::string text) {
        for (char& c : text)
            if (c == '\n' || c == '\t')
                c = ' ';
        return text;
    }

    std::string lastMessage;
    std::string refusal;

private:
    bool yes_;
    std::optional<int> runOption_;
    std::ostream& out_;
};

// Audit events have no trail on the command line; rights are not restricted.
class CliSession : public app::Session {
public:
    uint32_t rightsWord() const override { return 0xFFFFFFFFu; }
    bool securityOffOrConnected() const override { return true; }
    bool isOverwritingAllowed() const override { return true; }
    void audit(security::AuditEvent, const std::vector<std::string>&) override {}
};

struct DocContext {
    const CliContext& cli;
    std::ostream& out;

    std::unique_ptr<CTavikDoc> newDoc() const {
        ctl::Qd40Factory factory = cli.factory;
        platform::RegistryStore registry = cli.registry;
        return std::make_unique<CTavikDoc>([factory, registry](ctl::CtlContainer* c) {
            return std::make_unique<ctl::OvixQd40Ctl>(factory, c, registry);
        });
    }
    Status load(const std::string& path, std::unique_ptr<CTavikDoc>& doc) const {
        doc = newDoc();
        return doc->load(path);
    }
};

std::string connectionText(const ctl::CtlConnection& c) {
    if (!c.serial)
        return "tcp " +
               (c.ipAddr.find(':') == std::string::npos ? c.ipAddr : "[" + c.ipAddr + "]") + ":" +
               std::to_string(static_cast<uint16_t>(c.port)) + " slave " + std::to_string(c.mbAddr);
    static const char* kModes[] = {"std", "usb", "radio"};
    std::string s = "com " + std::to_string(c.port);
    if (!c.ipAddr.empty())
        s += " on " + c.ipAddr;
    s += " slave " + std::to_string(c.mbAddr);
    if (c.ovixQd40SvrParams)
        return s + " (the daemon's port settings)";
    return s + " " + std::to_string(c.baudRate) + " baud " +
           (c.serialMode < 3 ? kModes[c.serialMode] : "?");
}

Status cmdInfo(DocContext& ctx, DocArgs& a) {
    std::string path;
    if (Status st = a.file("info", path); !st)
        return st;
    std::unique_ptr<CTavikDoc> doc;
    if (Status st = ctx.load(path, doc); !st)
        return st;
    std::ostream& out = ctx.out;
    out << "Header: " << doc->header() << "\nVersion: " << doc->version()
        << "\nLast item number: " << doc->lastItemNumber() << "\nItems: " << doc->items().size()
        << "\n";
    for (const auto& item : doc->items())
        out << "  " << item->number << "  " << item->shortDisplayName() << "  "
            << item->longDisplayName() << "  " << connectionText(item->connection()) << "\n";
    out << "Blocks: " << doc->blocks().size() << "\n";
    const platform::Locale& locale = ctx.cli.locale;
    for (const auto& block : doc->blocks()) {
        const size_t n = block->records.size();
        out << "  \"" << block->name << "\"  " << n << (n == 1 ? " record" : " records");
        const size_t first = block->firstDateRecord();
        if (first < n) {
            std::string from, to;
            records::appendRecordDateText(from, block->records[first], locale);
            records::appendRecordDateText(to, block->records.back(), locale);
            out << "  " << from << " to " << to;
        } else if (n) {
            out << "  no dated record";
        }
        out << "\n";
    }
    return Status::ok();
}

// Adds the modules of every --module to doc, refusing duplicates.
Status addModules(CTavikDoc& doc, DocArgs& a) {
    std::vector<std::string> specs;
    if (Status st = a.values("--module", specs); !st)
        return st;
    if (specs.empty())
        return usage("at least one --module SPEC is needed");
    // The communication parameters dialog answers with each SPEC in turn.
    struct Given : app::AppPrompter {
        ctl::CtlConnection c;
        Answer message(const std::string&, Buttons, Icon, int) override { return Answer::Ok; }
        std::optional<int> threeChoices(const std::string&, const std::string&,
                                        const std::array<std::string, 3>&) override {
            return std::nullopt;
        }
        bool editCommParams(ctl::CtlConnection& p) override {
            p = c;
            return true;
        }
    } given;
    CliSession session;
    app::DocOperations ops(doc, given, session);
    for (const std::string& spec : specs) {
        if (Status st = parseModuleSpec(spec, given.c); !st)
            return st;
        if (const auto conflict = ops.commParamsConflict(given.c, nullptr))
            return Status::failure(E_INVALIDARG, spec + ": " + app::appText(*conflict));
        ops.addModule(nullptr);
    }
    return Status::ok();
}

Status cmdNew(DocContext& ctx, DocArgs& a) {
    auto doc = ctx.newDoc();
    if (Status st = addModules(*doc, a); !st)
        return st;
    std::string path;
    if (Status st = a.file("new", path); !st)
        return st;
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return Status::failure(E_INVALIDARG,
                               path + " already exists: remove it first or use doc add");
    if (Status st = doc->save(path); !st)
        return st;
    ctx.out << "created " << path << " with " << doc->items().size()
            << (doc->items().size() == 1 ? " module\n" : " modules\n");
    return Status::ok();
}

Status cmdAdd(DocContext& ctx, DocArgs& a) {
    std::vector<std::string> specs;
    DocArgs copy = a;
    std::string path;
    std::unique_ptr<CTavikDoc> doc = ctx.newDoc();
    // The file is the argument left once the modules are taken.
    if (Status st = copy.values("--module", specs); !st)
        return st;
    if (Status st = copy.file("add", path); !st)
        return st;
    if (Status st = ctx.load(path, doc); !st)
        return st;
    const size_t before = doc->items().size();
    if (Status st = addModules(*doc, a); !st)
        return st;
    if (Status st = doc->save(path); !st)
        return st;
    for (size_t i = before; i < doc->items().size(); ++i)
        ctx.out << "added item " << doc->items()[i]->number << ": "
                << doc->items()[i]->longDisplayName() << "\n";
    return Status::ok();
}

Status takeItem(DocArgs& a, std::optional<uint32_t>& number) {
    std::optional<std::string> item;
    if (Status st = a.value("--item", item); !st)
        return st;
    if (item) {
        const auto n = parseNumber(*item);
        if (!n || *n < 1)
            return usage("--item needs an item number (see doc info)");
        number = static_cast<uint32_t>(*n);
    }
    return Status::ok();
}

Status findItem(CTavikDoc& doc, uint32_t number, CTavikItem*& item) {
    item = doc.findItemByNumber(number);
    if (!item)
        return Status::failure(
            E_INVALIDARG, "the document has no item " + std::to_string(number) + " (see doc info)");
    return Status::ok();
}

Status cmdRemove(DocContext& ctx, DocArgs& a) {
    std::optional<uint32_t> number;
    if (Status st = takeItem(a, number); !st)
        return st;
    const bool yes = a.flag("--yes");
    std::string path;
    if (Status st = a.file("remove", path); !st)
        return st;
    if (!number)
        return usage("doc remove needs --item N");
    std::unique_ptr<CTavikDoc> doc;
    if (Status st = ctx.load(path, doc); !st)
        return st;
    CTavikItem* item = nullptr;
    if (Status st = findItem(*doc, *number, item); !st)
        return st;
    const std::string question = app::appMessage(app::text::kDeleteModuleAsk, {item->treeText()});
    if (!yes)
        return Status::failure(E_ABORT, CliPrompter::oneLine(question) + " (answer with --yes)");
    const std::string name = item->longDisplayName();
    doc->deleteItem(item);
    if (Status st = doc->save(path); !st)
        return st;
    ctx.out << "removed item " << *number << ": " << name << "\n";
    return Status::ok();
}

Status cmdExport(DocContext& ctx, DocArgs& a) {
    std::optional<std::string> block, text, sheet;
    if (Status st = a.value("--block", block); !st)
        return st;
    if (Status st = a.value("--text", text); !st)
        return st;
    if (Status st = a.value("--sheet", sheet); !st)
        return st;
    std::string path;
    if (Status st = a.file("export", path); !st)
        return st;
    if (!block)
        return usage("doc export needs --block NAME");
    if (bool(text) == bool(sheet))
        return usage("doc export needs one of --text OUT and --sheet OUT");
    std::unique_ptr<CTavikDoc> doc;
    if (Status st = ctx.load(path, doc); !st)
        return st;
    const records::CExplBloc* found = nullptr;
    for (const auto& b : doc->blocks())
        if (b->name == *block)
            found = b.get();
    if (!found)
        return Status::failure(
            E_INVALIDARG, "the document has no record block \"" + *block + "\" (see doc info)");
    const std::string out = text ? *text : *sheet;
    OutputFile file;
    Status st = file.open(out);
    records::ExportResult r;
    if (st) {
        r = text ? records::exportTextInLineTo(file.stream(), {found}, ctx.cli.locale, nullptr)
                 : records::exportSpreadsheetTo(file.stream(), {found},
                                                records::SpreadsheetOptions{}, ctx.cli.locale,
                                                nullptr);
        if (failed(r.hr))
            st = Status::failure(r.hr, r.message + ": " + out);
    }
    if (st)
        st = file.commit();
    if (st)
        ctx.out << r.records << (r.records == 1 ? " record" : " records") << " written to " << out
                << "\n";
    return st;
}

// transmit, run and stop: on one item or on all of them.
Status cmdModules(DocContext& ctx, DocArgs& a, const std::string& which) {
    std::optional<uint32_t> number;
    if (Status st = takeItem(a, number); !st)
        return st;
    const bool yes = a.flag("--yes");
    std::optional<std::string> memory;
    if (which == "run") {
        if (Status st = a.value("--memory", memory); !st)
            return st;
    }
    std::optional<int> option;
    if (memory) {
        static const char* kOptions[] = {"clear", "add", "keep"};
        for (int i = 0; i < 3; ++i)
            if (*memory == kOptions[i])
                option = i;
        if (!option)
            return usage("invalid --memory '" + *memory + "': expected clear, add or keep");
    }
    std::string path;
    if (Status st = a.file(which, path); !st)
        return st;
    std::unique_ptr<CTavikDoc> doc;
    if (Status st = ctx.load(path, doc); !st)
        return st;
    CTavikItem* item = nullptr;
    if (number)
        if (Status st = findItem(*doc, *number, item); !st)
            return st;

    CliPrompter prompter(yes, option, ctx.out);
    CliSession session;
    app::DocOperations ops(*doc, prompter, session);
    // RUN goes on whatever the answer to "send the program?", so without
    // --yes that question is put first, before anything is sent.
    if (which == "run" && !yes) {
        for (const auto& each : doc->items()) {
            if (item && each.get() != item)
                continue;
            const HRESULT sent = ops.programSentCheck(*each, false);
            if (sent == S_FALSE)
                return Status::failure(
                    E_ABORT, CliPrompter::oneLine(app::appMessage(app::text::kProgramNotSentAsk,
                                                                  {each->shortDisplayName()})) +
                                 " (answer with --yes)");
            if (failed(sent))
                return Status::failure(sent, CliPrompter::oneLine(prompter.lastMessage));
        }
    }
    HRESULT h = S_OK;
    if (which == "transmit")
        h = item ? ops.transmit(*item) : ops.transmitAll();
    else if (which == "run")
        h = item ? ops.run(*item) : ops.runAll();
    else
        h = item ? ops.withOpenItem(*item, [](ctl::OvixQd40Ctl& c) { return c.Stop(); })
                 : ops.stopAll();
    if (!prompter.refusal.empty())
        return Status::failure(E_ABORT, prompter.refusal);
    if (failed(h))
        return Status::failure(h, prompter.lastMessage.empty()
                                      ? which + " failed"
                                      : CliPrompter::oneLine(prompter.lastMessage));
    ctx.out << which << ": done on "
            << (item ? item->longDisplayName() : std::to_string(doc->items().size()) + " modules")
            << "\n";
    return Status::ok();
}

}  // namespace

bool isDocCommand(const std::vector<std::string>& args) {
    return !args.empty() && args[0] == "doc";
}

int runDocCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const CliContext& context) {
    std::vector<std::string> words(args.begin() + 1, args.end());
    Status st;
    const bool help = words.empty() ||
                      std::any_of(words.begin(), words.end(),
                                  [](const std::string& w) { return w == "--help" || w == "-h"; });
    if (help) {
        out << kDocHelp << kProgramDocHelp;
    } else {
        const std::string sub = words[0];
        DocArgs rest(std::vector<std::string>(words.begin() + 1, words.end()));
        DocContext ctx{context, out};
        if (sub == "info")
            st = cmdInfo(ctx, rest);
        else if (sub == "new")
            st = cmdNew(ctx, rest);
        else if (sub == "add")
            st = cmdAdd(ctx, rest);
        else if (sub == "remove")
            st = cmdRemove(ctx, rest);
        else if (sub == "export")
            st = cmdExport(ctx, rest);
        else if (sub == "transmit" || sub == "run" || sub == "stop")
            st = cmdModules(ctx, rest, sub);
        else if (isProgramDocCommand(sub))
            st = runProgramDocCommand(sub, std::vector<std::string>(words.begin() + 1, words.end()),
                                      out, context);
        else
            st = usage("unknown doc command '" + sub + "'");
    }
    out.flush();
    if (st && !out)
        st = Status::failure(E_FAIL, "cannot write to the output");
    if (st)
        return 0;
    err << strings::format("error 0x%08X: ", static_cast<unsigned>(st.hr))
        << CliPrompter::oneLine(st.error.description) << std::endl;
    return 1;
}

}  // namespace qd40::cli
