#include "app/ui/three_buttons_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qd40::ui {

C3ButtonsDialog::C3ButtonsDialog(const std::string& title, const std::string& text,
                                 const std::array<std::string, 3>& buttons, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromStdString(title));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromStdString(text), this);
    label->setWordWrap(true);
    label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 60);
    layout->addWidget(label);
    layout->addSpacing(8);
    bool first = true;
    for (int i = 0; i < 3; ++i) {
        if (buttons[size_t(i)].empty())
            continue;
        auto* b = new QPushButton(QString::fromStdString(buttons[size_t(i)]), this);
        if (first)
            b->setDefault(true);
        first = false;
        connect(b, &QPushButton::clicked, this, [this, i] {
            choice_ = i;
            accept();
        });
        layout->addWidget(b);
    }
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qd40::ui
