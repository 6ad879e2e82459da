#include "app/PngIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <vector>

#include "dialogs/DialogSupport.h"

namespace {

// Answers as the plain pixmap engine would with every file added: each call
// first reads the file that engine would pick, the smallest at least as
// large as the size asked for (by area), or else the largest; `loaded_`,
// holding that file, then answers as it would.
class TPngIconEngine : public QIconEngine {
public:
    TPngIconEngine(QString name, std::vector<int> sizes) : name_(std::move(name)), sizes_(std::move(sizes))
    {
        std::sort(sizes_.begin(), sizes_.end());
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        if (!read(size))
            return {};
        return loaded_.pixmap(size, 1.0, mode, state);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPaintDevice* device = painter->device();
        const qreal dpr = device ? device->devicePixelRatio() : qApp->devicePixelRatio();
        painter->drawPixmap(rect, scaledPixmap(rect.size() * dpr, mode, state, dpr));
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = pick(size);
        if (side == 0)
            return {};
        QSize actual(side, side);
        if (actual.width() > size.width() || actual.height() > size.height())
            actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        QList<QSize> sizes;
        if (mode == QIcon::Normal && state == QIcon::Off)
            for (int side : sizes_)
                sizes.push_back(QSize(side, side));
        return sizes;
    }

    bool isNull() override { return sizes_.empty(); }
    QString key() const override { return QStringLiteral("TPngIconEngine"); }
    QIconEngine* clone() const override { return new TPngIconEngine(*this); }

private:
    int pick(const QSize& size) const
    {
        if (sizes_.empty())
            return 0;
        const qint64 area = qint64(size.width()) * size.height();
        const auto fits = std::find_if(sizes_.begin(), sizes_.end(), [area](int side) { return qint64(side) * side >= area; });
        return fits != sizes_.end() ? *fits : sizes_.back();
    }

    // Reads the file for `size` once; false when there is none to read.
    bool read(const QSize& size)
    {
        const int side = pick(size);
        if (side == 0)
            return false;
        if (std::find(read_.begin(), read_.end(), side) == read_.end()) {
            read_.push_back(side);
            // A picture that cannot be read leaves the size out, as the plain engine does.
            loaded_.addPixmap(QPixmap::fromImage(readPng(QStringLiteral(":/icons/%1-%2.png").arg(name_).arg(side))));
        }
        return true;
    }

    QString name_;
    std::vector<int> sizes_;
    std::vector<int> read_;
    QIcon loaded_;
};

} // namespace

QIcon pngIcon(const char* name, const std::vector<int>& sizes)
{
    return QIcon(new TPngIconEngine(QLatin1String(name), sizes));
}
