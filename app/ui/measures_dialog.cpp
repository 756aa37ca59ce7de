#include "app/ui/measures_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/ui/curves_dialog.h"
#include "app/ui/live_widgets.h"

namespace qd40::ui {

using namespace live;
using app::live::MeasuresPresenter;

app::live::MeasuresPresenter::LineEditor lineEditorDialog(QWidget* parent) {
    return [parent](const std::string& title, const std::string& prompt,
                    const std::string& text) -> std::optional<std::string> {
        bool ok = false;
        const QString typed =
            QInputDialog::getText(parent, qs(title), qs(prompt), QLineEdit::Normal, qs(text), &ok);
        if (!ok)
            return std::nullopt;
        return typed.toStdString();
    };
}

// ---- the channels to scan -------------------------------------------------------------

CChansScanDialog::CChansScanDialog(MeasuresPresenter& presenter, const app::CTavikDoc& doc,
                                   QWidget* parent)
    : QDialog(parent), presenter_(presenter) {
    setWindowTitle(appQText(app::text::kChannelsToScanTitle));
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("channels");
    tree_->setHeaderHidden(true);
    for (size_t i = 0; i < doc.items().size(); ++i) {
        auto* module = new QTreeWidgetItem(tree_, {qs(doc.items()[i]->treeText())});
        for (int ch = 1; ch <= app::live::CycleData::kChannels; ++ch) {
            auto* channel = new QTreeWidgetItem(module, {qs(presenter.channelName(i, ch))});
            channel->setCheckState(
                0, presenter.scanned(i) >> (ch - 1) & 1 ? Qt::Checked : Qt::Unchecked);
        }
        module->setExpanded(i == 0);
    }
    auto* all = new QPushButton(appQText(app::text::kAllChannels), this);
    auto* none = new QPushButton(appQText(app::text::kNoChannels), this);
    all->setObjectName("all");
    none->setObjectName("none");
    connect(all, &QPushButton::clicked, this, [this] { checkAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { checkAll(false); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* choose = new QHBoxLayout;
    choose->addWidget(all);
    choose->addWidget(none);
    choose->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_);
    layout->addLayout(choose);
    layout->addWidget(buttons);
    resize(320, 420);
}

void CChansScanDialog::checkAll(bool checked) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* module = tree_->topLevelItem(i);
        for (int c = 0; c < module->childCount(); ++c)
            module->child(c)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

void CChansScanDialog::accept() {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* module = tree_->topLevelItem(i);
        uint32_t mask = 0;
        for (int c = 0; c < module->childCount(); ++c)
            if (module->child(c)->checkState(0) == Qt::Checked)
                mask |= 1u << c;
        presenter_.setScanned(size_t(i), mask);
    }
    QDialog::accept();
}

// ---- the display -------------------------------------------------------------------

CVisMesDialog::CVisMesDialog(MeasuresPresenter& presenter, const app::CTavikDoc& doc,
                             QWidget* parent)
    : QDialog(parent), presenter_(presenter), doc_(doc) {
    setWindowTitle(appQText(app::text::kMeasuresTitle));

    auto* channels = new QPushButton(appQText(app::text::kScannedChannels), this);
    channels->setObjectName("scannedChannels");
    connect(channels, &QPushButton::clicked, this, &CVisMesDialog::chooseChannels);

    auto* mode = new QGroupBox(this);
    oneShot_ = new QRadioButton(appQText(app::text::kOneShot), mode);
    continuous_ = new QRadioButton(appQText(app::text::kContinuous), mode);
    oneShot_->setObjectName("oneShot");
    continuous_->setObjectName("continuous");
    (presenter.continuous() ? continuous_ : oneShot_)->setChecked(true);
    period_ = new QComboBox(mode);
    period_->setObjectName("period");
    for (int ms : MeasuresPresenter::kPeriodsMs) {
        period_->addItem(qs(presenter.periodText(ms)), ms);
        if (ms == presenter.periodMs())
            period_->setCurrentIndex(period_->count() - 1);
    }
    auto* periodLabel = new QLabel(appQText(app::text::kPeriod), mode);
    periodLabel->setBuddy(period_);
    auto* modeLayout = new QHBoxLayout(mode);
    modeLayout->addWidget(oneShot_);
    modeLayout->addWidget(continuous_);
    modeLayout->addSpacing(12);
    modeLayout->addWidget(periodLabel);
    modeLayout->addWidget(period_);
    connect(continuous_, &QRadioButton::toggled, this, [this](bool on) {
        presenter_.setContinuous(on);
        showState();
    });
    connect(period_, &QComboBox::currentIndexChanged, this, [this](int index) {
        presenter_.setPeriod(period_->itemData(index).toInt());
        timer_->setInterval(presenter_.periodMs());
    });

    list_ = new QTreeWidget(this);
    list_->setObjectName("measures");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    QStringList titles;
    for (const std::string& c : MeasuresPresenter::columns())
        titles << qs(c);
    list_->setHeaderLabels(titles);
    const int x = list_->fontMetrics().horizontalAdvance('X');
    const int widths[] = {14, 10, 9, 6, 20, 6, 6};
    for (int c = 0; c < MeasuresPresenter::kColumns; ++c)
        list_->setColumnWidth(c, widths[c] * x);
    list_->setMinimumWidth(78 * x);

    startStop_ = new QPushButton(this);
    startStop_->setObjectName("startStop");
    auto* arrange = new QPushButton(appQText(app::text::kArrangeColumns), this);
    auto* run = new QPushButton(appQText(app::text::kRunModules), this);
    recording_ = new QPushButton(this);
    recording_->setObjectName("recording");
    run->setObjectName("run");
    auto* curves = new QPushButton(appQText(app::text::kCurves), this);
    curves->setObjectName("curves");
    connect(curves, &QPushButton::clicked, this, &CVisMesDialog::showCurves);
    indicator_ = new QLabel(this);
    indicator_->setObjectName("indicator");
    indicator_->setToolTip(appQText(app::text::kReading));
    indicator_->setFixedSize(14, 14);
    error_ = new QLabel(this);
    error_->setObjectName("error");
    error_->setWordWrap(true);
    error_->setStyleSheet("color: darkred");
    connect(startStop_, &QPushButton::clicked, this, &CVisMesDialog::startStop);
    connect(arrange, &QPushButton::clicked, this, [this] {
        for (int c = 0; c < list_->columnCount(); ++c)
            list_->resizeColumnToContents(c);
    });
    connect(run, &QPushButton::clicked, this, [this] {
        presenter_.runModules();
        showState();
    });
    connect(recording_, &QPushButton::clicked, this, [this] {
        presenter_.toggleRecording();
        showState();
    });

    auto* top = new QHBoxLayout;
    top->addWidget(channels);
    top->addWidget(mode, 1);
    auto* commands = new QHBoxLayout;
    commands->addWidget(startStop_);
    commands->addWidget(indicator_);
    commands->addSpacing(12);
    commands->addWidget(run);
    commands->addWidget(recording_);
    commands->addWidget(curves);
    commands->addStretch(1);
    commands->addWidget(arrange);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addLayout(commands);
    layout->addWidget(error_);
    layout->addWidget(buttons);
    resize(minimumSizeHint().width(), 420);

    timer_ = new QTimer(this);
    timer_->setInterval(presenter_.periodMs());
    connect(timer_, &QTimer::timeout, this, &CVisMesDialog::tick);
    showState();
}

void CVisMesDialog::chooseChannels() {
    CChansScanDialog choose(presenter_, doc_, this);
    if (choose.exec() == QDialog::Accepted)
        showState();
}

void CVisMesDialog::showCurves() {
    // One modeless curves window, redrawn after each scan.
    if (!curves_)
        curves_ = new CVisCrbDialog(presenter_, this);
    curves_->refresh();
    curves_->show();
    curves_->raise();
}

void CVisMesDialog::startStop() {
    presenter_.startStop();
    showState();
}

void CVisMesDialog::tick() {
    presenter_.tick();
    showState();
}

void CVisMesDialog::showState() {
    const auto& lines = presenter_.lines();
    if (list_->topLevelItemCount() != int(lines.size())) {
        list_->clear();
        for (size_t i = 0; i < lines.size(); ++i)
            list_->addTopLevelItem(new QTreeWidgetItem(list_));
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(int(i));
        for (int c = 0; c < MeasuresPresenter::kColumns; ++c)
            row->setText(c, qs(lines[i].texts[size_t(c)]));
    }
    startStop_->setText(qs(presenter_.startStopText()));
    recording_->setText(qs(presenter_.recordingText()));
    indicator_->setStyleSheet(presenter_.readingIndicator()
                                  ? "background: #2a2; border: 1px solid #333; border-radius: 7px"
                                  : "background: #cfc; border: 1px solid #333; border-radius: 7px");
    if (curves_ && curves_->isVisible())
        curves_->refresh();
    const std::string error = presenter_.error();
    error_->setText(qs(error).simplified());
    error_->setVisible(!error.empty());
    if (presenter_.scanning() && !timer_->isActive())
        timer_->start(presenter_.periodMs());
    else if (!presenter_.scanning() && timer_->isActive())
        timer_->stop();
}

}  // namespace qd40::ui
