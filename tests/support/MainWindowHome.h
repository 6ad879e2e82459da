#pragma once
// The main window living in a temporary working folder, so that no Conf.dad
// of the user's is read or written.
#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "app/Qxtest.h"

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

} // namespace testsupport
