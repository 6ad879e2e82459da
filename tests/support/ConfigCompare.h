#pragma once
// Field-by-field comparison of the parts of a configuration the dialogs edit;
// doubles are compared bit for bit, not fuzzily. Qt Test only.
#include <QTest>

#include "support/ConfigFields.h"

namespace testsupport {

inline void verifySameFields(const TDisplayConfig& a, const TDisplayConfig& b, bool (*in)(const TRecordField&))
{
    std::string list;
    for (const std::string& d : configDifferences(a, b, in))
        list += d + "\n";
    QVERIFY2(list.empty(), list.c_str());
}

// The serial line, the address and the digits: the fields no frame carries.
inline void verifySameLine(const TDisplayConfig& a, const TDisplayConfig& b)
{
    verifySameFields(a, b, [](const TRecordField& f) { return f.frames == kInNoFrame; });
}

inline void verifySameAnalog(const TDisplayConfig& a, const TDisplayConfig& b)
{
    verifySameFields(a, b, [](const TRecordField& f) { return f.frames != kInNoFrame && f.relay == 0; });
}

inline void verifySameRelays(const TDisplayConfig& a, const TDisplayConfig& b)
{
    verifySameFields(a, b, [](const TRecordField& f) { return f.relay != 0; });
}

} // namespace testsupport
