// An open document in the main window: the document, its operations and a
// signal for every change, which its windows follow.
#pragma once
#include <memory>

#include <QObject>

#include "app/core/doc_operations.h"
#include "app/core/tavik_doc.h"

namespace qd40::ui {

class DocumentHandle : public QObject {
    Q_OBJECT
public:
    DocumentHandle(std::unique_ptr<app::CTavikDoc> doc, app::AppPrompter& prompter,
                   app::Session& session);
    ~DocumentHandle() override;

    app::CTavikDoc& doc() { return *doc_; }
    app::DocOperations& ops() { return ops_; }
    app::Session& session() { return session_; }

Q_SIGNALS:
    void changed();

private:
    std::unique_ptr<app::CTavikDoc> doc_;
    app::Session& session_;
    app::DocOperations ops_;
};

}  // namespace qd40::ui
