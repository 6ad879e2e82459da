#include "app/DeferredIcons.h"

#include <QCommonStyle>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <functional>
#include <optional>

namespace {

// An icon made by `make` the first time it is asked anything, and then
// answering as that icon does.
class TDeferredIconEngine : public QIconEngine {
public:
    explicit TDeferredIconEngine(std::function<QIcon()> make) : make_(std::move(make)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size / scale, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("TDeferredIconEngine"); }
    QIconEngine* clone() const override { return new TDeferredIconEngine(*this); }

private:
    const QIcon& icon()
    {
        if (!icon_)
            icon_ = make_();
        return *icon_;
    }

    std::function<QIcon()> make_;
    std::optional<QIcon> icon_;
};

} // namespace

QIcon TDeferredIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                       const QWidget* widget) const
{
    const bool extension =
        standardIcon == SP_ToolBarHorizontalExtensionButton || standardIcon == SP_ToolBarVerticalExtensionButton;
    if (!extension)
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    // Of the option, these icons depend on the direction only.
    std::optional<QStyleOption> kept;
    if (option) {
        kept.emplace();
        kept->direction = option->direction;
    }
    // The base style goes with this one; an icon that outlives both is made by Qt's common style.
    return QIcon(new TDeferredIconEngine([base = QPointer<QStyle>(baseStyle()), standardIcon, kept] {
        const QStyleOption* given = kept ? &*kept : nullptr;
        return base ? base->standardIcon(standardIcon, given) : QCommonStyle().standardIcon(standardIcon, given);
    }));
}
