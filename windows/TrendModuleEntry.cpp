// The trend module's entry: the window, and the view through which the main
// window drives it.
#include <QPointer>

#include "windows/TrendModule.h"
#include "windows/TrendWindow.h"

namespace {

class TTrendWindowHandle final : public TTrendHandle {
public:
    explicit TTrendWindowHandle(TTrendWindow* window) : window_(window) {}
    QWidget* widget() override { return window_; }
    void setLanguage(TLanguage language) override
    {
        if (window_)
            window_->setLanguage(language);
    }
    void setSetpoints(const TTrendSetpoints& setpoints) override
    {
        if (window_)
            window_->setSetpoints(setpoints);
    }
    void addReading(const TReading& reading) override
    {
        if (window_)
            window_->addReading(reading);
    }

private:
    QPointer<TTrendWindow> window_;
};

} // namespace

extern "C" __attribute__((visibility("default"))) TTrendHandle* dadizMakeTrendHandle1(
    TLanguage language, const TTrendSetpoints& setpoints, QWidget* parent)
{
    return new TTrendWindowHandle(new TTrendWindow(language, setpoints, parent));
}
