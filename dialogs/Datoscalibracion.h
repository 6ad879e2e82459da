#pragma once
#include <QDialog>
#include <QString>
#include <cstdint>
#include <span>

#include "protocol/Replies.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The calibration screen: 18 read-only boxes filled by the display's 'C'
// reply. "Leer" asks for the data; "Salir" closes with Rejected.
class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget* owner);

    // Every one of the 18 boxes shows `text`.
    void setAllBoxes(const QString& text);
    // "Leer": sends the calibration request through the main window; when the
    // port cannot be opened, shows why and then sets every box to "0".
    void LlegirCalib();
    // Writes the texts that are present; a missing item leaves its box as it is.
    void showCalibration(const TCalibrationTexts& texts);

    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QLabel* Label[19] = {};    // Label1 .. Label18 (index 0 unused)
    QLineEdit* Edit[19] = {};  // Edit1 .. Edit18 (index 0 unused)
    QPushButton* Button1;
    QPushButton* Button2;
};

// The calibration screen while it is open; null otherwise.
extern TForm8* Form8;

// Decodes a complete, checked 'C' reply into the open calibration screen; a
// reply that arrives when no screen is open is dropped.
void RebreCalib(std::span<const std::uint8_t> reply);
