#include "app/core/views/document_rules.h"

#include "app/core/app_strings.h"
#include "app/core/views/view_strings.h"

namespace qd40::app::views {

std::unique_ptr<CTavikDoc> openDocument(const std::filesystem::path& path,
                                        const CTavikDoc::ControlFactory& factory, Session& session,
                                        AppPrompter& prompter) {
    auto doc = std::make_unique<CTavikDoc>(factory);
    if (Status st = doc->load(path); !st) {
        const std::string why = st.error.description.empty()
                                    ? viewMessage(vtext::kCannotOpen, {path.string(), ""})
                                    : st.error.description;
        prompter.message(why, Buttons::Ok, Icon::Exclamation);
        return nullptr;
    }
    if (!session.hasRight(right::kOpenDocument))
        return nullptr;
    return doc;
}

std::string proposedSaveName(const std::string& title) {
    std::string name = title;
    const std::string ext = CTavikDoc::kExtension;
    if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
        name.resize(name.size() - ext.size());
    const size_t cut = name.find_first_of(" #%;/\\");
    if (cut != std::string::npos)
        name.resize(cut);
    return name + ext;
}

bool mayWriteTo(const std::filesystem::path& path, const Session& session, AppPrompter& prompter) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) || session.isOverwritingAllowed())
        return true;
    prompter.message(appMessage(text::kFileExists, {path.filename().string()}) + "\n\n" +
                         appText(text::kSaveAnotherName),
                     Buttons::Ok, Icon::Exclamation);
    return false;
}

bool saveDocument(CTavikDoc& doc, const std::filesystem::path& path, Session& session,
                  AppPrompter& prompter) {
    if (Status st = doc.save(path); !st) {
        prompter.message(st.error.description, Buttons::Ok, Icon::Exclamation);
        return false;
    }
    session.audit(security::AuditEvent::SAVE_DOC, {path.string()});
    return true;
}

bool mayCloseWindow(const Session& session) {
    return session.hasRight(right::kCloseWindow);
}

LastWindowClose closeLastWindow(const CTavikDoc& doc, const Session& session,
                                AppPrompter& prompter) {
    if (!mayCloseWindow(session))
        return LastWindowClose::Refuse;
    if (!doc.isModified())
        return LastWindowClose::Close;
    if (!session.hasRight(right::kCloseUnsaved)) {
        prompter.message(appText(text::kSaveBeforeClosing), Buttons::Ok, Icon::Exclamation);
        return LastWindowClose::Refuse;
    }
    switch (prompter.message(viewMessage(vtext::kSaveChangesAsk, {doc.title()}),
                             Buttons::YesNoCancel, Icon::Exclamation)) {
        case Answer::Yes:
            return LastWindowClose::SaveThenClose;
        case Answer::No:
            return LastWindowClose::Close;
        default:
            return LastWindowClose::Refuse;
    }
}

std::string documentWindowTitle(const CTavikDoc& doc, int number, int count) {
    return doc.title() + (count > 1 ? ":" + std::to_string(number) : std::string()) +
           (doc.isModified() ? "*" : "");
}

}  // namespace qd40::app::views
