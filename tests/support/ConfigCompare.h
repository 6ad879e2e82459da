#pragma once
// Field-by-field comparison of the parts of a configuration the dialogs edit;
// doubles are compared bit for bit, not fuzzily. Qt Test only.
#include <QTest>

#include "config/DisplayConfig.h"

namespace testsupport {

inline void verifySameLine(const TDisplayConfig& a, const TDisplayConfig& b)
{
    QCOMPARE(a.PortIndex, b.PortIndex);
    QCOMPARE(a.BaudIndex, b.BaudIndex);
    QCOMPARE(a.ParityIndex, b.ParityIndex);
    QCOMPARE(a.StopBitsIndex, b.StopBitsIndex);
    QCOMPARE(a.DataBitsIndex, b.DataBitsIndex);
    QCOMPARE(a.Address, b.Address);
    QCOMPARE(a.DigitsIndex, b.DigitsIndex);
}

inline void verifySameAnalog(const TDisplayConfig& a, const TDisplayConfig& b)
{
    const auto exact = [](double x, double y) { return x == y; };
    QCOMPARE(a.InputMode, b.InputMode);
    QCOMPARE(a.ProcessInput, b.ProcessInput);
    QVERIFY2(exact(a.InputValue1, b.InputValue1), qPrintable(QString::number(a.InputValue1, 'g', 17)));
    QVERIFY2(exact(a.InputValue2, b.InputValue2), qPrintable(QString::number(a.InputValue2, 'g', 17)));
    QVERIFY2(exact(a.DisplayValue1, b.DisplayValue1), qPrintable(QString::number(a.DisplayValue1, 'g', 17)));
    QVERIFY2(exact(a.DisplayValue2, b.DisplayValue2), qPrintable(QString::number(a.DisplayValue2, 'g', 17)));
    QCOMPARE(a.DecimalPoint, b.DecimalPoint);
    QCOMPARE(a.TempUnits, b.TempUnits);
    QCOMPARE(a.ProbeType, b.ProbeType);
    QCOMPARE(a.Resolution, b.Resolution);
    QVERIFY2(exact(a.TempOffset, b.TempOffset), qPrintable(QString::number(a.TempOffset, 'g', 17)));
}

inline void verifySameRelays(const TDisplayConfig& a, const TDisplayConfig& b)
{
    QCOMPARE(a.Relay1Enabled, b.Relay1Enabled);
    QCOMPARE(a.Relay1DelayType, b.Relay1DelayType);
    QCOMPARE(a.Relay1TriggerLevel, b.Relay1TriggerLevel);
    QCOMPARE(a.Relay1Delay, b.Relay1Delay);
    QCOMPARE(a.Relay1Setpoint, b.Relay1Setpoint);
    QCOMPARE(a.Relay2Enabled, b.Relay2Enabled);
    QCOMPARE(a.Relay2DelayType, b.Relay2DelayType);
    QCOMPARE(a.Relay2TriggerLevel, b.Relay2TriggerLevel);
    QCOMPARE(a.Relay2Delay, b.Relay2Delay);
    QCOMPARE(a.Relay2Setpoint, b.Relay2Setpoint);
}

} // namespace testsupport
