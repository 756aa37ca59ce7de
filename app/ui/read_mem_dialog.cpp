#include "app/ui/read_mem_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/app_strings.h"
#include "app/core/views/view_strings.h"
#include "app/ui/wait_dialog.h"

namespace qd40::ui {

namespace {
using app::views::viewMessage;
using app::views::viewText;
namespace vtext = app::views::vtext;

QString t(int id) {
    return QString::fromStdString(viewText(id));
}

QCheckBox* box(QWidget* parent, bool statusOnly) {
    auto* b = new QCheckBox(parent);
    if (statusOnly)
        b->setEnabled(false);
    return b;
}
}  // namespace

ReadMemDialog::ReadMemDialog(app::CReadMemDialog& logic, app::AppPrompter& prompter,
                             QWidget* parent)
    : QDialog(parent), logic_(logic), prompter_(prompter) {
    setWindowTitle(QString::fromStdString(logic.title()));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    const int labels[] = {vtext::kReadMemRecording,  vtext::kReadMemClosed,
                          vtext::kReadMemFull,       vtext::kReadMemAvailable,
                          vtext::kReadMemRead,       vtext::kReadMemCloseBefore,
                          vtext::kReadMemClearAfter, vtext::kReadMemReopenAfter,
                          vtext::kReadMemName,       vtext::kReadMemComment};
    for (int r = 0; r < int(std::size(labels)); ++r)
        grid->addWidget(new QLabel(t(labels[r]), this), r + 1, 0);
    const int nameWidth = fontMetrics().averageCharWidth() * 16;
    for (int b = 1; b <= app::CReadMemDialog::kBlocks; ++b) {
        Column& c = columns_[size_t(b - 1)];
        auto* title = new QLabel(
            QString::fromStdString(viewMessage(vtext::kReadMemBlock, {std::to_string(b)})), this);
        grid->addWidget(title, 0, b, Qt::AlignHCenter);
        c.recording = box(this, true);
        c.closed = box(this, true);
        c.full = box(this, true);
        c.available = new QLabel(this);
        c.read = box(this, false);
        c.closeBefore = box(this, false);
        c.clearAfter = box(this, false);
        c.reopenAfter = box(this, false);
        c.name = new QLineEdit(this);
        c.name->setMaxLength(int(app::kBlockNameMax));
        c.name->setMinimumWidth(nameWidth);
        c.comment = new QLineEdit(this);
        c.comment->setMinimumWidth(nameWidth);
        QWidget* cells[] = {c.recording,   c.closed,     c.full,        c.available, c.read,
                            c.closeBefore, c.clearAfter, c.reopenAfter, c.name,      c.comment};
        for (int r = 0; r < int(std::size(cells)); ++r)
            grid->addWidget(cells[r], r + 1, b, r < 8 ? Qt::AlignHCenter : Qt::Alignment());
        c.read->setObjectName(QStringLiteral("read%1").arg(b));
        c.name->setObjectName(QStringLiteral("name%1").arg(b));
        connect(c.read, &QCheckBox::clicked, this, [this, b](bool on) {
            takeEntries();
            logic_.setRead(b, on);
            showRows();
        });
        connect(c.closeBefore, &QCheckBox::clicked, this,
                [this, b](bool on) { logic_.row(b).closeBefore = on; });
        connect(c.clearAfter, &QCheckBox::clicked, this,
                [this, b](bool on) { logic_.row(b).clearAfter = on; });
        connect(c.reopenAfter, &QCheckBox::clicked, this,
                [this, b](bool on) { logic_.row(b).reopenAfter = on; });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    status_ = buttons->addButton(t(vtext::kReadMemStatus), QDialogButtonBox::ActionRole);
    connect(status_, &QPushButton::clicked, this, &ReadMemDialog::refreshStatus);
    connect(buttons, &QDialogButtonBox::accepted, this, &ReadMemDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReadMemDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    showRows();
}

void ReadMemDialog::refreshStatus() {
    takeEntries();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = logic_.refreshStatus();
    QApplication::restoreOverrideCursor();
    if (!ok)
        prompter_.message(app::appText(app::text::kUnableToReadStatus), app::Buttons::Ok,
                          app::Icon::Exclamation);
    showRows();
}

void ReadMemDialog::showRows() {
    for (int b = 1; b <= app::CReadMemDialog::kBlocks; ++b) {
        const app::ReadMemRow& r = logic_.row(b);
        const Column& c = column(b);
        c.recording->setChecked(r.recording);
        c.closed->setChecked(r.closed);
        c.full->setChecked(r.full);
        c.available->setText(QString::number(r.available));
        const std::pair<QCheckBox*, std::pair<bool, bool>> choices[] = {
            {c.read, {r.read, r.readEnabled}},
            {c.closeBefore, {r.closeBefore, r.closeBeforeEnabled}},
            {c.clearAfter, {r.clearAfter, r.clearAfterEnabled}},
            {c.reopenAfter, {r.reopenAfter, r.reopenAfterEnabled}},
        };
        for (const auto& [widget, state] : choices) {
            widget->setChecked(state.first);
            widget->setEnabled(state.second);
        }
        c.name->setText(QString::fromStdString(r.name));
        c.comment->setText(QString::fromStdString(r.comment));
    }
}

void ReadMemDialog::takeEntries() {
    for (int b = 1; b <= app::CReadMemDialog::kBlocks; ++b) {
        logic_.row(b).name = column(b).name->text().toStdString();
        logic_.row(b).comment = column(b).comment->text().toStdString();
    }
}

void ReadMemDialog::accept() {
    takeEntries();
    if (const auto question = logic_.closingQuestion();
        question && prompter_.message(*question, app::Buttons::YesNo, app::Icon::Exclamation) !=
                        app::Answer::Yes)
        return;
    logic_.accept();
    QDialog::accept();
}

// ---- the command's windows ----------------------------------------------------------

QtReadMemUi::QtReadMemUi(QWidget* owner, app::AppPrompter& prompter,
                         std::function<void(const std::string&)> showBlock)
    : owner_(owner),
      prompter_(prompter),
      showBlock_(std::move(showBlock)),
      wait_(std::make_unique<CWaitDialog>(owner)) {}

QtReadMemUi::~QtReadMemUi() = default;

bool QtReadMemUi::showDialog(app::CReadMemDialog& dialog) {
    ReadMemDialog widget(dialog, prompter_, owner_);
    widget.refreshStatus();
    return widget.exec() == QDialog::Accepted;
}

records::IWaitDialog& QtReadMemUi::waitDialog() {
    return *wait_;
}

void QtReadMemUi::showBlock(const std::string& name) {
    if (showBlock_)
        showBlock_(name);
}

records::Answer QtReadMemUi::askYesNoCancel(const std::string& text) {
    switch (prompter_.message(text, app::Buttons::YesNoCancel, app::Icon::Question)) {
        case app::Answer::Yes:
            return records::Answer::Yes;
        case app::Answer::No:
            return records::Answer::No;
        default:
            return records::Answer::Cancel;
    }
}

}  // namespace qd40::ui
