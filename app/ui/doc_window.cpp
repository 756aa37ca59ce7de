#include "app/ui/doc_window.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/views/document_rules.h"
#include "app/ui/graph/graph_view.h"
#include "app/ui/wait_dialog.h"

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

GraphWindow::GraphWindow(DocumentHandle& doc, const records::CExplBloc* block, QWidget* parent)
    : DocWindow(doc, Kind::Graph, parent), view_(new GraphView(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    if (block) {
        blockName_ = QString::fromStdString(block->name);
        CWaitDialog wait(parent ? parent->window() : nullptr);
        // A cancelled preparation closes the window once it is shown.
        if (!view_->setBlock(*block, &wait))
            QTimer::singleShot(0, this, [this] { close(); });
    }
    connect(view_, &GraphView::printRequested, this, &GraphWindow::print);
}

void GraphWindow::print() {
    app::Session& session = document().session();
    if (!session.hasRight(app::right::kPrint))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string path = document().doc().path().string();
    const QString title =
        QString("%1 - %2 - 1").arg(QString::fromStdString(document().doc().title()), blockName_);
    const auto footer = session.printFooter();
    if (view_->print(printer, title, footer ? QString::fromStdString(*footer) : QString()))
        session.audit(security::AuditEvent::PRINT_DOC, {path});
}

}  // namespace qd40::ui
