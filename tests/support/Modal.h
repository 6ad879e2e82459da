#pragma once
// Drives modal windows from a test: the action runs once a modal window of
// the wanted type (dialog, message box, file dialog) is up.
#include <QApplication>
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
            action(modal);
        } else if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

} // namespace testsupport
