#pragma once
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
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
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in
    // texts. `read` runs for each press of "Leer": the owner sends the request
    // and sets the boxes to "0" when it cannot.
    TForm8(QWidget* owner, int language, std::function<void()> read);

    // Every one of the 18 boxes shows `text`.
    void setAllBoxes(const QString& text);
    // "Leer": asks the owner for the calibration data.
    void LlegirCalib();
    // Writes the texts that are present; a missing item leaves its box as it is.
    void showCalibration(const TCalibrationTexts& texts);

    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QLabel* Label[19] = {};    // Label1 .. Label18 (index 0 unused)
    QLineEdit* Edit[19] = {};  // Edit1 .. Edit18 (index 0 unused)
    QPushButton* Button1;
    QPushButton* Button2;

private:
    std::function<void()> read_;
};

// The calibration screen while it is open; null otherwise.
extern TForm8* Form8;

// Decodes a complete, checked 'C' reply into the open calibration screen; a
// reply that arrives when no screen is open is dropped.
void RebreCalib(std::span<const std::uint8_t> reply);
