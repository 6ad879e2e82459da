#include "tools/ctl/ReplyCompare.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "base/Formats.h"
#include "config/DigitClass.h"
#include "config/FieldEdits.h"
#include "protocol/Requests.h"

using digitclass::powerOfTen;

const std::string& beyondReplyText()
{
    static const std::string text =
        cfmt("cannot send it back (its reply carries %d to %d)", kReplySetpointLowest, kReplySetpointHighest);
    return text;
}

std::vector<TFieldDifference> compareWithReply(
    const TDisplayConfig& sent, const TDisplayConfig& got, const TParamsReplyContents& contents)
{

    std::vector<TFieldDifference> out;
    // `member` lies in `sent`: the field it is, with the same field of `got`.
    auto differ = [&](const void* member, bool equal) {
        const TRecordField& f = recordFieldAt(sent, member);
        const auto is = [&](const char* field) { return std::string_view(field) == f.name; };
        const auto unreadable = std::find_if(contents.unreadable.begin(), contents.unreadable.end(),
            [&](const TUnreadableField& u) { return is(u.field); });
        if (std::none_of(contents.carried.begin(), contents.carried.end(), is))
            out.push_back({f.name, fieldText(f, sent), "not in the reply"});
        else if (unreadable != contents.unreadable.end())
            out.push_back({f.name, fieldText(f, sent), "not a number: \"" + unreadable->text + "\""});
        else if (!equal)
            out.push_back({f.name, fieldText(f, sent), fieldText(f, got)});
    };
    auto near = [](double a, double b, double tolerance) {
        return std::fabs(a - b) <= tolerance + 1e-9 * std::max(1.0, std::fabs(a));
    };

    differ(&sent.ProcessInput, got.ProcessInput == (sent.ProcessInput == 0 ? 0 : 1));
    // Input values travel as "+%6.3f" cut to seven characters: half a unit of its last digit.
    differ(&sent.InputValue1,
        near(sent.InputValue1, got.InputValue1, 0.5 / powerOfTen(sentInputDecimals(sent.InputValue1))));
    differ(&sent.InputValue2,
        near(sent.InputValue2, got.InputValue2, 0.5 / powerOfTen(sentInputDecimals(sent.InputValue2))));
    // Display values travel as whole display counts, and a decimal point above 4 as 4.
    const std::uint8_t decimalPoint = sentDecimalPoint(sent.DecimalPoint);
    const double countUnit = 1.0 / powerOfTen(decimalPoint);
    differ(&sent.DisplayValue1, near(sent.DisplayValue1, got.DisplayValue1, countUnit / 2));
    differ(&sent.DisplayValue2, near(sent.DisplayValue2, got.DisplayValue2, countUnit / 2));
    differ(&sent.DecimalPoint, got.DecimalPoint == decimalPoint);
    differ(&sent.ProbeType, got.ProbeType == sent.ProbeType);
    differ(&sent.TempUnits, got.TempUnits == sent.TempUnits);
    differ(&sent.Resolution, got.Resolution == sent.Resolution);
    // The offset travels as two digits cut from "%05.1f": whole degrees or tenths.
    const double offsetUnit = sent.Resolution == 0 ? 1.0 : 0.1;
    differ(&sent.TempOffset, std::fabs(sent.TempOffset - got.TempOffset) < offsetUnit - 1e-9);

    for (int n = 1; n <= 2; ++n) {
        const TConstRelayFields x = sent.relay(n);
        const TConstRelayFields y = got.relay(n);
        differ(&x.Enabled, (y.Enabled == 1) == (x.Enabled == 1));
        differ(&x.DelayType, y.DelayType == x.DelayType);
        if (x.Enabled == 1) // a relay off sends '2' in place of its level
            differ(&x.TriggerLevel, y.TriggerLevel == x.TriggerLevel);
        differ(&x.Delay, y.Delay == x.Delay);
        // The reply's five characters (0xB4 standing for "-1") carry less than the request's six.
        if (x.Setpoint < kReplySetpointLowest || x.Setpoint > kReplySetpointHighest)
            out.push_back({recordFieldAt(sent, &x.Setpoint).name, cfmt("%d", x.Setpoint), beyondReplyText()});
        else
            differ(&x.Setpoint, y.Setpoint == x.Setpoint);
    }
    return out;
}
