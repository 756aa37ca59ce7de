#include "app/ui/records_print.h"

#include <numeric>

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

#include "app/core/views/explorer_logic.h"
#include "app/records/records_strings.h"

namespace qd40::ui {

namespace {
constexpr int kBodyPoints = 10;
constexpr int kSmallestPoints = 4;
constexpr int kFooterPoints = 10;

QFont bodyFont(int points) {
    QFont f(QStringLiteral("Courier New"), points);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

QStringList columnTitles() {
    QStringList titles = QString::fromStdString(records::recordsText(records::IDS_RECORD_COLUMNS))
                             .split(u'\t', Qt::SkipEmptyParts);
    return titles;
}

void drawColumns(QPainter& p, const QStringList& texts, const std::vector<int>& tabs, int charWidth,
                 int baseline) {
    for (qsizetype i = 0; i < texts.size() && size_t(i) < tabs.size(); ++i)
        p.drawText(tabs[size_t(i)] * charWidth, baseline, texts[i]);
}
}  // namespace

std::vector<std::string> printRecords(QPrinter& printer, const RecordsPrintJob& job) {
    std::vector<std::string> titles;
    QPainter p;
    if (!job.block || !p.begin(&printer))
        return titles;
    const int width = printer.width();
    const int height = printer.height();
    const int lastTab = std::accumulate(job.columnChars.begin(), job.columnChars.end(), 1);

    // The body font, shrunk until a whole line fits the page's width.
    int points = kBodyPoints;
    QFont font = bodyFont(points);
    for (;;) {
        font = bodyFont(points);
        const QFontMetrics fm(font, &printer);
        if (fm.horizontalAdvance(u'X') * (lastTab + 1) <= width || points <= kSmallestPoints)
            break;
        --points;
    }
    p.setFont(font);
    const QFontMetrics fm(font, &printer);
    app::views::PrintMetrics m;
    m.charWidth = fm.horizontalAdvance(u'X');
    m.lineHeight = fm.height() + fm.leading();
    m.printableWidth = width;
    m.printableHeight = height;
    const records::CExplBloc& block = *job.block;
    const size_t count = block.records.size();
    const app::views::PrintLayout layout =
        app::views::printLayout(job.columnChars, m, count, job.footer.has_value());
    const size_t firstDate = block.firstDateRecord();
    const size_t firstDated = firstDate < count ? firstDate : 0;
    const QStringList heads = columnTitles();
    QFont footerFont(QStringLiteral("Times New Roman"), kFooterPoints);
    footerFont.setStyleHint(QFont::Serif);

    for (int page = 1; page <= layout.pages; ++page) {
        if (page > 1)
            printer.newPage();
        p.setFont(font);
        const auto baseline = [&](int line) { return line * m.lineHeight + fm.ascent(); };
        const std::string title =
            app::views::printTitleLine(job.documentTitle, block.name, page, layout.pages);
        titles.push_back(title);
        p.drawText(QRect(0, 0, width, m.lineHeight), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromStdString(title));
        drawColumns(p, heads, layout.tabs, m.charWidth, baseline(2));
        const int ruleY = 3 * m.lineHeight + m.lineHeight / 2;
        p.drawLine(0, ruleY, width, ruleY);
        const size_t first = size_t(page - 1) * size_t(layout.recordsPerPage);
        const size_t last = std::min(count, first + size_t(layout.recordsPerPage));
        for (size_t i = first; i < last; ++i) {
            const records::RecordText text =
                block.FormatRecordText(i, '\t', i >= firstDated, job.locale);
            QStringList columns;
            for (const std::string& c : text.columns)
                columns << QString::fromStdString(c);
            drawColumns(p, columns, layout.tabs, m.charWidth, baseline(4 + int(i - first)));
        }
        if (job.footer) {
            p.setFont(footerFont);
            const QFontMetrics ff(footerFont, &printer);
            const int lineHeight = ff.height() + ff.leading();
            p.drawText(QRect(0, height - 3 * lineHeight, width, lineHeight), Qt::AlignHCenter,
                       QString::fromStdString(*job.footer));
        }
    }
    p.end();
    return titles;
}

}  // namespace qd40::ui
