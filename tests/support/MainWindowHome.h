#pragma once
// The main window the dialogs read their language from, living in a temporary
// working folder so that no Conf.dad of the user's is read.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/Qxtest.h"
#include "config/DisplayConfig.h"

namespace testsupport {

class MainWindowHome {
public:
    MainWindowHome() : previous_(QDir::currentPath())
    {
        if (!dir_.isValid() || !QDir::setCurrent(dir_.path()))
            qFatal("no temporary working folder");
        main_ = std::make_unique<TForm1>();
    }
    ~MainWindowHome()
    {
        main_.reset();
        QDir::setCurrent(previous_);
    }
    MainWindowHome(const MainWindowHome&) = delete;
    MainWindowHome& operator=(const MainWindowHome&) = delete;

    TForm1* get() const { return main_.get(); }
    TForm1* operator->() const { return main_.get(); }

private:
    QTemporaryDir dir_;
    QString previous_;
    std::unique_ptr<TForm1> main_;
};

// A new dialog owned by `owner`, filled from cfg, shown and active.
template <typename Dialog>
std::unique_ptr<Dialog> openLoaded(QWidget* owner, const TDisplayConfig& cfg)
{
    auto dialog = std::make_unique<Dialog>(owner);
    dialog->loadFrom(cfg);
    dialog->show();
    if (!QTest::qWaitForWindowActive(dialog.get()))
        qWarning("dialog not active");
    return dialog;
}

} // namespace testsupport
