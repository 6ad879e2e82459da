#pragma once
// Field-by-field comparison of two configurations: the fields that differ,
// as "Name: a / b", so that a failure lists them all at once.
#include <cstdio>
#include <string>
#include <vector>

#include "config/DisplayConfig.h"
#include "config/RecordFields.h"

namespace testsupport {

inline std::string fieldValue(const TRecordField& f, const TDisplayConfig& c)
{
    switch (f.type) {
    case TFieldType::Index: return std::to_string(c.*f.u8);
    case TFieldType::Character: return std::to_string(static_cast<unsigned char>(c.*f.ch));
    case TFieldType::Integer: return std::to_string(c.*f.i32);
    case TFieldType::Real: break;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", c.*f.f64); // exact: both sides must hold the same double
    return text;
}

// The record fields that differ; with `in`, only the fields it picks.
inline std::vector<std::string> configDifferences(const TDisplayConfig& a, const TDisplayConfig& b,
                                                  bool (*in)(const TRecordField&) = nullptr)
{
    std::vector<std::string> out;
    for (const TRecordField& f : recordFields())
        if ((!in || in(f)) && fieldValue(f, a) != fieldValue(f, b))
            out.push_back(std::string(f.name) + ": " + fieldValue(f, a) + " / " + fieldValue(f, b));
    return out;
}

// What a display reports back for a configuration it was sent: a relay that
// is off comes back with '2' as its level.
inline TDisplayConfig asSentBack(TDisplayConfig cfg)
{
    for (int n : {1, 2}) {
        const TRelayFields r = cfg.relay(n);
        if (r.Enabled != 1)
            r.TriggerLevel = '2';
        r.Enabled = r.Enabled == 1;
    }
    return cfg;
}

} // namespace testsupport
