#pragma once
#include <QProxyStyle>

// The application's style, drawing as its base style does, except that the
// icons of the menu bar's and toolbars' extension buttons are made when they
// are first drawn or measured: made at once, they read Qt's own PNG files,
// and reading them that way loads every image format plugin (and what those
// link) before the window is on screen, for buttons that a window wide
// enough for its menus and tools never shows.
class TDeferredIconStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
