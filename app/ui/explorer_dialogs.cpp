#include "app/ui/explorer_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/core/read_memory.h"
#include "app/core/views/view_strings.h"

namespace qd40::ui {

namespace {
using app::views::viewText;
namespace vtext = app::views::vtext;

QString t(int id) {
    return QString::fromStdString(viewText(id));
}

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}
}  // namespace

// ---- block properties -------------------------------------------------------------------

CBlocPropDialog::CBlocPropDialog(const std::string& title, const records::CExplBloc& block,
                                 QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromStdString(title));
    name_ = new QLineEdit(QString::fromStdString(block.name), this);
    name_->setMaxLength(int(app::kBlockNameMax));
    name_->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    auto* size = new QLabel(
        QString::number(qulonglong(block.records.size())) + " " + t(vtext::kBlockRecords), this);
    comment_ = new QPlainTextEdit(QString::fromStdString(block.comment), this);
    comment_->setFixedHeight(fontMetrics().lineSpacing() * 5 + 10);
    auto* form = new QFormLayout;
    form->addRow(t(vtext::kBlockName), name_);
    form->addRow(t(vtext::kBlockSize), size);
    form->addRow(t(vtext::kBlockComment), comment_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

std::string CBlocPropDialog::name() const {
    return name_->text().toStdString();
}

std::string CBlocPropDialog::comment() const {
    return comment_->toPlainText().toStdString();
}

// ---- export format ------------------------------------------------------------------------

CFormatExpExplDialog::CFormatExpExplDialog(const records::SpreadsheetOptions& o, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(t(vtext::kFormatTitle));
    auto* separator = new QGroupBox(t(vtext::kFormatSeparator), this);
    space_ = new QRadioButton(t(vtext::kFormatSpace), separator);
    tab_ = new QRadioButton(t(vtext::kFormatTab), separator);
    semicolon_ = new QRadioButton(t(vtext::kFormatSemicolon), separator);
    other_ = new QRadioButton(t(vtext::kFormatOther), separator);
    otherEdit_ = new QLineEdit(separator);
    otherEdit_->setMaxLength(1);
    otherEdit_->setFixedWidth(fontMetrics().averageCharWidth() * 4 + 10);
    auto* group = new QButtonGroup(this);
    auto* row = new QHBoxLayout(separator);
    for (QRadioButton* b : {space_, tab_, semicolon_, other_}) {
        group->addButton(b);
        row->addWidget(b);
    }
    row->addWidget(otherEdit_);
    row->addStretch(1);
    switch (o.separator) {
        case ' ':
            space_->setChecked(true);
            break;
        case '\t':
            tab_->setChecked(true);
            break;
        case ';':
            semicolon_->setChecked(true);
            break;
        default:
            other_->setChecked(true);
            otherEdit_->setText(QString(QChar::fromLatin1(o.separator)));
    }
    firstDate_ = new QCheckBox(t(vtext::kFormatFirstDate), this);
    group_ = new QCheckBox(t(vtext::kFormatGroup), this);
    interval_ = new QCheckBox(t(vtext::kFormatInterval), this);
    date_ = new QCheckBox(t(vtext::kFormatDate), this);
    time_ = new QCheckBox(t(vtext::kFormatTime), this);
    firstDate_->setChecked(o.firstCycleDate);
    group_->setChecked(o.groupByCycle);
    interval_->setChecked(o.interval);
    date_->setChecked(o.date);
    time_->setChecked(o.time);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(separator);
    for (QCheckBox* b : {firstDate_, group_, interval_, date_, time_})
        layout->addWidget(b);
    layout->addWidget(okCancel(this));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

records::SpreadsheetOptions CFormatExpExplDialog::options() const {
    records::SpreadsheetOptions o;
    if (space_->isChecked())
        o.separator = ' ';
    else if (semicolon_->isChecked())
        o.separator = ';';
    else if (other_->isChecked() && !otherEdit_->text().isEmpty())
        o.separator = otherEdit_->text().toLatin1().at(0);
    else
        o.separator = '\t';
    o.firstCycleDate = firstDate_->isChecked();
    o.groupByCycle = group_->isChecked();
    o.interval = interval_->isChecked();
    o.date = date_->isChecked();
    o.time = time_->isChecked();
    return o;
}

void CFormatExpExplDialog::accept() {
    if (other_->isChecked() && otherEdit_->text().isEmpty()) {
        otherEdit_->setFocus();
        return;
    }
    QDialog::accept();
}

// ---- ports ----------------------------------------------------------------------------------

std::optional<app::views::ExportFile> QtExportDialogs::chooseFile(
    const std::string& title, const std::vector<std::string>& filters,
    const std::filesystem::path& proposed) {
    QStringList list;
    for (const auto& f : filters)
        list << QString::fromStdString(f);
    QFileDialog dialog(parent_, QString::fromStdString(title),
                       QString::fromStdString(proposed.string()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(list);
    dialog.selectNameFilter(list.value(0));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(QString::fromStdString(proposed.filename().string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    app::views::ExportFile file;
    file.path = dialog.selectedFiles().front().toStdString();
    file.kind = list.indexOf(dialog.selectedNameFilter()) == 1
                    ? app::views::ExportKind::TextInLine
                    : app::views::ExportKind::Spreadsheet;
    return file;
}

bool QtExportDialogs::editFormat(records::SpreadsheetOptions& options) {
    CFormatExpExplDialog dialog(options, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options = dialog.options();
    return true;
}

bool QtClipboard::put(const std::string& format, const QByteArray& data) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    auto* mime = new QMimeData;
    mime->setData(QString::fromStdString(format), data);
    clipboard->setMimeData(mime);
    return true;
}

std::optional<QByteArray> QtClipboard::get(const std::string& format) const {
    if (!has(format))
        return std::nullopt;
    return QGuiApplication::clipboard()->mimeData()->data(QString::fromStdString(format));
}

bool QtClipboard::has(const std::string& format) const {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
    return mime && mime->hasFormat(QString::fromStdString(format));
}

}  // namespace qd40::ui
