#pragma once
// Changes a radio button or check box the ways a choice can be made: the
// mouse, an assistive tool through the accessibility interface (press or
// toggle action, as a screen reader does), or code. A radio button becomes
// chosen; a check box changes state.
#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QRadioButton>
#include <QString>
#include <QTest>

namespace testsupport {

// The data of a test run once for each way: a column "way".
inline void addChooseWayRows()
{
    QTest::addColumn<QString>("way");
    for (const char* way : {"mouse", "press action", "toggle action", "code"})
        QTest::newRow(way) << QString::fromLatin1(way);
}

inline void choose(QAbstractButton* button, const QString& way)
{
    const bool before = button->isChecked();
    if (way == QLatin1String("mouse")) {
        // On the indicator: a short item's button is wider than what it draws.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    } else if (way == QLatin1String("code")) {
        button->setChecked(qobject_cast<QRadioButton*>(button) ? true : !before);
    } else {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
        QAccessibleActionInterface* actions = face ? face->actionInterface() : nullptr;
        if (!actions)
            qFatal("no accessible actions for %s", qPrintable(button->objectName()));
        actions->doAction(way == QLatin1String("press action") ? QAccessibleActionInterface::pressAction()
                                                                : QAccessibleActionInterface::toggleAction());
    }
    // A pressed button may animate its click before it changes.
    (void)QTest::qWaitFor([&] { return button->isChecked() != before; }, 1000);
}

} // namespace testsupport
