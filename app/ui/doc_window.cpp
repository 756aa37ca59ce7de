#include "app/ui/doc_window.h"

#include <QCloseEvent>

#include "app/core/views/document_rules.h"

namespace qd40::ui {

DocWindow::DocWindow(DocumentHandle& doc, Kind kind, QWidget* parent)
    : QWidget(parent), doc_(doc), kind_(kind) {
    connect(&doc_, &DocumentHandle::changed, this, &DocWindow::updateTitle);
    updateTitle();
}

void DocWindow::closeEvent(QCloseEvent* event) {
    if (guard_ && !guard_(*this)) {
        event->ignore();
        return;
    }
    event->accept();
}

void DocWindow::setNumber(int number, int count) {
    number_ = number;
    count_ = count;
    updateTitle();
}

void DocWindow::updateTitle() {
    setWindowTitle(
        QString::fromStdString(app::views::documentWindowTitle(doc_.doc(), number_, count_)));
}

}  // namespace qd40::ui
