#include "app/ui/wait_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/records/records_strings.h"

namespace qd40::ui {

namespace {
// The bar works in ints: a range wider than that is scaled down.
constexpr int64_t kBarMax = 1'000'000;
}  // namespace

CWaitDialog::CWaitDialog(QWidget* owner) : owner_(owner) {}

CWaitDialog::~CWaitDialog() {
    outer_.clear();
    destroy();
}

void CWaitDialog::create(int titleId) {
    if (dialog_) {
        outer_.push_back({this->titleId(), low(), high(), step_, pos(), message()});
        close();
    }
    build(titleId);
}

void CWaitDialog::setStep(int64_t step) {
    step_ = step;
    WaitDialogState::setStep(step);
}

void CWaitDialog::build(int titleId) {
    dialog_ = std::make_unique<QDialog>(owner_,
                                        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog_->setWindowTitle(QString::fromStdString(records::recordsText(titleId)));
    auto* layout = new QVBoxLayout(dialog_.get());
    message_ = new QLabel(dialog_.get());
    message_->setMinimumWidth(dialog_->fontMetrics().averageCharWidth() * 50);
    layout->addWidget(message_);
    auto* row = new QHBoxLayout;
    bar_ = new QProgressBar(dialog_.get());
    bar_->setTextVisible(false);
    percent_ = new QLabel(dialog_.get());
    percent_->setMinimumWidth(dialog_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
    percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(bar_, 1);
    row->addWidget(percent_);
    layout->addLayout(row);
    cancel_ = new QPushButton(QDialog::tr("Cancel"), dialog_.get());
    QObject::connect(cancel_, &QPushButton::clicked, [this] { requestCancel(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The owner is disabled; the dialog, a window of its own, stays usable.
    if (owner_ && owner_->isEnabled()) {
        owner_->setEnabled(false);
        ownerDisabled_ = true;
    }
    dialog_->setEnabled(true);
    WaitDialogState::create(titleId);
    percent_->setText(QString::fromStdString(percentText()));
    updateBar();
    dialog_->show();
    QCoreApplication::processEvents();
}

void CWaitDialog::setRange(int64_t low, int64_t high) {
    WaitDialogState::setRange(low, high);
    updateBar();
}

void CWaitDialog::setPos(int64_t pos) {
    WaitDialogState::setPos(pos);
    updateBar();
}

void CWaitDialog::setMessage(const std::string& text) {
    WaitDialogState::setMessage(text);
    if (message_)
        message_->setText(QString::fromStdString(text));
}

void CWaitDialog::destroy() {
    if (!outer_.empty() && dialog_) {
        const Shown o = outer_.back();
        outer_.pop_back();
        close();
        build(o.titleId);
        setRange(o.low, o.high);
        setStep(o.step);
        setPos(o.pos);
        setMessage(o.message);
        return;
    }
    WaitDialogState::destroy();
    close();
}

void CWaitDialog::close() {
    if (!dialog_)
        return;
    dialog_->hide();
    message_ = percent_ = nullptr;
    bar_ = nullptr;
    cancel_ = nullptr;
    dialog_.reset();
    if (ownerDisabled_ && owner_)
        owner_->setEnabled(true);
    ownerDisabled_ = false;
}

void CWaitDialog::pumpEvents() {
    if (dialog_)
        QCoreApplication::processEvents();
}

void CWaitDialog::percentTextChanged() {
    if (percent_)
        percent_->setText(QString::fromStdString(percentText()));
}

void CWaitDialog::updateBar() {
    if (!bar_)
        return;
    const int64_t span = high() - low();
    const int64_t scale = span > kBarMax ? span / kBarMax + 1 : 1;
    bar_->setRange(0, int(std::max<int64_t>(span, 0) / scale));
    bar_->setValue(int(std::clamp<int64_t>(pos() - low(), 0, std::max<int64_t>(span, 0)) / scale));
}

}  // namespace qd40::ui
