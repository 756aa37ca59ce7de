#include "control/pages/ui/page_widgets.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/ansi_text.h"
#include "common/config/code_tables.h"
#include "control/pages/page_strings.h"
#include "control/rules/value_rules.h"
#include "platform/strings.h"

namespace qd40::pages::ui {

namespace {
QString pt(int id) {
    return qs(pageText(id));
}
QString code(std::string_view english) {
    return qs(translated(english));
}
// The 8-bit texts of the configuration blobs (degree sign and the like).
QString ansi(const std::string& s) {
    return QString::fromStdString(text::ansiToUtf8(s));
}
std::string toAnsi(const QString& s) {
    return text::utf8ToAnsi(s.toStdString());
}

QRadioButton* addRadio(QButtonGroup* group, QLayout* layout, const QString& text, int id) {
    auto* r = new QRadioButton(text);
    group->addButton(r, id);
    layout->addWidget(r);
    return r;
}

QGroupBox* radioGroup(const QString& title, QButtonGroup*& group, QWidget* owner,
                      const std::vector<QString>& texts) {
    auto* box = new QGroupBox(title);
    auto* l = new QVBoxLayout(box);
    group = new QButtonGroup(owner);
    for (size_t i = 0; i < texts.size(); ++i)
        addRadio(group, l, texts[i], int(i));
    return box;
}

void check(QButtonGroup* group, int id) {
    if (QAbstractButton* b = group->button(id))
        b->setChecked(true);
}

QLineEdit* numberEdit(int chars) {
    auto* e = new QLineEdit;
    e->setFixedWidth(e->fontMetrics().averageCharWidth() * (chars + 3));
    return e;
}
}  // namespace

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

void BoxPrompter::warning(const std::string& text) {
    QMessageBox::warning(parent_, QApplication::applicationName(), qs(text));
}
void BoxPrompter::error(const std::string& text) {
    QMessageBox::warning(parent_, QApplication::applicationName(), qs(text));
}

std::optional<std::string> SystemClipboard::text() {
    QClipboard* c = QGuiApplication::clipboard();
    if (!c)
        return std::nullopt;
    return toAnsi(c->text());
}

PageClipboard::SetResult SystemClipboard::setText(const std::string& text) {
    QClipboard* c = QGuiApplication::clipboard();
    if (!c)
        return SetResult::CannotOpen;
    c->setText(ansi(text));
    return SetResult::Ok;
}

void PageWidget::touched() {
    model_.setChanged();
    refresh();
    Q_EMIT edited();
}

// ---- channel boxes ---------------------------------------------------------------------

ChannelBoxes::ChannelBoxes(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    for (int n = 1; n <= cfg::kChannels; ++n) {
        auto* b = new QCheckBox(QString::number(n));
        boxes_[size_t(n - 1)] = b;
        grid->addWidget(b, (n - 1) / 10, (n - 1) % 10);
        connect(b, &QCheckBox::clicked, this, [this, n](bool on) { Q_EMIT toggled(n, on); });
    }
    auto* all = new QToolButton;
    all->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    all->setText(pt(ptext::kCheckAll));
    all->setToolTip(all->text());
    all->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* none = new QToolButton;
    none->setIcon(style()->standardIcon(QStyle::SP_DialogNoButton));
    none->setText(pt(ptext::kCheckNone));
    none->setToolTip(none->text());
    none->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    all_ = all;
    none_ = none;
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(all);
    buttons->addWidget(none);
    buttons->addStretch();
    grid->addLayout(buttons, 3, 0, 1, 10);
    connect(all, &QToolButton::clicked, this, &ChannelBoxes::checkAll);
    connect(none, &QToolButton::clicked, this, &ChannelBoxes::checkNone);
}

void ChannelBoxes::setState(uint32_t checked, uint32_t enabled) {
    for (int n = 1; n <= cfg::kChannels; ++n) {
        const uint32_t bit = 1u << (n - 1);
        boxes_[size_t(n - 1)]->setEnabled(enabled & bit);
        boxes_[size_t(n - 1)]->setChecked(checked & bit);
    }
}

// ---- channels ----------------------------------------------------------------------------

ChansPage::ChansPage(ChansPageModel& model, bool easy, QWidget* parent)
    : PageWidget(model, parent), m_(model), easy_(easy) {
    auto* top = new QGridLayout;
    int row = 0;
    const auto addRow = [&](int textId, QWidget* w, QWidget* extra = nullptr) {
        auto* label = new QLabel(pt(textId));
        label->setBuddy(w);
        top->addWidget(label, row, 0);
        top->addWidget(w, row, 1);
        if (extra)
            top->addWidget(extra, row, 2);
        ++row;
    };
    channel_ = new QComboBox;
    for (const std::string& t : ChansPageModel::channelTexts())
        channel_->addItem(qs(t));
    mnemonic_ = new QLineEdit;
    mnemonic_->setMaxLength(int(rules::kMaxMnemonicLength));
    function_ = new QComboBox;
    range_ = new QComboBox;
    connection_ = new QComboBox;
    speed_ = new QComboBox;
    for (int s = 0; s < 3; ++s)
        speed_->addItem(code(cfg::speedText(s)));
    unit_ = new QLineEdit;
    unit_->setMaxLength(int(rules::kMaxUnitLength));
    unit_->setMaximumWidth(unit_->fontMetrics().averageCharWidth() * 10);
    tests_ = new QCheckBox(pt(ptext::kTests));
    rjc_ = new QCheckBox(pt(ptext::kRjc));
    lin_ = new QPushButton(pt(ptext::kLinearisation));
    addRow(ptext::kChannel, channel_);
    addRow(ptext::kMnemonic, mnemonic_);
    addRow(ptext::kFunction, function_, tests_);
    addRow(ptext::kRange, range_, rjc_);
    addRow(ptext::kConnection, connection_, lin_);
    addRow(ptext::kAccuracySpeed, speed_);
    addRow(ptext::kUnit, unit_);
    delay_ = numberEdit(6);
    defaultValue_ = numberEdit(12);
    deadPct_ = numberEdit(6);
    deadAbs_ = numberEdit(10);
    auto* dead = new QWidget;
    auto* deadLayout = new QHBoxLayout(dead);
    deadLayout->setContentsMargins(0, 0, 0, 0);
    deadLayout->addWidget(deadPct_);
    deadLayout->addWidget(new QLabel(pt(ptext::kDeadBandPlus)));
    deadLayout->addWidget(deadAbs_);
    deadLayout->addStretch();
    if (!easy) {
        addRow(ptext::kDelay, delay_);
        addRow(ptext::kDefaultValue, defaultValue_);
        addRow(ptext::kDeadBand, dead);
    } else {
        tests_->hide();
        for (QWidget* w : std::initializer_list<QWidget*>{delay_, defaultValue_, dead})
            w->hide();
    }
    top->setColumnStretch(3, 1);

    auto* alarms = new QGroupBox(pt(ptext::kChannelAlarms));
    auto* grid = new QGridLayout(alarms);
    const int headers[] = {ptext::kLevel,   ptext::kDirection,   ptext::kHysteresis,
                           ptext::kCounter, ptext::kRelayAlarm1, ptext::kRelayAlarm2};
    for (int c = 0; c < 6; ++c) {
        auto* h = new QLabel(pt(headers[c]));
        h->setAlignment(Qt::AlignCenter);
        grid->addWidget(h, 0, c + 1);
        if (easy && (c == 2 || c == 3))
            h->hide();
    }
    for (int k = 1; k <= cfg::kLimits; ++k) {
        Row& r = rows_[size_t(k - 1)];
        r.inUse = new QCheckBox(qs(strings::formatText(pageText(ptext::kLimitN), k)));
        r.level = numberEdit(12);
        r.direction = new QComboBox;
        r.direction->addItems({pt(ptext::kHigh), pt(ptext::kLow)});
        r.hysteresis = numberEdit(10);
        r.counter = numberEdit(4);
        r.ga1 = new QCheckBox;
        r.ga2 = new QCheckBox;
        QWidget* cells[] = {r.inUse, r.level, r.direction, r.hysteresis, r.counter, r.ga1, r.ga2};
        for (int c = 0; c < 7; ++c)
            grid->addWidget(cells[c], k, c, c >= 5 ? Qt::AlignCenter : Qt::Alignment());
        if (easy) {
            r.hysteresis->hide();
            r.counter->hide();
        }
        const size_t i = size_t(k - 1);
        connect(r.inUse, &QCheckBox::clicked, this, [this, i](bool on) {
            m_.fields().limits[i].inUse = on;
            touched();
        });
        connect(r.level, &QLineEdit::textEdited, this, [this, i](const QString& t) {
            m_.fields().limits[i].level = t.toStdString();
            m_.setChanged();
            Q_EMIT edited();
        });
        connect(r.direction, &QComboBox::activated, this, [this, i](int index) {
            m_.fields().limits[i].high = index == 0;
            touched();
        });
        connect(r.hysteresis, &QLineEdit::textEdited, this, [this, i](const QString& t) {
            m_.fields().limits[i].hysteresis = t.toStdString();
            m_.setChanged();
            Q_EMIT edited();
        });
        connect(r.counter, &QLineEdit::textEdited, this, [this, i](const QString& t) {
            m_.fields().limits[i].counter = t.toStdString();
            m_.setChanged();
            Q_EMIT edited();
        });
        connect(r.ga1, &QCheckBox::clicked, this, [this, i](bool on) {
            m_.fields().limits[i].globalAlarm1 = on;
            touched();
        });
        connect(r.ga2, &QCheckBox::clicked, this, [this, i](bool on) {
            m_.fields().limits[i].globalAlarm2 = on;
            touched();
        });
    }
    grid->setColumnStretch(7, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(alarms);
    layout->addStretch();

    connect(channel_, &QComboBox::activated, this, &ChansPage::onChannel);
    const auto text = [this](QLineEdit* e, std::string ChannelFields::*field, bool ansiText) {
        connect(e, &QLineEdit::textEdited, this, [this, field, ansiText](const QString& t) {
            m_.fields().*field = ansiText ? toAnsi(t) : t.toStdString();
            m_.setChanged();
            Q_EMIT edited();
        });
    };
    text(mnemonic_, &ChannelFields::mnemonic, true);
    text(unit_, &ChannelFields::unit, true);
    text(delay_, &ChannelFields::delay, false);
    text(defaultValue_, &ChannelFields::defaultValue, false);
    text(deadPct_, &ChannelFields::deadBandPercent, false);
    text(deadAbs_, &ChannelFields::deadBandAbsolute, false);
    connect(function_, &QComboBox::activated, this, [this](int index) {
        m_.setFunction(function_->itemData(index).toInt());
        touched();
    });
    connect(range_, &QComboBox::activated, this, [this](int index) {
        m_.setRange(index);
        touched();
    });
    connect(connection_, &QComboBox::activated, this, [this](int index) {
        m_.setConnection(connection_->itemData(index).toInt());
        touched();
    });
    connect(speed_, &QComboBox::activated, this, [this](int index) {
        m_.setSpeed(index);
        touched();
    });
    connect(tests_, &QCheckBox::clicked, this, [this](bool on) {
        m_.setTests(on);
        touched();
    });
    connect(rjc_, &QCheckBox::clicked, this, [this](bool on) {
        m_.setRjc(on);
        touched();
    });
    connect(lin_, &QPushButton::clicked, this, &ChansPage::editLinearisation);
}

void ChansPage::onChannel(int index) {
    if (const auto bad = m_.selectChannel(index + 1)) {
        prompter_.error(*bad);
        channel_->setCurrentIndex(m_.channel() - 1);
        return;
    }
    refresh();
}

void ChansPage::refreshCodes() {
    const int fct = m_.function();
    function_->clear();
    for (int f : m_.functionsOffered())
        function_->addItem(code(cfg::functionText(f)), f);
    function_->setCurrentIndex(function_->findData(fct));
    range_->clear();
    for (int r = 0; r < m_.rangeCount(); ++r)
        range_->addItem(ansi(std::string(cfg::rangeText(fct, r))));
    range_->setCurrentIndex(m_.range());
    range_->setEnabled(m_.rangeCount() > 0);
    connection_->clear();
    for (int c : m_.connectionsOffered())
        connection_->addItem(code(cfg::connectionText(c, fct)), c);
    connection_->setCurrentIndex(connection_->findData(m_.connection()));
    connection_->setEnabled(connection_->count() > 0);
    speed_->setCurrentIndex(m_.speed());
    speed_->setEnabled(m_.speedOffered());
    tests_->setChecked(m_.tests());
    tests_->setEnabled(m_.testsAllowed());
    rjc_->setChecked(m_.rjc());
    rjc_->setEnabled(m_.rjcAllowed());
    lin_->setEnabled(fct != cfg::kFctNotProg);
}

void ChansPage::refresh() {
    loading_ = true;
    channel_->setCurrentIndex(m_.channel() - 1);
    refreshCodes();
    const ChannelFields& f = m_.fields();
    mnemonic_->setText(ansi(f.mnemonic));
    unit_->setText(ansi(f.unit));
    delay_->setText(qs(f.delay));
    defaultValue_->setText(qs(f.defaultValue));
    deadPct_->setText(qs(f.deadBandPercent));
    deadAbs_->setText(qs(f.deadBandAbsolute));
    for (size_t i = 0; i < rows_.size(); ++i) {
        const LimitRow& l = f.limits[i];
        Row& r = rows_[i];
        r.inUse->setChecked(l.inUse);
        r.level->setText(qs(l.level));
        r.direction->setCurrentIndex(l.high ? 0 : 1);
        r.hysteresis->setText(qs(l.hysteresis));
        r.counter->setText(qs(l.counter));
        r.ga1->setChecked(l.globalAlarm1);
        r.ga2->setChecked(l.globalAlarm2);
        for (QWidget* w : std::initializer_list<QWidget*>{r.level, r.direction, r.hysteresis,
                                                          r.counter, r.ga1, r.ga2})
            w->setEnabled(l.inUse);
    }
    loading_ = false;
}

void ChansPage::editLinearisation() {
    LinPointsModel points = m_.linearisation();
    SystemClipboard clipboard;
    LinPointsDialog dialog(points, clipboard, this);
    if (dialog.exec() == QDialog::Accepted) {
        m_.acceptLinearisation(points);
        touched();
    }
}

// ---- linearisation points ------------------------------------------------------------------

LinPointsDialog::LinPointsDialog(LinPointsModel& model, PageClipboard& clipboard, QWidget* parent)
    : QDialog(parent), m_(model), clipboard_(clipboard) {
    setWindowTitle(qs(model.title()));
    x_ = numberEdit(12);
    y_ = numberEdit(12);
    auto* add = new QPushButton(pt(ptext::kAdd));
    auto* modify = new QPushButton(pt(ptext::kModify));
    list_ = new QTableWidget(0, 3);
    list_->setHorizontalHeaderLabels({pt(ptext::kNr).remove('&'), "X", "Y"});
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->horizontalHeader()->setStretchLastSection(true);
    auto* copy = new QPushButton(pt(ptext::kCopyAll));
    auto* paste = new QPushButton(pt(ptext::kPasteAll));
    auto* del = new QPushButton(pt(ptext::kDelete));
    auto* clear = new QPushButton(pt(ptext::kClearAll));
    resolution_ = new QComboBox;
    for (const std::string& t : model.resolutionTexts())
        resolution_->addItem(qs(t));
    resolution_->setCurrentIndex(model.resolution());

    auto* edits = new QGridLayout;
    edits->addWidget(new QLabel("X"), 0, 0);
    edits->addWidget(x_, 0, 1);
    edits->addWidget(add, 0, 2);
    edits->addWidget(new QLabel("Y"), 1, 0);
    edits->addWidget(y_, 1, 1);
    edits->addWidget(modify, 1, 2);
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {copy, paste, del, clear})
        side->addWidget(b);
    side->addStretch();
    auto* res = new QLabel(pt(ptext::kResolution));
    res->setBuddy(resolution_);
    side->addWidget(res);
    side->addWidget(resolution_);
    auto* middle = new QHBoxLayout;
    middle->addWidget(list_, 1);
    middle->addLayout(side);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(pt(ptext::kOk));
    buttons->button(QDialogButtonBox::Cancel)->setText(pt(ptext::kCancel));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(edits);
    layout->addLayout(middle);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this,
            [this] { report(m_.add(x_->text().toStdString(), y_->text().toStdString())); });
    connect(modify, &QPushButton::clicked, this, [this] {
        const int row = list_->currentRow();
        if (row >= 0)
            report(m_.modify(size_t(row), x_->text().toStdString(), y_->text().toStdString()));
    });
    connect(del, &QPushButton::clicked, this, [this] {
        if (list_->currentRow() >= 0)
            m_.remove(size_t(list_->currentRow()));
        refresh();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        m_.clear();
        refresh();
    });
    connect(copy, &QPushButton::clicked, this, [this] { report(m_.copyAll(clipboard_)); });
    connect(paste, &QPushButton::clicked, this, [this] { report(m_.pasteAll(clipboard_)); });
    connect(resolution_, &QComboBox::activated, this, [this](int i) { m_.setResolution(i); });
    connect(list_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0 && size_t(row) < m_.points().size()) {
            x_->setText(qs(m_.xText(size_t(row))));
            y_->setText(qs(m_.yText(size_t(row))));
        }
    });
    refresh();
    resize(sizeHint().width() + 80, 380);
}

void LinPointsDialog::report(const std::optional<std::string>& message) {
    refresh();
    if (message)
        prompter_.warning(*message);
}

void LinPointsDialog::refresh() {
    list_->setRowCount(int(m_.points().size()));
    for (size_t i = 0; i < m_.points().size(); ++i) {
        list_->setItem(int(i), 0, new QTableWidgetItem(QString::number(i + 1)));
        list_->setItem(int(i), 1, new QTableWidgetItem(qs(m_.xText(i))));
        list_->setItem(int(i), 2, new QTableWidgetItem(qs(m_.yText(i))));
    }
}

void LinPointsDialog::accept() {
    if (const auto bad = m_.validate()) {
        prompter_.warning(*bad);
        return;
    }
    QDialog::accept();
}

// ---- acquisition ---------------------------------------------------------------------------

AcqPage::AcqPage(AcqPageModel& model, bool easy, QWidget* parent)
    : PageWidget(model, parent), m_(model) {
    auto* scan = new QGroupBox(pt(ptext::kChansToScan));
    boxes_ = new ChannelBoxes;
    (new QVBoxLayout(scan))->addWidget(boxes_);
    std::vector<QString> openings, execs, schedules, units;
    for (int c = 0; c < 3; ++c)
        openings.push_back(code(cfg::acqOpeningText(c)));
    for (int c = 0; c < 5; ++c)
        execs.push_back(code(cfg::execModeText(c)));
    for (int c = 0; c < 3; ++c)
        schedules.push_back(code(cfg::scheduleText(c)));
    QGroupBox* opening = radioGroup(pt(ptext::kOpening), opening_, this, openings);
    QGroupBox* exec = radioGroup(pt(ptext::kExecution), exec_, this, execs);
    QGroupBox* cutOff = radioGroup(pt(ptext::kCutOffTests), cutOff_, this, schedules);
    QGroupBox* rjTemp = radioGroup(pt(ptext::kRjTemperature), rjTemp_, this, schedules);
    QGroupBox* lineRes = radioGroup(pt(ptext::kLineResistance), lineRes_, this, schedules);

    auto* periods = new QGroupBox(pt(ptext::kPeriods));
    auto* pg = new QGridLayout(periods);
    acq_ = numberEdit(6);
    aux_ = numberEdit(6);
    min_ = new QLabel;
    unit_ = new QButtonGroup(this);
    auto* unitRow = new QHBoxLayout;
    for (int u = 0; u < 4; ++u)
        addRadio(unit_, unitRow, qs(std::string(cfg::periodUnitText(u))), u);
    auto* auxLabel = new QLabel(pt(ptext::kAuxPeriod));
    pg->addWidget(new QLabel(pt(ptext::kAcqPeriod)), 0, 0);
    pg->addWidget(acq_, 0, 1);
    pg->addLayout(unitRow, 0, 2);
    pg->addWidget(min_, 0, 3);
    pg->addWidget(auxLabel, 1, 0);
    pg->addWidget(aux_, 1, 1);
    pg->setColumnStretch(4, 1);

    auto* layout = new QGridLayout(this);
    if (easy) {
        // The easy sheet: RUN or the TRIG input opens the acquisition.
        opening_->button(1)->hide();
        layout->addWidget(opening, 0, 0);
        layout->addWidget(periods, 1, 0);
        for (QWidget* w :
             std::initializer_list<QWidget*>{scan, exec, cutOff, rjTemp, lineRes, auxLabel, aux_})
            w->hide();
    } else {
        layout->addWidget(scan, 0, 0, 1, 2);
        layout->addWidget(opening, 1, 0);
        layout->addWidget(exec, 1, 1, 2, 1);
        layout->addWidget(cutOff, 2, 0);
        auto* schedulesRow = new QHBoxLayout;
        schedulesRow->addWidget(rjTemp);
        schedulesRow->addWidget(lineRes);
        layout->addLayout(schedulesRow, 3, 0, 1, 2);
        layout->addWidget(periods, 4, 0, 1, 2);
    }
    layout->setRowStretch(5, 1);

    connect(boxes_, &ChannelBoxes::toggled, this, [this](int n, bool on) {
        m_.setScanned(n, on);
        touched();
    });
    connect(boxes_, &ChannelBoxes::checkAll, this, [this] {
        m_.checkAll();
        touched();
    });
    connect(boxes_, &ChannelBoxes::checkNone, this, [this] {
        m_.checkNone();
        touched();
    });
    const auto radios = [this](QButtonGroup* g, void (AcqPageModel::*set)(int)) {
        connect(g, &QButtonGroup::idClicked, this, [this, set](int id) {
            (m_.*set)(id);
            touched();
        });
    };
    radios(opening_, &AcqPageModel::setAcqOpening);
    radios(exec_, &AcqPageModel::setExecMode);
    radios(cutOff_, &AcqPageModel::setCutOffSchedule);
    radios(rjTemp_, &AcqPageModel::setRefJunctionSchedule);
    radios(lineRes_, &AcqPageModel::setLineResSchedule);
    radios(unit_, &AcqPageModel::setPeriodUnit);
    connect(acq_, &QLineEdit::textEdited, this, [this](const QString& t) {
        m_.acqCount = t.toStdString();
        touched();
    });
    connect(aux_, &QLineEdit::textEdited, this, [this](const QString& t) {
        m_.auxCount = t.toStdString();
        touched();
    });
}

void AcqPage::refresh() {
    boxes_->setState(m_.scanMask(), m_.enabledChannels());
    check(opening_, m_.acqOpening());
    check(exec_, m_.execMode());
    check(cutOff_, m_.cutOffSchedule());
    check(rjTemp_, m_.refJunctionSchedule());
    check(lineRes_, m_.lineResSchedule());
    check(unit_, m_.periodUnit());
    if (acq_->text().toStdString() != m_.acqCount)
        acq_->setText(qs(m_.acqCount));
    if (aux_->text().toStdString() != m_.auxCount)
        aux_->setText(qs(m_.auxCount));
    min_->setText(qs(m_.minimumText()));
}

// ---- memory blocks -------------------------------------------------------------------------

MemPage::MemPage(MemPageModel& model, bool easy, QWidget* parent)
    : PageWidget(model, parent), m_(model), easy_(easy) {
    block_ = new QComboBox;
    for (int b = 1; b <= cfg::kMemBlocks; ++b)
        block_->addItem(QString::number(b));
    size_ = numberEdit(8);
    auto* head = new QHBoxLayout;
    auto* blockLabel = new QLabel(pt(ptext::kBlockNumber));
    head->addWidget(blockLabel);
    head->addWidget(block_);
    head->addSpacing(20);
    head->addWidget(new QLabel(pt(ptext::kSize)));
    head->addWidget(size_);
    head->addWidget(new QLabel(pt(ptext::kRecords)));
    head->addStretch();

    auto* chans = new QGroupBox(pt(ptext::kChansToRecord));
    boxes_ = new ChannelBoxes;
    (new QVBoxLayout(chans))->addWidget(boxes_);

    auto* opening = new QGroupBox(pt(ptext::kMemOpening));
    auto* ol = new QVBoxLayout(opening);
    opening_ = new QButtonGroup(this);
    for (int c = 0; c < 4; ++c)
        addRadio(opening_, ol, code(cfg::openingConditionText(c)), c);
    auto* alarmRow = new QHBoxLayout;
    addRadio(opening_, alarmRow, code(cfg::alarmConditionText(cfg::kAlarmAtLeastOne)), kAlarmRadio);
    defineOpening_ = new QPushButton(pt(ptext::kDefine));
    alarmRow->addWidget(defineOpening_);
    ol->addLayout(alarmRow);
    auto* reopening = new QGroupBox(pt(ptext::kReopening));
    auto* rl = new QVBoxLayout(reopening);
    reopenable_ = new QCheckBox(code(cfg::kReopenableText));
    emptyOnOpening_ = new QCheckBox(code(cfg::kEmptyOnOpeningText));
    rl->addWidget(reopenable_);
    rl->addWidget(emptyOnOpening_);

    auto* events = new QGroupBox(pt(ptext::kEventsToSignal) + " " + pt(ptext::kIntoStatusRegister));
    auto* el = new QVBoxLayout(events);
    for (int e = 0; e < 4; ++e) {
        events_[size_t(e)] = new QCheckBox(code(cfg::memoryEventText(e)));
        el->addWidget(events_[size_t(e)]);
        connect(events_[size_t(e)], &QCheckBox::clicked, this, [this, e](bool on) {
            m_.setSignals(e, on);
            touched();
        });
    }

    auto* recording = new QGroupBox(pt(ptext::kRecording));
    auto* recl = new QVBoxLayout(recording);
    every_ = new QCheckBox(code(cfg::kRecordEveryText));
    everyCount_ = numberEdit(6);
    auto* everyRow = new QHBoxLayout;
    everyRow->addWidget(every_);
    everyRow->addWidget(everyCount_);
    everyRow->addWidget(new QLabel(pt(ptext::kAcqCycles)));
    everyRow->addStretch();
    recl->addLayout(everyRow);
    compacting_ = new QCheckBox(code(cfg::kCompactingText));
    recl->addWidget(compacting_);
    for (int k = 1; k <= 4; ++k) {
        alarms_[size_t(k - 1)] = new QCheckBox(code(cfg::recordAlarmText(k)));
        recl->addWidget(alarms_[size_t(k - 1)]);
        connect(alarms_[size_t(k - 1)], &QCheckBox::clicked, this, [this, k](bool on) {
            m_.setRecordOnAlarm(k, on);
            touched();
        });
    }
    trig_ = new QCheckBox(code(cfg::kRecordOnTrigText));
    recl->addWidget(trig_);

    auto* closing = new QGroupBox(pt(ptext::kClosing));
    auto* cl = new QVBoxLayout(closing);
    full_ = new QCheckBox(code(cfg::kFullBlockText));
    cl->addWidget(full_);
    afterEvent_ = new QCheckBox;
    cycles_ = numberEdit(6);
    auto* afterRow = new QHBoxLayout;
    afterRow->addWidget(afterEvent_);
    afterRow->addWidget(cycles_);
    afterRow->addWidget(new QLabel(pt(ptext::kCyclesAfterEvent)));
    afterRow->addStretch();
    cl->addLayout(afterRow);
    closing_ = new QButtonGroup(this);
    auto* closingRadios = new QVBoxLayout;
    closingRadios->setContentsMargins(24, 0, 0, 0);
    for (int c = 1; c <= 3; ++c)
        addRadio(closing_, closingRadios, code(cfg::closingEventText(c)), c - 1);
    auto* closingAlarm = new QHBoxLayout;
    addRadio(closing_, closingAlarm, code(cfg::alarmConditionText(cfg::kAlarmAtLeastOne)),
             kClosingAlarmRadio);
    defineClosing_ = new QPushButton(pt(ptext::kDefine));
    closingAlarm->addWidget(defineClosing_);
    closingRadios->addLayout(closingAlarm);
    cl->addLayout(closingRadios);
    openNext_ = new QCheckBox(pt(ptext::kOnClosingOpen));
    nextBlock_ = new QComboBox;
    auto* nextRow = new QHBoxLayout;
    nextRow->addWidget(openNext_);
    nextRow->addWidget(nextBlock_);
    nextRow->addStretch();
    cl->addLayout(nextRow);

    fillingLabel_ = new QLabel(pt(ptext::kFillingTime));
    filling_ = new QLabel;
    auto* fillingRow = new QHBoxLayout;
    fillingRow->addWidget(fillingLabel_);
    fillingRow->addWidget(filling_);
    fillingRow->addStretch();

    auto* layout = new QGridLayout(this);
    layout->addLayout(head, 0, 0, 1, 2);
    layout->addWidget(chans, 1, 0, 1, 2);
    auto* left = new QVBoxLayout;
    left->addWidget(opening);
    left->addWidget(reopening);
    left->addWidget(events);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(recording);
    right->addWidget(closing);
    right->addLayout(fillingRow);
    right->addStretch();
    layout->addLayout(left, 2, 0);
    layout->addLayout(right, 2, 1);
    if (easy) {
        // The easy sheet programs block 1: opened by RUN or the TRIG input,
        // closed when full or some cycles after its opening.
        for (QWidget* w : std::initializer_list<QWidget*>{blockLabel, block_, chans, reopening,
                                                          events, compacting_, defineOpening_,
                                                          defineClosing_, openNext_, nextBlock_})
            w->hide();
        for (int id : {0, 3, kAlarmRadio})
            opening_->button(id)->hide();
        for (int id : {1, 2, kClosingAlarmRadio})
            closing_->button(id)->hide();
    }

    connect(block_, &QComboBox::activated, this, [this](int index) {
        if (const auto bad = m_.selectBlock(index + 1)) {
            prompter_.error(*bad);
            block_->setCurrentIndex(m_.block() - 1);
            return;
        }
        refresh();
    });
    const auto text = [this](QLineEdit* e, std::string BlockFields::*field) {
        connect(e, &QLineEdit::textEdited, this, [this, field](const QString& t) {
            m_.fields().*field = t.toStdString();
            m_.setChanged();
            refreshUsability();
            Q_EMIT edited();
        });
    };
    text(size_, &BlockFields::size);
    text(everyCount_, &BlockFields::everyCount);
    text(cycles_, &BlockFields::closingCycles);
    connect(boxes_, &ChannelBoxes::toggled, this, [this](int n, bool on) {
        m_.setChannel(n, on);
        touched();
    });
    connect(boxes_, &ChannelBoxes::checkAll, this, [this] {
        m_.checkAll();
        touched();
    });
    connect(boxes_, &ChannelBoxes::checkNone, this, [this] {
        m_.checkNone();
        touched();
    });
    connect(opening_, &QButtonGroup::idClicked, this, [this](int id) {
        m_.fields().opening = id;
        touched();
    });
    connect(closing_, &QButtonGroup::idClicked, this, [this](int id) {
        m_.fields().closingEvent = id;
        touched();
    });
    const auto box = [this](QCheckBox* b, void (MemPageModel::*set)(bool)) {
        connect(b, &QCheckBox::clicked, this, [this, set](bool on) {
            (m_.*set)(on);
            touched();
        });
    };
    box(reopenable_, &MemPageModel::setReopenable);
    box(emptyOnOpening_, &MemPageModel::setEmptyOnOpening);
    box(every_, &MemPageModel::setRecordEvery);
    box(compacting_, &MemPageModel::setCompacting);
    box(trig_, &MemPageModel::setRecordOnTrig);
    box(full_, &MemPageModel::setCloseOnFull);
    connect(afterEvent_, &QCheckBox::clicked, this, [this](bool on) {
        m_.fields().closeAfterEvent = on;
        touched();
    });
    connect(openNext_, &QCheckBox::clicked, this, [this](bool on) {
        m_.fields().openNext = on;
        if (on && m_.fields().nextBlock == 0)
            m_.fields().nextBlock = nextBlock_->currentData().toInt();
        touched();
    });
    connect(nextBlock_, &QComboBox::activated, this, [this](int index) {
        m_.fields().nextBlock = nextBlock_->itemData(index).toInt();
        touched();
    });
    connect(defineOpening_, &QPushButton::clicked, this, [this] { define(true); });
    connect(defineClosing_, &QPushButton::clicked, this, [this] { define(false); });
}

void MemPage::define(bool opening) {
    DefineConditionModel condition = m_.defineCondition(opening);
    DefineConditionDialog dialog(condition, this);
    if (dialog.exec() == QDialog::Accepted) {
        m_.acceptCondition(condition);
        touched();
    }
}

void MemPage::refresh() {
    loading_ = true;
    const BlockFields& f = m_.fields();
    block_->setCurrentIndex(m_.block() - 1);
    size_->setText(qs(f.size));
    boxes_->setState(m_.channels(), cfg::kAllChannelsMask);
    check(opening_, f.opening);
    reopenable_->setChecked(m_.reopenable());
    emptyOnOpening_->setChecked(m_.emptyOnOpening());
    for (int e = 0; e < 4; ++e)
        events_[size_t(e)]->setChecked(m_.signals(e));
    every_->setChecked(m_.recordEvery());
    everyCount_->setText(qs(f.everyCount));
    compacting_->setChecked(m_.compacting());
    for (int k = 1; k <= 4; ++k)
        alarms_[size_t(k - 1)]->setChecked(m_.recordOnAlarm(k));
    trig_->setChecked(m_.recordOnTrig());
    full_->setChecked(m_.closeOnFull());
    afterEvent_->setChecked(f.closeAfterEvent);
    cycles_->setText(qs(f.closingCycles));
    check(closing_, f.closingEvent);
    openNext_->setChecked(f.openNext);
    nextBlock_->clear();
    for (int b : rules::nextBlockChoices(m_.block()))
        nextBlock_->addItem(QString::number(b), b);
    if (f.nextBlock)
        nextBlock_->setCurrentIndex(nextBlock_->findData(f.nextBlock));
    loading_ = false;
    refreshUsability();
}

void MemPage::refreshUsability() {
    const rules::MemBlockUsability u = m_.usability();
    defineOpening_->setEnabled(u.openingAlarmButton);
    for (QAbstractButton* b : closing_->buttons())
        b->setEnabled(u.closingEventChoices);
    cycles_->setEnabled(u.closingCycleCount);
    defineClosing_->setEnabled(u.closingAlarmButton && u.closingEventChoices);
    everyCount_->setEnabled(u.everyCount);
    nextBlock_->setEnabled(u.nextBlockList);
    const auto time = m_.fillingTime();
    fillingLabel_->setVisible(time.has_value());
    filling_->setVisible(time.has_value());
    filling_->setText(time ? qs(*time) : QString());
}

// ---- define condition --------------------------------------------------------------------

DefineConditionDialog::DefineConditionDialog(DefineConditionModel& model, QWidget* parent)
    : QDialog(parent), m_(model) {
    setWindowTitle(qs(model.title()));
    auto* chans = new QGroupBox(pt(ptext::kChansToConsider));
    boxes_ = new ChannelBoxes;
    (new QVBoxLayout(chans))->addWidget(boxes_);
    auto* alarms = new QGroupBox(pt(ptext::kAlarmsToConsider));
    auto* al = new QVBoxLayout(alarms);
    for (int k = 1; k <= 4; ++k) {
        limits_[size_t(k - 1)] =
            new QCheckBox(qs(strings::formatText(pageText(ptext::kLimitAlarmN), k)));
        limits_[size_t(k - 1)]->setChecked((model.limits >> (k - 1)) & 1u);
        al->addWidget(limits_[size_t(k - 1)]);
    }
    std::vector<QString> tests;
    for (int c = cfg::kAlarmAtLeastOne; c <= cfg::kAlarmNone; ++c)
        tests.push_back(code(cfg::alarmConditionText(c)));
    QGroupBox* test = radioGroup(pt(ptext::kConditionToTest), test_, this, tests);
    check(test_, model.test);
    boxes_->setState(model.channels, cfg::kAllChannelsMask);
    connect(boxes_, &ChannelBoxes::checkAll, this, [this] {
        m_.checkAll();
        boxes_->setState(m_.channels, cfg::kAllChannelsMask);
    });
    connect(boxes_, &ChannelBoxes::checkNone, this, [this] {
        m_.checkNone();
        boxes_->setState(m_.channels, cfg::kAllChannelsMask);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(pt(ptext::kOk));
    buttons->button(QDialogButtonBox::Cancel)->setText(pt(ptext::kCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(alarms);
    row->addWidget(test);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chans);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void DefineConditionDialog::accept() {
    uint32_t channels = 0;
    for (int n = 1; n <= cfg::kChannels; ++n)
        if (boxes_->box(n)->isChecked())
            channels |= 1u << (n - 1);
    unsigned limits = 0;
    for (int k = 1; k <= 4; ++k)
        if (limits_[size_t(k - 1)]->isChecked())
            limits |= 1u << (k - 1);
    m_.channels = channels;
    m_.limits = limits;
    m_.test = std::max(0, test_->checkedId());
    QDialog::accept();
}

// ---- global --------------------------------------------------------------------------------

GlobPage::GlobPage(GlobPageModel& model, QWidget* parent) : PageWidget(model, parent), m_(model) {
    QGroupBox* ref =
        radioGroup(pt(ptext::kRefJunction), refJunction_, this,
                   {code(cfg::refJunctionText(false)), code(cfg::refJunctionText(true))});
    QGroupBox* trig = radioGroup(pt(ptext::kTrigInput), trig_, this,
                                 {code(cfg::directionText(false)), code(cfg::directionText(true))});
    auto* layout = new QGridLayout(this);
    layout->addWidget(ref, 0, 0);
    layout->addWidget(trig, 0, 1);
    for (int r = 1; r <= 2; ++r) {
        auto* box = new QGroupBox(pt(r == 1 ? ptext::kRelay1 : ptext::kRelay2));
        auto* bl = new QVBoxLayout(box);
        QButtonGroup*& source = source_[size_t(r - 1)];
        source = new QButtonGroup(this);
        addRadio(source, bl, code(cfg::relaySourceText(r, false)), 0);
        addRadio(source, bl, code(cfg::relaySourceText(r, true)), 1);
        auto* controlRow = new QHBoxLayout;
        controlRow->addWidget(new QLabel(pt(ptext::kRelayControl)));
        QButtonGroup*& control = control_[size_t(r - 1)];
        control = new QButtonGroup(this);
        addRadio(control, controlRow, code(cfg::directionText(false)), 0);
        addRadio(control, controlRow, code(cfg::directionText(true)), 1);
        controlRow->addStretch();
        bl->addLayout(controlRow);
        layout->addWidget(box, r, 0, 1, 2);
        connect(source, &QButtonGroup::idClicked, this, [this, r](int id) {
            m_.setRelayModbus(r, id == 1);
            touched();
        });
        connect(control, &QButtonGroup::idClicked, this, [this, r](int id) {
            m_.setRelayReverse(r, id == 1);
            touched();
        });
    }
    layout->setRowStretch(3, 1);
    connect(refJunction_, &QButtonGroup::idClicked, this, [this](int id) {
        m_.setExternalRefJunction(id == 1);
        touched();
    });
    connect(trig_, &QButtonGroup::idClicked, this, [this](int id) {
        m_.setTrigReverse(id == 1);
        touched();
    });
}

void GlobPage::refresh() {
    check(refJunction_, m_.externalRefJunction() ? 1 : 0);
    check(trig_, m_.trigReverse() ? 1 : 0);
    for (int r = 1; r <= 2; ++r) {
        check(source_[size_t(r - 1)], m_.relayModbus(r) ? 1 : 0);
        check(control_[size_t(r - 1)], m_.relayReverse(r) ? 1 : 0);
    }
}

// ---- e-mail ---------------------------------------------------------------------------------

MailPage::MailPage(MailPageModel& model, bool easy, QWidget* parent)
    : PageWidget(model, parent), m_(model) {
    auto* addressees = new QGroupBox(pt(ptext::kAddressees));
    auto* ag = new QGridLayout(addressees);
    for (int i = 1; i <= 3; ++i) {
        QLineEdit*& e = recipients_[size_t(i - 1)];
        e = new QLineEdit;
        e->setMaxLength(int(MailPageModel::kMaxRecipient));
        ag->addWidget(new QLabel(code(cfg::recipientLabel(i))), i - 1, 0);
        ag->addWidget(e, i - 1, 1);
        connect(e, &QLineEdit::textEdited, this, [this, i](const QString& t) {
            m_.setRecipient(i, toAnsi(t));
            Q_EMIT edited();
        });
    }
    auto* conditions = new QGroupBox(pt(ptext::kSendingConditions));
    auto* cl = new QVBoxLayout(conditions);
    for (int bit = 0; bit < 3; ++bit) {
        QCheckBox*& b = conditions_[size_t(bit)];
        b = new QCheckBox(code(cfg::emailConditionText(bit)));
        cl->addWidget(b);
        if (easy && bit == 2)
            b->hide();
        connect(b, &QCheckBox::clicked, this, [this, bit](bool on) {
            m_.setCondition(bit, on);
            touched();
        });
    }
    auto* text = new QGroupBox(pt(ptext::kMessageText));
    message_ = new QPlainTextEdit;
    (new QVBoxLayout(text))->addWidget(message_);
    connect(message_, &QPlainTextEdit::textChanged, this, [this] {
        if (loading_)
            return;
        QString t = message_->toPlainText();
        if (t.size() > qsizetype(MailPageModel::kMaxMessage)) {
            t.truncate(qsizetype(MailPageModel::kMaxMessage));
            loading_ = true;
            message_->setPlainText(t);
            loading_ = false;
        }
        m_.setMessage(toAnsi(t));
        Q_EMIT edited();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(addressees);
    layout->addWidget(conditions);
    layout->addWidget(text, 1);
}

void MailPage::refresh() {
    loading_ = true;
    for (int i = 1; i <= 3; ++i)
        recipients_[size_t(i - 1)]->setText(ansi(m_.recipient(i)));
    for (int bit = 0; bit < 3; ++bit)
        conditions_[size_t(bit)]->setChecked(m_.condition(bit));
    if (toAnsi(message_->toPlainText()) != m_.message())
        message_->setPlainText(ansi(m_.message()));
    loading_ = false;
}

// ---- about -------------------------------------------------------------------------------------

AboutPage::AboutPage(AboutPageModel& model, QWidget* parent)
    : PageWidget(model, parent), m_(model) {
    auto* title = new QLabel(qs(model.titleLine()));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    control_ = new QLabel;
    legal_ = new QLabel;
    special_ = new QLabel;
    auto* sub = new QGroupBox(pt(ptext::kSubComponents));
    server_ = new QLabel;
    (new QVBoxLayout(sub))->addWidget(server_);
    auto* head = new QHBoxLayout;
    head->addWidget(icon);
    head->addWidget(title, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(control_);
    layout->addWidget(legal_);
    layout->addWidget(special_);
    layout->addWidget(sub);
    layout->addStretch();
}

void AboutPage::refresh() {
    control_->setText(qs(m_.controlLine()));
    legal_->setText(qs(m_.legalText()));
    special_->setText(qs(m_.specialBuild()));
    special_->setVisible(!m_.specialBuild().empty());
    server_->setText(qs(m_.serverLine()));
}

// ---- frames
// ---------------------------------------------------------------------------------------

PropertyFrame::PropertyFrame(const QString& title, bool withApply, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    tabs_ = new QTabWidget;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(pt(ptext::kOk));
    buttons->button(QDialogButtonBox::Cancel)->setText(pt(ptext::kCancel));
    apply_ = buttons->addButton(pt(ptext::kApply), QDialogButtonBox::ApplyRole);
    apply_->setVisible(withApply);
    apply_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { applyAll(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

void PropertyFrame::addPage(PageWidget* page, const QString& caption) {
    pages_.push_back(page);
    tabs_->addTab(page, caption);
    connect(page, &PageWidget::edited, this, &PropertyFrame::updateApply);
}

void PropertyFrame::addPages(const std::vector<PageWidget*>& pages, const QString& caption) {
    auto* container = new QWidget;
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    for (PageWidget* page : pages) {
        pages_.push_back(page);
        layout->addWidget(page);
        connect(page, &PageWidget::edited, this, &PropertyFrame::updateApply);
    }
    tabs_->addTab(container, caption);
}

bool PropertyFrame::activate() {
    for (PageWidget* p : pages_) {
        if (failed(p->model().activate()))
            return false;
        p->refresh();
    }
    updateApply();
    return true;
}

bool PropertyFrame::applyAll() {
    for (PageWidget* p : pages_) {
        if (!p->model().changed())
            continue;
        if (p->model().apply(prompter_) != S_OK) {
            tabs_->setCurrentWidget(p);
            updateApply();
            return false;
        }
        p->refresh();
    }
    updateApply();
    return true;
}

void PropertyFrame::accept() {
    if (!applyOnOk_ || applyAll())
        QDialog::accept();
}

void PropertyFrame::updateApply() {
    bool changed = false;
    for (PageWidget* p : pages_)
        changed = changed || p->model().changed();
    apply_->setEnabled(changed);
}

ControlPropertyFrame::ControlPropertyFrame(std::vector<PageTarget*> targets, int firstChannel,
                                           char decimalSep,
                                           std::function<std::optional<ServerVersion>()> server,
                                           QWidget* parent)
    : PropertyFrame(pt(ptext::kFrameTitle), true, parent),
      chans(decimalSep),
      acq(decimalSep),
      mem(decimalSep),
      glob(decimalSep),
      mail(decimalSep),
      about(std::move(server)) {
    for (PageModel* m : std::initializer_list<PageModel*>{&chans, &acq, &mem, &glob, &mail, &about})
        m->attach(targets);
    chans.setFirstChannel(firstChannel);
    addPage(new ChansPage(chans), pt(ptext::kTabChannels));
    addPage(new AcqPage(acq), pt(ptext::kTabAcquisition));
    addPage(new MemPage(mem), pt(ptext::kTabMemBlocks));
    addPage(new GlobPage(glob), pt(ptext::kTabGlobal));
    addPage(new MailPage(mail), pt(ptext::kTabEmail));
    addPage(new AboutPage(about), pt(ptext::kTabAbout));
}

}  // namespace qd40::pages::ui
