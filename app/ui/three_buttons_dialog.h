// C3ButtonsDialog: a text and three choices, one button each, one above the
// other; the first is the default. A button without text is not offered.
#pragma once
#include <array>
#include <optional>
#include <string>

#include <QDialog>

namespace qd40::ui {

class C3ButtonsDialog : public QDialog {
public:
    C3ButtonsDialog(const std::string& title, const std::string& text,
                    const std::array<std::string, 3>& buttons, QWidget* parent = nullptr);
    // The button pressed (0..2), nullopt when the dialog was closed otherwise.
    std::optional<int> choice() const { return choice_; }

private:
    std::optional<int> choice_;
};

}  // namespace qd40::ui
