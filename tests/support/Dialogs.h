#pragma once
// Opening a dialog the way the main window does, without the main window:
// a new dialog in the given language, filled from a configuration, shown and active.
#include <QTest>
#include <memory>

#include "config/DisplayConfig.h"

namespace testsupport {

inline void showActive(QWidget* dialog)
{
    dialog->show();
    if (!QTest::qWaitForWindowActive(dialog))
        qWarning("dialog not active");
}

template <typename Dialog>
std::unique_ptr<Dialog> openLoaded(int language, const TDisplayConfig& cfg)
{
    auto dialog = std::make_unique<Dialog>(nullptr, language);
    dialog->loadFrom(cfg);
    showActive(dialog.get());
    return dialog;
}

inline TDisplayConfig defaults()
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    return cfg;
}

} // namespace testsupport
