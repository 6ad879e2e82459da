#include "dialogs/DialogSupport.h"

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QPalette>
#include <QPushButton>

#include "config/LineFormat.h"

QImage readPng(const QString& path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QFont dialogFont(int pixelSize, bool bold, bool italic)
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void styleCaption(QGroupBox* box, const QColor& colour, bool bold, bool italic)
{
    const QWidget* outer = box->parentWidget() ? box->parentWidget() : box;
    // Weight, slant and text colours set explicitly, or the contents would inherit the caption's.
    QFont contentFont = outer->font();
    contentFont.setBold(contentFont.bold());
    contentFont.setItalic(contentFont.italic());
    QPalette contentPalette = outer->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        contentPalette.setColor(g, QPalette::WindowText, contentPalette.color(g, QPalette::WindowText));
    QFont f = contentFont;
    f.setBold(bold);
    f.setItalic(italic);
    box->setFont(f);
    QPalette p = contentPalette;
    // Only the enabled colours: a disabled caption greys out like any other text.
    p.setColor(QPalette::Active, QPalette::WindowText, colour);
    p.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    box->setPalette(p);
    for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->setFont(contentFont);
        child->setPalette(contentPalette);
    }
}

QHBoxLayout* buttonRow(QPushButton* confirm, QPushButton* other)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(confirm);
    row->addSpacing(24);
    row->addWidget(other);
    row->addStretch();
    return row;
}

QStringList speedItems()
{
    QStringList items;
    for (const std::string& word : speedWords())
        items << QString::fromStdString(word);
    return items;
}
