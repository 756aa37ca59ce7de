#include "app/ui/qt_prompter.h"

#include <QApplication>
#include <QPushButton>

#include "app/core/views/message_icon.h"
#include "app/ui/comm_dialog.h"
#include "app/ui/three_buttons_dialog.h"

namespace qd40::ui {

namespace {

QMessageBox::Icon qtIcon(app::Icon icon) {
    switch (icon) {
        case app::Icon::Information:
            return QMessageBox::Information;
        case app::Icon::Exclamation:
            return QMessageBox::Warning;
        case app::Icon::Question:
            return QMessageBox::Question;
        case app::Icon::Stop:
            return QMessageBox::Critical;
        case app::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The buttons of a box in their order, with the answer each gives.
std::vector<std::pair<QMessageBox::StandardButton, app::Answer>> buttonsOf(app::Buttons b) {
    using B = QMessageBox;
    using A = app::Answer;
    switch (b) {
        case app::Buttons::Ok:
            return {{B::Ok, A::Ok}};
        case app::Buttons::OkCancel:
            return {{B::Ok, A::Ok}, {B::Cancel, A::Cancel}};
        case app::Buttons::YesNo:
            return {{B::Yes, A::Yes}, {B::No, A::No}};
        case app::Buttons::YesNoCancel:
            return {{B::Yes, A::Yes}, {B::No, A::No}, {B::Cancel, A::Cancel}};
    }
    return {{B::Ok, A::Ok}};
}

}  // namespace

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const std::string& caption,
                                            const std::string& text, app::Buttons buttons,
                                            app::Icon icon, int defaultButton) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(QString::fromStdString(caption));
    box->setText(QString::fromStdString(text));
    box->setIcon(qtIcon(app::views::messageIcon(icon, buttons)));
    const auto list = buttonsOf(buttons);
    for (size_t i = 0; i < list.size(); ++i) {
        QPushButton* b = box->addButton(list[i].first);
        if (static_cast<int>(i) == defaultButton)
            box->setDefaultButton(b);
    }
    return box;
}

app::Answer QtPrompter::message(const std::string& text, app::Buttons buttons, app::Icon icon,
                                int defaultButton) {
    auto box = makeMessageBox(parent_, caption_, text, buttons, icon, defaultButton);
    box->exec();
    const QMessageBox::StandardButton pressed = box->standardButton(box->clickedButton());
    for (const auto& [button, answer] : buttonsOf(buttons)) {
        if (button == pressed)
            return answer;
    }
    // Closed with Escape or the window's close button.
    return buttons == app::Buttons::Ok ? app::Answer::Ok : app::Answer::Cancel;
}

std::optional<int> QtPrompter::threeChoices(const std::string& title, const std::string& text,
                                            const std::array<std::string, 3>& buttons) {
    C3ButtonsDialog dialog(title, text, buttons, parent_);
    dialog.exec();
    return dialog.choice();
}

bool QtPrompter::editCommParams(ctl::CtlConnection& params) {
    CCommDialog dialog(params, caption_, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    params = dialog.params();
    return true;
}

void QtPrompter::beep() {
    QApplication::beep();
}

}  // namespace qd40::ui
