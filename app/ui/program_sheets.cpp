#include "app/ui/program_sheets.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

namespace qd40::ui {

namespace {
using app::program::ProgramSheet;
using namespace pages::ui;

// The widget of one page model.
PageWidget* pageFor(pages::PageModel* m, bool easy) {
    if (auto* c = dynamic_cast<pages::ChansPageModel*>(m))
        return new ChansPage(*c, easy);
    if (auto* a = dynamic_cast<pages::AcqPageModel*>(m))
        return new AcqPage(*a, easy);
    if (auto* mem = dynamic_cast<pages::MemPageModel*>(m))
        return new MemPage(*mem, easy);
    if (auto* g = dynamic_cast<pages::GlobPageModel*>(m))
        return new GlobPage(*g);
    if (auto* mail = dynamic_cast<pages::MailPageModel*>(m))
        return new MailPage(*mail, easy);
    return nullptr;
}
}  // namespace

std::unique_ptr<PropertyFrame> makeProgramSheet(ProgramSheet& sheet, QWidget* parent) {
    auto frame =
        std::make_unique<PropertyFrame>(QString::fromStdString(sheet.title()), false, parent);
    frame->setApplyOnOk(false);
    const bool easy = sheet.kind() == ProgramSheet::Kind::Easy;
    for (ProgramSheet::Page& page : sheet.pages()) {
        std::vector<PageWidget*> widgets;
        for (pages::PageModel* m : page.models)
            if (PageWidget* w = pageFor(m, easy))
                widgets.push_back(w);
        if (widgets.size() == 1)
            frame->addPage(widgets.front(), QString::fromStdString(page.caption));
        else
            frame->addPages(widgets, QString::fromStdString(page.caption));
    }
    for (PageWidget* w : frame->pages())
        w->refresh();
    return frame;
}

bool execProgramSheet(ProgramSheet& sheet, QWidget* parent) {
    return makeProgramSheet(sheet, parent)->exec() == QDialog::Accepted;
}

std::unique_ptr<QTextDocument> programDocument(const app::program::ProgramReport& report) {
    auto doc = std::make_unique<QTextDocument>();
    QTextCursor cursor(doc.get());
    QTextCharFormat title;
    title.setFontFamilies({"Times New Roman"});
    title.setFontPointSize(14);
    title.setFontWeight(QFont::Bold);
    QTextCharFormat heading;
    heading.setFontFamilies({"Times New Roman"});
    heading.setFontPointSize(12);
    heading.setFontWeight(QFont::Bold);
    QTextCharFormat line;
    line.setFontFamilies({"Courier New"});
    line.setFontFixedPitch(true);
    line.setFontPointSize(8);
    QTextBlockFormat block;
    cursor.setBlockFormat(block);
    cursor.insertText(QString::fromStdString(report.title), title);
    QTextBlockFormat spaced;
    spaced.setTopMargin(10);
    for (const auto& section : report.sections) {
        cursor.insertBlock(spaced);
        cursor.insertText(QString::fromStdString(section.title), heading);
        for (const std::string& l : section.lines) {
            cursor.insertBlock(block);
            cursor.insertText(QString::fromStdString(l), line);
        }
    }
    return doc;
}

int printProgram(QPrinter& printer, const app::program::ProgramReport& report) {
    const std::unique_ptr<QTextDocument> doc = programDocument(report);
    printer.setDocName(QString::fromStdString(report.title));
    doc->setPageSize(printer.pageRect(QPrinter::Point).size());
    const int pages = doc->pageCount();
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const double scale = page.width() / printer.pageRect(QPrinter::Point).width();
    const QSizeF pointSize = printer.pageRect(QPrinter::Point).size();
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            printer.newPage();
        painter.save();
        painter.scale(scale, scale);
        painter.translate(0, -p * pointSize.height());
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = QRectF(0, p * pointSize.height(), pointSize.width(), pointSize.height());
        doc->documentLayout()->draw(&painter, ctx);
        painter.restore();
    }
    painter.end();
    return pages;
}

}  // namespace qd40::ui
