#pragma once
// Drives modal windows from a test: the action runs once a modal window of
// the wanted type (dialog, message box, file dialog) is up.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace testsupport {

// Runs action(modal) as soon as a visible modal widget of type T is active;
// gives up after timeoutMs.
template <typename T = QWidget>
void whenModal(std::function<void(T*)> action, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto remaining = std::make_shared<int>(timeoutMs / 20);
    QObject::connect(timer, &QTimer::timeout, [timer, remaining, action = std::move(action)] {
        T* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            QPointer<QWidget> shown(modal);
            action(modal);
            // A failed check returns from the action early: the window is
            // closed all the same, so the test fails instead of waiting for ever.
            if (auto* dialog = qobject_cast<QDialog*>(shown.data()); dialog && dialog->isVisible())
                dialog->reject();
        } else if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

// Accepts every message box that comes up while it lives, keeping its texts.
class TMessageWatch {
public:
    TMessageWatch()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                details << box->informativeText();
                box->accept();
            }
        });
        timer_.start(10);
    }
    QStringList texts;
    QStringList details; // the informative texts

private:
    QTimer timer_;
};

// Clicks `button`, or presses Enter in `enterIn` when given, and returns the
// text of the message box that came up, which is closed; empty when none came.
inline QString messageFrom(QAbstractButton* button, QWidget* enterIn = nullptr)
{
    QString shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    watch.start(20);
    if (enterIn)
        QTest::keyClick(enterIn, Qt::Key_Return);
    else
        QTest::mouseClick(button, Qt::LeftButton);
    return shown;
}

} // namespace testsupport
