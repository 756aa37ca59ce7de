#include "app/ui/security/security_dialogs.h"

#include <limits>

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/security/security_strings.h"

namespace qd40::ui {

namespace {
namespace text = security::text;
using security::LocalTime;

QString st(int id, const std::vector<std::string>& args = {}) {
    return QString::fromStdString(security::securityText(id, args));
}

QLineEdit* newPasswordEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(static_cast<int>(security::kMaxPasswordLength));
    return edit;
}

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QDateTime qtDateTime(LocalTime t) {
    const DateTime d = security::dateTimeOf(t);
    return QDateTime(QDate(d.year, d.month, d.day), QTime(d.hour, d.minute, d.second));
}

LocalTime localTime(const QDateTime& dt) {
    return security::localTimeOf(dt.date().year(), dt.date().month(), dt.date().day(),
                                 dt.time().hour(), dt.time().minute(), dt.time().second());
}

std::vector<std::string> itemTexts(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toStdString());
    return out;
}

// The rights' check boxes by topic, in the bits' order within each.
struct RightsTopic {
    int titleId;
    std::vector<int> bits;
};
const RightsTopic kTopics[] = {
    {text::kDocumentsRights, {0, 1, 2, 3, 8, 13, 14}},
    {text::kModulesRights, {4, 5, 6, 9, 10, 12}},
    {text::kApplicationRights, {7, 11}},
};
}  // namespace

// ---- connection --------------------------------------------------------------------

ConnectionDialog::ConnectionDialog(int titleId, const std::string& fixedIdentifier, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(st(titleId));
    auto* form = new QFormLayout;
    identifier_ = new QLineEdit(this);
    identifier_->setMaxLength(20);
    password_ = newPasswordEdit(this);
    form->addRow(st(text::kIdentifierLabel), identifier_);
    form->addRow(st(text::kPasswordLabel), password_);
    if (!fixedIdentifier.empty()) {
        identifier_->setText(QString::fromStdString(fixedIdentifier));
        identifier_->setReadOnly(true);
        password_->setFocus();
    }
    auto* buttons = okCancel(this);
    change_ = buttons->addButton(st(text::kChangePasswordButton), QDialogButtonBox::ActionRole);
    change_->setAutoDefault(false);
    connect(change_, &QPushButton::clicked, this, [this] {
        changeRequested_ = true;
        QDialog::accept();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

security::ConnectionEntry ConnectionDialog::entry() const {
    return {identifier_->text().trimmed().toStdString(), password_->text().toStdString(),
            changeRequested_};
}

ChangePasswordDialog::ChangePasswordDialog(const std::string& identifier,
                                           const std::string& currentPassword, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(st(text::kChangingPassword));
    auto* form = new QFormLayout;
    auto* ident = new QLineEdit(QString::fromStdString(identifier), this);
    ident->setReadOnly(true);
    ident->setFocusPolicy(Qt::NoFocus);
    current_ = newPasswordEdit(this);
    current_->setText(QString::fromStdString(currentPassword));
    new_ = newPasswordEdit(this);
    confirm_ = newPasswordEdit(this);
    form->addRow(st(text::kFixedIdentLabel), ident);
    form->addRow(st(text::kCurrentPasswordLabel), current_);
    form->addRow(st(text::kNewPasswordLabel), new_);
    form->addRow(st(text::kConfirmPasswordLabel), confirm_);
    (currentPassword.empty() ? current_ : new_)->setFocus();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
    setMinimumWidth(380);
}

security::PasswordEntry ChangePasswordDialog::entry() const {
    return {current_->text().toStdString(), new_->text().toStdString(),
            confirm_->text().toStdString()};
}

LineDialog::LineDialog(int titleId, QWidget* parent) : QDialog(parent) {
    setWindowTitle(st(titleId));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(st(text::kEnterLineLabel), this);
    edit_ = new QLineEdit(this);
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addWidget(okCancel(this));
    setMinimumWidth(460);
}

std::string LineDialog::line() const {
    return edit_->text().toStdString();
}

// ---- users -------------------------------------------------------------------------

UserDialog::UserDialog(security::CUserRights& rights, int index, QWidget* parent)
    : QDialog(parent), rights_(rights), index_(index) {
    setWindowTitle(st(text::kUserTitle));
    const bool known = index >= 0 && index < static_cast<int>(rights.users().size());
    const security::CUser user = known ? rights.users()[size_t(index)] : security::CUser{};
    auto* form = new QFormLayout;
    name_ = new QLineEdit(QString::fromStdString(user.name), this);
    name_->setMaxLength(50);
    identifier_ = new QLineEdit(QString::fromStdString(user.identifier), this);
    identifier_->setMaxLength(20);
    form->addRow(st(text::kUserNameLabel), name_);
    form->addRow(st(text::kUserIdentLabel), identifier_);
    if (!known) {
        password_ = newPasswordEdit(this);
        form->addRow(st(text::kStartingPasswordLabel), password_);
    }
    supervisor_ = new QCheckBox(st(text::kSupervisorCheck), this);
    supervisor_->setChecked(user.supervisor);
    form->addRow(QString(), supervisor_);

    auto* box = new QGroupBox(st(text::kGroupsBox), this);
    auto* boxLayout = new QVBoxLayout(box);
    for (int g = 0; g < security::kGroupCount; ++g) {
        groups_[size_t(g)] =
            new QCheckBox(QString::fromStdString(rights.groups()[size_t(g)].name), box);
        groups_[size_t(g)]->setChecked(user.groups[size_t(g)]);
        boxLayout->addWidget(groups_[size_t(g)]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(box);
    layout->addWidget(okCancel(this));
    setMinimumWidth(420);
}

void UserDialog::accept() {
    security::CUser edited;
    edited.name = name_->text().trimmed().toStdString();
    edited.identifier = identifier_->text().trimmed().toStdString();
    if (password_)
        edited.password = password_->text().toStdString();
    edited.supervisor = supervisor_->isChecked();
    for (int g = 0; g < security::kGroupCount; ++g)
        edited.groups[size_t(g)] = groups_[size_t(g)]->isChecked();
    if (rights_.acceptUserEdit(index_, edited))
        QDialog::accept();
}

UsersDialog::UsersDialog(security::CUserRights& rights, QWidget* parent)
    : QDialog(parent), rights_(rights) {
    setWindowTitle(st(text::kUsersTitle));
    list_ = new QListWidget(this);
    auto* add = new QPushButton(st(text::kNewUserButton), this);
    auto* edit = new QPushButton(st(text::kEditButton), this);
    auto* remove = new QPushButton(st(text::kDeleteUserButton), this);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, Qt::Vertical, this);
    connect(add, &QPushButton::clicked, this, &UsersDialog::newUser);
    connect(edit, &QPushButton::clicked, this, &UsersDialog::editUser);
    connect(remove, &QPushButton::clicked, this, &UsersDialog::deleteUser);
    connect(list_, &QListWidget::itemDoubleClicked, this, &UsersDialog::editUser);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* side = new QVBoxLayout;
    side->addWidget(add);
    side->addWidget(edit);
    side->addWidget(remove);
    side->addStretch();
    side->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(side);
    refresh();
    resize(460, 280);
}

void UsersDialog::refresh(const std::string& current) {
    list_->clear();
    for (const std::string& name : rights_.userNames()) {
        list_->addItem(QString::fromStdString(name));
        if (name == current)
            list_->setCurrentRow(list_->count() - 1);
    }
    if (!list_->currentItem() && list_->count() > 0)
        list_->setCurrentRow(0);
}

void UsersDialog::newUser() {
    UserDialog dialog(rights_, -1, this);
    if (dialog.exec() == QDialog::Accepted)
        refresh(dialog.nameEdit()->text().trimmed().toStdString());
}

void UsersDialog::editUser() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    const std::string name = item->text().toStdString();
    const auto found = rights_.findUserByName(name);
    if (!found || found->isBuiltIn())
        return;
    if (rights_.offerToLiftBan(found->index) == security::Answer::Cancel)
        return;
    UserDialog dialog(rights_, found->index, this);
    if (dialog.exec() == QDialog::Accepted)
        refresh(dialog.nameEdit()->text().trimmed().toStdString());
}

void UsersDialog::deleteUser() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    const std::string name = item->text().toStdString();
    rights_.DeleteUser(name);
    refresh(name);  // the same row while the user stays
}

// ---- groups ------------------------------------------------------------------------

GroupDialog::GroupDialog(security::CUserRights& rights, int index, QWidget* parent)
    : QDialog(parent), manager_(rights), index_(index) {
    setWindowTitle(st(text::kGroupTitle));
    const security::CUserGroup group = rights.groups()[size_t(index)];
    name_ = new QLineEdit(QString::fromStdString(group.name), this);
    name_->setMaxLength(50);
    auto* nameRow = new QFormLayout;
    nameRow->addRow(st(text::kGroupNameLabel), name_);

    registered_ = new QListWidget(this);
    unregistered_ = new QListWidget(this);
    auto* add = new QPushButton(st(text::kAddButton), this);
    auto* remove = new QPushButton(st(text::kRemoveButton), this);
    auto* create = new QPushButton(st(text::kNewUserInGroup), this);
    connect(add, &QPushButton::clicked, this, &GroupDialog::addSelected);
    connect(remove, &QPushButton::clicked, this, &GroupDialog::removeSelected);
    connect(create, &QPushButton::clicked, this, &GroupDialog::newUser);
    // Declaring users is a supervisor's.
    create->setEnabled(rights.commandEnabled(security::SecurityCommand::Users));
    auto* users = new QGridLayout;
    auto* unregisteredLabel = new QLabel(st(text::kUnregisteredUsers), this);
    unregisteredLabel->setBuddy(unregistered_);
    auto* registeredLabel = new QLabel(st(text::kRegisteredUsers), this);
    registeredLabel->setBuddy(registered_);
    users->addWidget(unregisteredLabel, 0, 0);
    users->addWidget(registeredLabel, 0, 2);
    users->addWidget(unregistered_, 1, 0);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(add);
    moves->addWidget(remove);
    moves->addStretch();
    moves->addWidget(create);
    users->addLayout(moves, 1, 1);
    users->addWidget(registered_, 1, 2);

    std::vector<std::string> members;
    for (const security::CUser& u : rights.users())
        if (u.groups[size_t(index)])
            members.push_back(u.name);
    fillUsers(members);

    auto* rightsBox = new QGroupBox(st(text::kRightsBox), this);
    auto* topics = new QHBoxLayout(rightsBox);
    const bool supervisor = rights.isConnectedUserSupervisor();
    for (const RightsTopic& topic : kTopics) {
        auto* box = new QGroupBox(st(topic.titleId), rightsBox);
        auto* column = new QVBoxLayout(box);
        for (int bit : topic.bits) {
            auto* check = new QCheckBox(st(text::kRightLabel0 + bit), box);
            check->setChecked((group.rights >> bit & 1u) != 0);
            if (!supervisor && (security::kSupervisorOnlyRights >> bit & 1u) != 0)
                check->setEnabled(false);
            rights_[size_t(bit)] = check;
            column->addWidget(check);
        }
        column->addStretch();
        topics->addWidget(box);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addLayout(users);
    layout->addWidget(rightsBox);
    layout->addWidget(okCancel(this));
}

void GroupDialog::fillUsers(const std::vector<std::string>& members) {
    registered_->clear();
    unregistered_->clear();
    for (const std::string& name : manager_.userNames()) {
        const bool member = std::find(members.begin(), members.end(), name) != members.end();
        (member ? registered_ : unregistered_)->addItem(QString::fromStdString(name));
    }
}

void GroupDialog::addSelected() {
    if (QListWidgetItem* item = unregistered_->takeItem(unregistered_->currentRow()))
        registered_->addItem(item);
}

void GroupDialog::removeSelected() {
    if (QListWidgetItem* item = registered_->takeItem(registered_->currentRow()))
        unregistered_->addItem(item);
}

void GroupDialog::newUser() {
    std::vector<std::string> members = itemTexts(registered_);
    UserDialog dialog(manager_, -1, this);
    dialog.groupCheck(index_)->setChecked(true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const security::CUser& added = manager_.users().back();
    if (added.groups[size_t(index_)])
        members.push_back(added.name);
    fillUsers(members);
}

void GroupDialog::accept() {
    uint32_t word = manager_.groups()[size_t(index_)].rights;
    for (int bit = 0; bit < 15; ++bit) {
        if (rights_[size_t(bit)]->isChecked())
            word |= 1u << bit;
        else
            word &= ~(1u << bit);
    }
    if (manager_.acceptGroupEdit(index_, name_->text().toStdString(), itemTexts(registered_), word))
        QDialog::accept();
}

GroupsDialog::GroupsDialog(security::CUserRights& rights, QWidget* parent)
    : QDialog(parent), rights_(rights) {
    setWindowTitle(st(text::kGroupsTitle));
    list_ = new QListWidget(this);
    auto* edit = new QPushButton(st(text::kEditButton), this);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, Qt::Vertical, this);
    connect(edit, &QPushButton::clicked, this, &GroupsDialog::editGroup);
    connect(list_, &QListWidget::itemDoubleClicked, this, &GroupsDialog::editGroup);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* side = new QVBoxLayout;
    side->addWidget(edit);
    side->addStretch();
    side->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(side);
    refresh(0);
    resize(400, 220);
}

void GroupsDialog::refresh(int row) {
    list_->clear();
    for (const std::string& name : rights_.groupNames())
        list_->addItem(QString::fromStdString(name));
    list_->setCurrentRow(row);
}

void GroupsDialog::editGroup() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    const int row = list_->currentRow();
    const int index = rights_.findGroupForEdit(item->text().toStdString());
    if (index < 0)
        return;
    GroupDialog dialog(rights_, index, this);
    if (dialog.exec() == QDialog::Accepted)
        refresh(row);
}

// ---- security attributes -----------------------------------------------------------

SecurityAttributesDialog::SecurityAttributesDialog(security::CUserRights& rights, QWidget* parent)
    : QDialog(parent), rights_(rights) {
    setWindowTitle(st(text::kAttributesTitle));
    const security::SecuritySettings& s = rights.settings();
    const auto spin = [this](int low, int high, int value) {
        auto* box = new QSpinBox(this);
        box->setRange(low, high);
        box->setValue(value);
        return box;
    };
    days_ = spin(1, 10000, s.pwdDaysValid);
    retries_ = spin(1, 100, s.retries);
    minLength_ = spin(3, int(security::kMaxPasswordLength), s.pwdMinLen);
    connection_ = spin(0, 100000, s.cnxMnValid);
    ban_ = spin(0, 100000, s.forbiddenTime);
    auto* form = new QFormLayout;
    form->addRow(st(text::kPwdDaysLabel), days_);
    form->addRow(st(text::kRetriesLabel), retries_);
    form->addRow(st(text::kPwdMinLenLabel), minLength_);
    form->addRow(st(text::kCnxValidLabel), connection_);
    form->addRow(st(text::kBanLabel), ban_);
    const auto check = [this](int id, bool value) {
        auto* box = new QCheckBox(st(id), this);
        box->setChecked(value);
        return box;
    };
    printUserName_ = check(text::kPrintUserNameCheck, s.printUserName);
    noSwitching_ = check(text::kNoSwitchingCheck, !s.appChangeRights);
    noOverwriting_ = check(text::kNoOverwritingCheck, !s.deleteRights);
    auditTrail_ = check(text::kAuditTrailCheck, s.auditTrail);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    for (QCheckBox* c : {printUserName_, noSwitching_, noOverwriting_, auditTrail_})
        layout->addWidget(c);
    layout->addWidget(okCancel(this));
}

security::SecuritySettings SecurityAttributesDialog::values() const {
    security::SecuritySettings s = rights_.settings();
    s.pwdDaysValid = days_->value();
    s.retries = retries_->value();
    s.pwdMinLen = minLength_->value();
    s.cnxMnValid = connection_->value();
    s.forbiddenTime = ban_->value();
    s.printUserName = printUserName_->isChecked();
    s.appChangeRights = !noSwitching_->isChecked();
    s.deleteRights = !noOverwriting_->isChecked();
    s.auditTrail = auditTrail_->isChecked();
    return s;
}

void SecurityAttributesDialog::accept() {
    if (rights_.applySecuritySettings(values()))
        QDialog::accept();
}

// ---- audit trail -------------------------------------------------------------------

SelectDatesDialog::SelectDatesDialog(LocalTime now, QWidget* parent) : QDialog(parent) {
    setWindowTitle(st(text::kSelectDates));
    const auto edit = [this, now] {
        auto* e = new QDateTimeEdit(qtDateTime(now), this);
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        e->setCalendarPopup(true);
        return e;
    };
    from_ = edit();
    to_ = edit();
    auto* form = new QFormLayout;
    form->addRow(st(text::kBeginningLabel), from_);
    form->addRow(st(text::kEndingLabel), to_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

LocalTime SelectDatesDialog::from() const {
    return localTime(from_->dateTime());
}

LocalTime SelectDatesDialog::to() const {
    return localTime(to_->dateTime());
}

std::vector<std::string> printAuditText(QPrinter& printer, const QString& text, const QFont& font,
                                        const std::optional<std::string>& footer) {
    QPainter p;
    if (!p.begin(&printer))
        return {};
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&printer);
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    doc.setPlainText(text);
    const QRectF area(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
    const QFontMetricsF metrics(font, &printer);
    const qreal footerHeight = footer ? metrics.height() * 2 : 0;
    const qreal bodyHeight = area.height() - footerHeight;
    doc.setPageSize(QSizeF(area.width(), bodyHeight));
    const int pages = std::max(1, doc.pageCount());
    std::vector<std::string> drawn;
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            printer.newPage();
        p.save();
        p.translate(0, -i * bodyHeight);
        doc.drawContents(&p, QRectF(0, i * bodyHeight, area.width(), bodyHeight));
        p.restore();
        if (footer) {
            p.setFont(font);
            p.drawText(QRectF(0, bodyHeight, area.width(), footerHeight),
                       Qt::AlignLeft | Qt::AlignBottom, QString::fromStdString(*footer));
        }
        drawn.push_back(footer.value_or(std::string()));
    }
    p.end();
    return drawn;
}

AuditTextDialog::AuditTextDialog(security::CUserRights& rights, security::Prompter& prompter,
                                 const security::Clock& clock, std::string text, QWidget* parent)
    : QDialog(parent), rights_(rights), prompter_(prompter), clock_(clock), text_(std::move(text)) {
    setWindowTitle(st(text::kTextTitle));
    edit_ = new QTextEdit(this);
    edit_->setReadOnly(true);
    edit_->setLineWrapMode(QTextEdit::NoWrap);
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit_->setPlainText(QString::fromStdString(text_).remove(QLatin1Char('\r')));
    edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* buttons = new QDialogButtonBox(this);
    auto* close = buttons->addButton(st(text::kCloseButton), QDialogButtonBox::RejectRole);
    auto* copyButton = buttons->addButton(st(text::kCopyButton), QDialogButtonBox::ActionRole);
    auto* printButton = buttons->addButton(st(text::kPrintButton), QDialogButtonBox::ActionRole);
    auto* pdf = buttons->addButton(st(text::kPdfButton), QDialogButtonBox::ActionRole);
    auto* dates = buttons->addButton(st(text::kSelectDatesButton), QDialogButtonBox::ActionRole);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(copyButton, &QPushButton::clicked, this, &AuditTextDialog::copy);
    connect(printButton, &QPushButton::clicked, this, &AuditTextDialog::print);
    connect(pdf, &QPushButton::clicked, this, &AuditTextDialog::choosePdf);
    connect(dates, &QPushButton::clicked, this, [this] { selectDates(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    resize(760, 480);
}

void AuditTextDialog::copy() {
    edit_->copy();
}

void AuditTextDialog::printOn(QPrinter& printer) {
    printAuditText(printer, edit_->toPlainText(), edit_->font(), rights_.printFooter());
}

void AuditTextDialog::print() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        printOn(printer);
}

bool AuditTextDialog::saveAsPdf(const QString& file) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    const bool written =
        !printAuditText(printer, edit_->toPlainText(), edit_->font(), rights_.printFooter())
             .empty() &&
        QFileInfo(file).size() > 0;
    if (!written)
        prompter_.message(text::kPdfNotWritten, {file.toStdString()}, security::Buttons::Ok,
                          security::Icon::Exclamation);
    return written;
}

void AuditTextDialog::choosePdf() {
    const QString file = QFileDialog::getSaveFileName(this, st(text::kPdfButton).remove('&'),
                                                      QString(), st(text::kPdfFilter));
    if (!file.isEmpty())
        saveAsPdf(file);
}

bool AuditTextDialog::selectDates() {
    const platform::Locale& format = rights_.auditTrail().dateFormat();
    if (!security::selectDateRange(text_, std::numeric_limits<LocalTime>::min(),
                                   std::numeric_limits<LocalTime>::max(), format)) {
        prompter_.message(text::kWrongDate, {}, security::Buttons::Ok, security::Icon::Exclamation);
        return false;
    }
    SelectDatesDialog dialog(clock_.now(), this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const auto range = security::selectDateRange(text_, dialog.from(), dialog.to(), format);
    if (!range)
        return false;
    // Offsets in the UTF-8 text with its CR LF line ends, as positions in the
    // text shown without the CRs.
    const auto position = [this](size_t offset) {
        return int(QString::fromUtf8(text_.data(), qsizetype(std::min(offset, text_.size())))
                       .remove(QLatin1Char('\r'))
                       .size());
    };
    QTextCursor cursor(edit_->document());
    cursor.setPosition(position(range->begin));
    cursor.setPosition(position(range->end), QTextCursor::KeepAnchor);
    edit_->setTextCursor(cursor);
    edit_->ensureCursorVisible();
    return true;
}

QString AuditTextDialog::selectedText() const {
    return edit_->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
}

}  // namespace qd40::ui
