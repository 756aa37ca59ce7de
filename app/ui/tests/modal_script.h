// Answers the modal windows of a flow as they come, offscreen: each message
// box is recorded (its text) and answered with the next scripted button (Ok,
// or the default button, when none is left); each other dialog is handed to
// the next scripted step, which fills it and names the button to press. The
// press is queued, so a step never runs inside the window's own handling. A
// window with no step left is rejected and the test fails; so is any window
// still open when the deadline passes.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

namespace qd40::ui::testing {

class ModalScript : public QObject {
public:
    // A step gets the dialog and returns the button to press, or null to
    // reject the dialog.
    using Step = std::function<QAbstractButton*(QDialog&)>;

    explicit ModalScript(int deadlineMs = 20000) {
        connect(&timer_, &QTimer::timeout, this, &ModalScript::tick);
        timer_.start(5);
        deadline_.setSingleShot(true);
        connect(&deadline_, &QTimer::timeout, this, [this] {
            timedOut_ = true;
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
        });
        deadline_.start(deadlineMs);
    }
    ~ModalScript() override {
        EXPECT_FALSE(timedOut_) << "a window was still open at the deadline";
        EXPECT_TRUE(steps_.empty()) << steps_.size() << " scripted dialogs never came";
    }

    void step(Step s) { steps_.push_back(std::move(s)); }
    void answer(QMessageBox::StandardButton b) { answers_.push_back(b); }

    // The texts of the message boxes shown, in order.
    const std::vector<std::string>& boxes() const { return boxes_; }
    // The titles of the dialogs handed to the steps, in order.
    const std::vector<std::string>& dialogs() const { return dialogs_; }
    // How many busy bars were shown.
    int busyShown() const { return busyShown_; }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == handled_ || !modal->isVisible())
            return;
        if (qobject_cast<QProgressDialog*>(modal)) {
            ++busyShown_;  // a busy bar ends by itself
            handled_ = modal;
            return;
        }
        handled_ = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes_.push_back(box->text().toStdString());
            QAbstractButton* b =
                box->defaultButton() ? box->defaultButton() : box->button(QMessageBox::Ok);
            if (!answers_.empty()) {
                b = box->button(answers_.front());
                answers_.pop_front();
            }
            press(box, b);
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog)
            return;
        dialogs_.push_back(dialog->windowTitle().toStdString());
        if (steps_.empty()) {
            ADD_FAILURE() << "unscripted dialog \"" << dialogs_.back() << "\"";
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
            return;
        }
        const Step s = std::move(steps_.front());
        steps_.pop_front();
        press(dialog, s(*dialog));
    }
    void press(QDialog* dialog, QAbstractButton* button) {
        QPointer<QDialog> d(dialog);
        QPointer<QAbstractButton> b(button);
        QTimer::singleShot(0, this, [this, d, b, hasButton = button != nullptr] {
            if (!d)
                return;
            // A window still open after the press (a refusal, a list after
            // its nested dialog) goes to the next step.
            handled_ = nullptr;
            if (!hasButton)
                d->reject();
            else if (b)
                b->click();
        });
    }

    QTimer timer_;
    QTimer deadline_;
    bool timedOut_ = false;
    int busyShown_ = 0;
    QPointer<QWidget> handled_;
    std::deque<Step> steps_;
    std::deque<QMessageBox::StandardButton> answers_;
    std::vector<std::string> boxes_;
    std::vector<std::string> dialogs_;
};

// The dialog's button whose text is `text` (mnemonic '&' ignored).
inline QAbstractButton* buttonNamed(QWidget& w, const QString& text) {
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        if (b->text().remove('&') == QString(text).remove('&'))
            return b;
    ADD_FAILURE() << "no button " << text.toStdString() << " in " << w.windowTitle().toStdString();
    return nullptr;
}

}  // namespace qd40::ui::testing
