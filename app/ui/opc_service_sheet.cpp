#include "app/ui/opc_service_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/core/app_strings.h"
#include "app/core/opc/opc_strings.h"

namespace qd40::ui {

namespace {

using namespace app::opc;

constexpr int kChannels = 30;

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The channel as the program tree names it: its mnemonic, else "Chan.NN".
std::string channelLabel(app::CTavikItem& item, int channel) {
    std::string mnemo;
    if (failed(item.control().GetChanMnemo(static_cast<int16_t>(channel), &mnemo)) || mnemo.empty())
        mnemo = strings::formatText(app::appText(app::text::kChannelDefault), channel);
    return mnemo;
}

}  // namespace

COpcSvrSheet::COpcSvrSheet(app::CTavikDoc& doc, const OpcServiceParams& params, QWidget* parent)
    : QDialog(parent), doc_(doc), initial_(params) {
    setWindowTitle(qs(opcText(text::kDefineService)));
    auto* tabs = new QTabWidget;

    // ---- Server
    auto* server = new QWidget;
    auto* form = new QFormLayout;
    period_ = new QSpinBox;
    period_->setRange(1, 65535);
    period_->setValue(params.period);
    form->addRow(qs(opcText(text::kPeriodLabel)), period_);
    startDelay_ = new QSpinBox;
    startDelay_->setRange(0, 255);
    startDelay_->setValue(params.startDelay);
    form->addRow(qs(opcText(text::kStartDelayLabel)), startDelay_);
    auto* modes = new QGroupBox;
    auto* modesLayout = new QVBoxLayout(modes);
    mode_ = new QButtonGroup(this);
    const int modeTexts[] = {text::kModeAlwaysButton, text::kModeIfDifferentButton,
                             text::kModeNeverButton};
    for (int m = kModeAlways; m <= kModeNever; ++m) {
        auto* b = new QRadioButton(qs(opcText(modeTexts[m])));
        mode_->addButton(b, m);
        modesLayout->addWidget(b);
    }
    if (auto* b = mode_->button(params.mode))
        b->setChecked(true);
    stopOnClose_ = new QCheckBox(qs(opcText(text::kStopOnClose)));
    stopOnClose_->setChecked(params.stopOnClose);
    auto* serverLayout = new QVBoxLayout(server);
    serverLayout->addLayout(form);
    serverLayout->addWidget(modes);
    serverLayout->addWidget(stopOnClose_);
    serverLayout->addStretch();
    tabs->addTab(server, qs(opcText(text::kServerPage)));

    // ---- Channels to be published
    channels_ = new QTreeWidget;
    channels_->setHeaderHidden(true);
    for (const auto& item : doc_.items()) {
        uint32_t mask = 0;
        for (const auto& e : params.published)
            if (e.item == item.get())
                mask |= e.mask;
        auto* module = new QTreeWidgetItem(channels_, {qs(item->treeText())});
        for (int n = 1; n <= kChannels; ++n) {
            auto* channel = new QTreeWidgetItem(
                module, {QString::asprintf("%02d  ", n) + qs(channelLabel(*item, n))});
            channel->setFlags(channel->flags() | Qt::ItemIsUserCheckable);
            channel->setCheckState(0, (mask >> (n - 1) & 1) ? Qt::Checked : Qt::Unchecked);
        }
        module->setExpanded(mask != 0 || doc_.items().size() == 1);
    }
    tabs->addTab(channels_, qs(opcText(text::kChannelsToPublish)));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(520, 420);
}

OpcServiceParams COpcSvrSheet::params() const {
    OpcServiceParams p = initial_;
    p.period = static_cast<uint16_t>(period_->value());
    p.startDelay = startDelay_->value();
    p.mode = mode_->checkedId() < 0 ? kModeAlways : mode_->checkedId();
    p.stopOnClose = stopOnClose_->isChecked();
    p.published.clear();
    for (int i = 0;
         i < channels_->topLevelItemCount() && static_cast<size_t>(i) < doc_.items().size(); ++i) {
        const QTreeWidgetItem* module = channels_->topLevelItem(i);
        uint32_t mask = 0;
        for (int n = 0; n < module->childCount(); ++n)
            if (module->child(n)->checkState(0) == Qt::Checked)
                mask |= 1u << n;
        if (mask)
            p.published.push_back({doc_.items()[static_cast<size_t>(i)].get(), mask});
    }
    return p;
}

}  // namespace qd40::ui
