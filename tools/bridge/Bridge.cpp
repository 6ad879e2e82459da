#include "tools/bridge/Bridge.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "base/Formats.h"
#include "config/FieldEdits.h"
#include "tools/bridge/BridgeTexts.h"
#include "tools/bridge/ConfigPayload.h"
#include "tools/bridge/Modbus.h"
#include "tools/bridge/Mqtt.h"
#include "tools/ctl/JsonText.h"
#include "tools/ctl/ReplyCompare.h"
#include "trend/Reading.h"

using namespace bridgetext;
using TQos = TMqttClient::TQos;

namespace {

// The Modbus status register's code of each status.
int statusCode(TDisplayStatus s)
{
    switch (s) {
    case TDisplayStatus::Ok: return 0;
    case TDisplayStatus::NoReply: return 1;
    case TDisplayStatus::OtherAddress: return 2;
    case TDisplayStatus::Unexpected: return 3;
    case TDisplayStatus::LineLost: return 4;
    case TDisplayStatus::Unknown: break;
    }
    return 5;
}

// Why an exchange of the bridge's own brought no reply.
std::string reportWhy(const TExchangeReport& r, TLanguage language)
{
    switch (r.outcome) {
    case TExchangeOutcome::Reply: return {};
    case TExchangeOutcome::NoReply:
    case TExchangeOutcome::Abandoned: return say(kNoReplyWithin, language, {std::to_string(r.timeoutMs)});
    case TExchangeOutcome::WrongAddress: return say(kOtherAddress, language);
    case TExchangeOutcome::Unexpected: return say(kNotAnAnswer, language);
    case TExchangeOutcome::Overflow: return say(kNoEnd, language);
    case TExchangeOutcome::LineLost:
    case TExchangeOutcome::OpenFailed: break;
    }
    return say(kLineLost, language);
}

std::string discoveryId(std::string text)
{
    std::replace(text.begin(), text.end(), '.', '_');
    return text;
}

} // namespace

std::string utcTime()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text + cfmt(".%03dZ", static_cast<int>(ms));
}

TBridge::TBridge(const TBridgeConfig& config, std::function<void(const std::string&)> log)
    : config_(config), log_(std::move(log))
{
    for (std::size_t i = 0; i < config_.lines.size(); ++i)
        for (std::uint8_t a : config_.lines[i].addresses)
            displays_[{i, a}] = TDisplay{i, a, TDisplayStatus::Unknown, utcTime(), {}, 0};
}

TBridge::~TBridge()
{
    stop();
}

std::string TBridge::topic(std::size_t line, std::uint8_t address, const std::string& leaf) const
{
    return config_.broker.prefix + "/" + config_.lines[line].name + cfmt("/%02d/", address) + leaf;
}

bool TBridge::start(std::string& error)
{
    if (config_.modbus.enabled) {
        std::vector<std::uint8_t> units;
        for (const TBridgeLine& l : config_.lines)
            units.insert(units.end(), l.addresses.begin(), l.addresses.end());
        modbus_ = std::make_unique<TModbusServer>(config_.modbus, units, config_.language);
        if (!modbus_->start(error))
            return false;
        log_(say(kModbusOn, config_.language, {config_.modbus.listen, std::to_string(config_.modbus.port)}));
    }
    if (config_.broker.enabled) {
        TMqttClient::TCallbacks callbacks;
        callbacks.connected = [this] { onConnected(); };
        callbacks.message = [this](const std::string& t, const std::string& p) { onMessage(t, p); };
        callbacks.note = log_;
        mqtt_ = std::make_unique<TMqttClient>(config_.broker, config_.broker.prefix + "/bridge/status", "offline",
                                              config_.language, std::move(callbacks));
        if (!mqtt_->start(error))
            return false;
    }
    for (const auto& [key, d] : displays_)
        publishStatus(d);
    for (std::size_t i = 0; i < config_.lines.size(); ++i) {
        readers_.push_back(makeLineReader(config_.lines[i], config_.language));
        readers_.back()->onReading = [this, i](const TLineReading& r) { onReading(i, r); };
        readers_.back()->onLineNote = log_;
    }
    for (auto& reader : readers_)
        reader->start();
    return true;
}

void TBridge::stop()
{
    readers_.clear();
    if (mqtt_) {
        mqtt_->stop(config_.broker.prefix + "/bridge/status", "offline", 2000);
        mqtt_.reset();
    }
    if (modbus_) {
        modbus_->stop();
        modbus_.reset();
    }
}

void TBridge::publishRetained(const std::string& t, const std::string& payload)
{
    const auto held = retained_.find(t);
    if (held != retained_.end() && held->second == payload)
        return;
    retained_[t] = payload;
    // Each replaces the one before and all are given again after a
    // reconnection: an acknowledgement would only cost a reply a reading.
    if (mqtt_)
        mqtt_->publish(t, payload, true, TQos::AtMostOnce);
}

void TBridge::publishStatus(const TDisplay& d)
{
    std::string payload = "{\"status\":" + jsonString(statusWord(d.status)) + ",\"time\":" + jsonString(d.since)
        + cfmt(",\"missed\":%d", d.missed);
    if (!d.why.empty())
        payload += ",\"why\":" + jsonString(d.why);
    publishRetained(topic(d.line, d.address, "status"), payload + "}");
}

void TBridge::onReading(std::size_t line, const TLineReading& r)
{
    TDisplay& d = displays_[{line, r.address}];
    if (r.status != d.status) {
        d.status = r.status;
        d.since = utcTime();
        if (r.status == TDisplayStatus::NoReply || r.status == TDisplayStatus::OtherAddress)
            log_(say(kDisplayNote, config_.language, {config_.lines[line].name, cfmt("%02d", r.address), r.why}));
    }
    d.why = r.why;
    const bool ok = r.status == TDisplayStatus::Ok;
    if (!ok && r.status != TDisplayStatus::LineLost)
        ++d.missed;

    std::string number;
    if (ok && r.reading.value) {
        number = readingNumberText(*r.reading.value);
        publishRetained(topic(line, r.address, "value"), shownText(*r.reading.value));
        publishRetained(topic(line, r.address, "number"), number);
    }
    if (ok && r.reading.relays)
        for (int n = 0; n < 2; ++n)
            publishRetained(topic(line, r.address, cfmt("relay%d", n + 1)), (*r.reading.relays)[n] ? "ON" : "OFF");
    publishStatus(d);
    if (modbus_) {
        const bool current = ok && r.reading.value;
        modbus_->update(r.address, modbusUnit(statusCode(d.status), current ? &number : nullptr,
                                              ok && r.reading.relays ? &*r.reading.relays : nullptr, d.missed));
    }
}

void TBridge::onConnected()
{
    const std::string& prefix = config_.broker.prefix;
    mqtt_->publish(prefix + "/bridge/status", "online", true, TQos::AtLeastOnce);
    // A broker that restarted without its store has lost what it held: give it all again.
    for (const auto& [t, payload] : retained_)
        mqtt_->publish(t, payload, true, TQos::AtMostOnce);
    if (config_.broker.discovery)
        publishDiscovery();
    for (const TBridgeLine& l : config_.lines) {
        mqtt_->subscribe(prefix + "/" + l.name + "/+/config/get");
        mqtt_->subscribe(prefix + "/" + l.name + "/+/config/set");
    }
}

void TBridge::publishDiscovery()
{
    const std::string& prefix = config_.broker.prefix;
    for (const auto& [key, d] : displays_) {
        const std::string name = config_.lines[d.line].name;
        const std::string id = "dadiz_" + discoveryId(name) + cfmt("_%02d", d.address);
        const std::string common = ",\"availability_topic\":" + jsonString(prefix + "/bridge/status")
            + ",\"device\":{\"identifiers\":[" + jsonString(id) + "],\"name\":"
            + jsonString("DADiz " + name + cfmt(" %02d", d.address)) + "}";
        mqtt_->publish(config_.broker.discoveryPrefix + "/sensor/" + id + "/value/config",
                       "{\"name\":" + jsonString(say(kValueEntity, config_.language)) + ",\"unique_id\":"
                           + jsonString(id + "_value") + ",\"state_topic\":"
                           + jsonString(topic(d.line, d.address, "number")) + common + "}",
                       true, TQos::AtLeastOnce);
        for (int n = 1; n <= 2; ++n)
            mqtt_->publish(config_.broker.discoveryPrefix + "/binary_sensor/" + id + cfmt("/relay%d/config", n),
                           "{\"name\":" + jsonString(say(kRelayEntity, config_.language, {std::to_string(n)}))
                               + ",\"unique_id\":" + jsonString(id + cfmt("_relay%d", n))
                               + ",\"state_topic\":" + jsonString(topic(d.line, d.address, cfmt("relay%d", n)))
                               + ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\"" + common + "}",
                           true, TQos::AtLeastOnce);
    }
}

void TBridge::onMessage(const std::string& t, const std::string& payload)
{
    const std::string head = config_.broker.prefix + "/";
    if (t.rfind(head, 0) != 0)
        return;
    // LINE/NN/config/get or LINE/NN/config/set
    const std::string rest = t.substr(head.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return;
    const std::string lineName = rest.substr(0, slash);
    const std::string tail = rest.substr(slash + 1);
    const auto line = std::find_if(config_.lines.begin(), config_.lines.end(),
                                   [&](const TBridgeLine& l) { return l.name == lineName; });
    if (line == config_.lines.end() || tail.size() != 13 || tail.compare(2, 8, "/config/") != 0
        || !std::isdigit(static_cast<unsigned char>(tail[0])) || !std::isdigit(static_cast<unsigned char>(tail[1])))
        return;
    const std::size_t index = static_cast<std::size_t>(line - config_.lines.begin());
    const auto address = static_cast<std::uint8_t>((tail[0] - '0') * 10 + (tail[1] - '0'));
    if (!displays_.count({index, address}))
        return;
    const std::string verb = tail.substr(10);
    if (verb == "get")
        getConfig(index, address);
    else if (verb == "set")
        setConfig(index, address, payload);
}

void TBridge::result(std::size_t line, std::uint8_t address, const std::string& request, const std::string& error,
                     const std::string& config)
{
    std::string payload = "{\"request\":" + jsonString(request) + ",\"ok\":" + (error.empty() ? "true" : "false");
    if (!error.empty())
        payload += ",\"error\":" + jsonString(error);
    if (!config.empty())
        payload += ",\"config\":" + config;
    if (mqtt_)
        mqtt_->publish(topic(line, address, "config/result"), payload + "}", false, TQos::AtLeastOnce);
    if (!error.empty())
        log_(say(kConfigNote, config_.language, {config_.lines[line].name, cfmt("%02d", address), request, error}));
}

void TBridge::readConfig(std::size_t line, std::uint8_t address,
                         std::function<void(const TDisplayConfig*, const std::string&)> done)
{
    readers_[line]->readConfiguration(address, [this, line, address, done](const TExchangeReport& r) {
        if (r.outcome != TExchangeOutcome::Reply) {
            done(nullptr, say(kReadingConfig, config_.language, {reportWhy(r, config_.language)}));
            return;
        }
        TDisplayConfig cfg = config_.lines[line].settings;
        cfg.Address = address;
        const TParamsReplyContents contents = parseAnalogParamsReply(r.reply, cfg);
        if (!contents.missing().empty() || !contents.unreadable.empty()) {
            done(nullptr, say(kPartOnly, config_.language, {shownText(std::string(r.reply.begin(), r.reply.end()))}));
            return;
        }
        if (const auto problem = receivedValueProblem(cfg, config_.language)) {
            done(nullptr, say(kCannotHold, config_.language, {*problem}));
            return;
        }
        done(&cfg, {});
    });
}

void TBridge::getConfig(std::size_t line, std::uint8_t address)
{
    readConfig(line, address, [this, line, address](const TDisplayConfig* cfg, const std::string& error) {
        if (!cfg) {
            result(line, address, "get", error);
            return;
        }
        if (mqtt_)
            mqtt_->publish(topic(line, address, "config"), configPayloadJson(*cfg), false, TQos::AtLeastOnce);
    });
}

void TBridge::setConfig(std::size_t line, std::uint8_t address, const std::string& payload)
{
    if (!config_.broker.allowWrites) {
        result(line, address, "set", say(kWritesRefused, config_.language));
        return;
    }
    // A malformed payload is refused before anything goes on the line.
    std::vector<std::string> assignments;
    std::string error;
    const TLanguage l = config_.language;
    if (!parseConfigPayload(payload, l, assignments, error)) {
        result(line, address, "set", say(kNothingSent, l, {error}));
        return;
    }
    readConfig(line, address, [this, l, line, address, payload](const TDisplayConfig* held, const std::string& why) {
        if (!held) {
            result(line, address, "set", say(kNothingSent, l, {why}));
            return;
        }
        TDisplayConfig cfg = *held;
        std::string refused;
        if (!applyConfigPayload(payload, l, cfg, refused)) {
            result(line, address, "set", say(kNothingSent, l, {refused}));
            return;
        }
        readers_[line]->sendConfiguration(address, cfg, [this, l, line, address, cfg](const TExchangeReport& ack) {
            if (ack.outcome != TExchangeOutcome::Reply) {
                result(line, address, "set", say(kSending, l, {reportWhy(ack, l)}));
                return;
            }
            readers_[line]->readConfiguration(address, [this, l, line, address, cfg](const TExchangeReport& r) {
                if (r.outcome != TExchangeOutcome::Reply) {
                    result(line, address, "set", say(kReadBack, l, {reportWhy(r, l)}));
                    return;
                }
                TDisplayConfig received = cfg;
                const TParamsReplyContents contents = parseAnalogParamsReply(r.reply, received);
                std::string differences;
                for (const TFieldDifference& d : compareWithReply(cfg, received, contents))
                    differences += (differences.empty() ? "" : "; ")
                        + say(kDifference, l, {d.field, d.sent, shownText(d.received)});
                if (!differences.empty()) {
                    result(line, address, "set", say(kOtherValues, l, {differences}));
                    return;
                }
                log_(say(kWritten, l, {config_.lines[line].name, cfmt("%02d", address)}));
                result(line, address, "set", {}, configPayloadJson(cfg));
            });
        });
    });
}
