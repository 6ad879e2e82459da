#pragma once
// Finds a window's control by its object name; a missing control ends the test
// program, since every later step would only fail more obscurely.
#include <QString>
#include <QWidget>

namespace testsupport {

template <typename T>
T* child(QWidget* window, const QString& name)
{
    T* w = window->findChild<T*>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

} // namespace testsupport
