#include "app/ui/document_handle.h"

namespace qd40::ui {

DocumentHandle::DocumentHandle(std::unique_ptr<app::CTavikDoc> doc, app::AppPrompter& prompter,
                               app::Session& session)
    : doc_(std::move(doc)), session_(session), ops_(*doc_, prompter, session) {
    doc_->setChangeListener([this] { Q_EMIT changed(); });
}

DocumentHandle::~DocumentHandle() {
    doc_->setChangeListener({});
}

}  // namespace qd40::ui
