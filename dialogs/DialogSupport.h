#pragma once
#include <QString>
#include <QStringList>
#include <optional>

#include "base/Texts.h"

class QColor;
class QFont;
class QGroupBox;
class QHBoxLayout;
class QImage;
class QPushButton;

// What every dialog builds with: controls named as in the window designs,
// texts from tables of UTF-16 literals, the dialogs' font and caption look,
// and the row of a four-language table.

// Gives `widget` its design name and returns it.
template <typename T>
T* named(T* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

inline QString qs(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// The row of a dialog's table for the language `languageIndex` names; with an
// index that names none the dialog keeps its built-in texts.
template <typename Row>
const Row& languageRow(const TByLanguage<Row>& rows, const Row& builtIn, int languageIndex)
{
    const std::optional<TLanguage> language = languageAt(languageIndex);
    return language ? rows.pick(*language) : builtIn;
}

// The dialogs' text font: Arial, or Liberation Sans with the same metrics.
QFont dialogFont(int pixelSize, bool bold = false, bool italic = false);

// Colours (and optionally embolden or slant) a group box's caption while its
// contents keep the font and colours of the window around it.
void styleCaption(QGroupBox* box, const QColor& colour, bool bold, bool italic = false);

// The confirming and the other button side by side, centred under the dialog.
QHBoxLayout* buttonRow(QPushButton* confirm, QPushButton* other);

// One of the PNG pictures the program carries, read with the built-in PNG
// reader only: naming the format and not guessing it keeps the image format
// plugins (and the libraries they load) out of the process.
QImage readPng(const QString& path);

// The entries of a speed list, slowest first.
QStringList speedItems();
