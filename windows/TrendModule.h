#pragma once
#include <QString>
#include <QStringList>

#include "base/Language.h"

#include <memory>

#include "trend/Reading.h"
#include "trend/Setpoints.h"

class QWidget;

// The trend window as the main window drives it. The window itself, drawn
// with Qt Charts, lives in a module of its own that is loaded when the trend
// is first opened, so that the program starts without Qt Charts and OpenGL.
class TTrendHandle {
public:
    virtual ~TTrendHandle() = default;
    // The window (owned by the parent it was made with).
    virtual QWidget* widget() = 0;
    virtual void setLanguage(TLanguage language) = 0;
    virtual void setSetpoints(const TTrendSetpoints& setpoints) = 0;
    virtual void addReading(const TReading& reading) = 0;
};

// The module's file name, and the one function it exports: it makes the
// window and the handle that drives it. The name carries the handle's revision,
// so that a module built for another one is refused rather than called.
inline constexpr char kTrendModuleFile[] = "libdadiz-trend.so";
inline constexpr char kTrendModuleEntry[] = "dadizMakeTrendHandle1";
using TTrendModuleEntry = TTrendHandle* (*)(TLanguage language, const TTrendSetpoints& setpoints, QWidget* parent);

// Where the module is looked for: beside the program (a build folder), then
// in the package's library folder, lib/dadiz beside the program's bin/.
QStringList trendModuleFolders();

// Loads the module from the first of `folders` that holds it, or takes it
// when it is already loaded, and makes the window. On failure the handle is
// empty and `error` says, in `language`, what failed and where it looked.
struct TTrendOpening {
    std::unique_ptr<TTrendHandle> handle;
    QString error;
};
TTrendOpening openTrendWindow(TLanguage language, const TTrendSetpoints& setpoints, QWidget* parent,
                            const QStringList& folders = trendModuleFolders());
