#include "tools/bridge/Mqtt.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mosquitto.h>
#include <mutex>
#include <utility>

#include "base/Failure.h"
#include "base/Formats.h"
#include "tools/bridge/BridgeTexts.h"

using namespace bridgetext;

// What the network thread and the event loop share.
struct TMqttClient::TShared : std::enable_shared_from_this<TMqttClient::TShared> {
    TCallbacks callbacks;
    TLanguage language = TLanguage::English;
    std::mutex mutex;
    std::condition_variable published;
    int lastWordMid = -1;
    bool lastWordOut = false;
    bool wasConnected = false;
};

namespace {

// Runs `work` on the event loop; the callbacks come from libmosquitto's thread.
void onLoop(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

// Why the broker refused a connection (its CONNACK code).
std::string refusalWords(int code, TLanguage language)
{
    if (code >= 1 && code <= static_cast<int>(std::size(kRefusals)))
        return say(kRefusals[code - 1], language);
    return say(kRefusalCode, language, {std::to_string(code)});
}

// A libmosquitto error in the user's words (its own texts are English only),
// a system error by its number.
std::string mosquittoWords(int rc, int error, TLanguage language)
{
    static const std::pair<int, const TTexts*> kErrors[] = {
        {MOSQ_ERR_PROTOCOL, &kMqttProtocol}, {MOSQ_ERR_INVAL, &kMqttInvalid},
        {MOSQ_ERR_NO_CONN, &kMqttNotConnected}, {MOSQ_ERR_CONN_REFUSED, &kMqttRefused},
        {MOSQ_ERR_CONN_LOST, &kMqttLost}, {MOSQ_ERR_TLS, &kMqttTls}, {MOSQ_ERR_TLS_HANDSHAKE, &kMqttTlsHandshake},
        {MOSQ_ERR_PAYLOAD_SIZE, &kMqttTooLong}, {MOSQ_ERR_OVERSIZE_PACKET, &kMqttTooLong},
        {MOSQ_ERR_NOT_SUPPORTED, &kMqttNotSupported}, {MOSQ_ERR_AUTH, &kMqttAuth}, {MOSQ_ERR_ACL_DENIED, &kMqttDenied},
        {MOSQ_ERR_EAI, &kMqttLookup}, {MOSQ_ERR_LOOKUP, &kMqttLookup}, {MOSQ_ERR_PROXY, &kMqttProxy},
        {MOSQ_ERR_MALFORMED_UTF8, &kMqttUtf8}, {MOSQ_ERR_KEEPALIVE, &kMqttNoAnswer}, {MOSQ_ERR_TIMEOUT, &kMqttNoAnswer},
    };
    if (rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_NOMEM)
        return errorWords(rc == MOSQ_ERR_NOMEM ? ENOMEM : error, language);
    for (const auto& [code, texts] : kErrors)
        if (code == rc)
            return say(*texts, language);
    return say(kMqttLibraryError, language, {std::to_string(rc)});
}

void libraryOnce()
{
    static const int once = mosquitto_lib_init();
    (void)once;
}

} // namespace

TMqttClient::TMqttClient(const TBrokerSettings& broker, std::string willTopic, std::string willPayload, TLanguage language,
                         TCallbacks callbacks)
    : broker_(broker), willTopic_(std::move(willTopic)), willPayload_(std::move(willPayload)), language_(language),
      shared_(std::make_shared<TShared>())
{
    shared_->callbacks = std::move(callbacks);
    shared_->language = language;
}

TMqttClient::~TMqttClient()
{
    if (m_) {
        if (looping_) {
            mosquitto_disconnect(m_);
            mosquitto_loop_stop(m_, true);
        }
        mosquitto_destroy(m_);
    }
}

bool TMqttClient::start(std::string& error)
{
    libraryOnce();
    m_ = mosquitto_new(broker_.clientId.c_str(), true, shared_.get());
    if (!m_) {
        error = say(kNoClient, language_);
        return false;
    }
    mosquitto_int_option(m_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!broker_.user.empty()) {
        std::string password;
        if (!broker_.passwordFile.empty()) {
            std::ifstream file(broker_.passwordFile);
            std::getline(file, password);
            if (!password.empty() && password.back() == '\r')
                password.pop_back();
        }
        mosquitto_username_pw_set(m_, broker_.user.c_str(), broker_.passwordFile.empty() ? nullptr : password.c_str());
    }
    if (!broker_.caFile.empty()) {
        errno = 0;
        const int rc = mosquitto_tls_set(m_, broker_.caFile.c_str(), nullptr,
                                         broker_.certFile.empty() ? nullptr : broker_.certFile.c_str(),
                                         broker_.keyFile.empty() ? nullptr : broker_.keyFile.c_str(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = say(kTlsFiles, language_, {mosquittoWords(rc, errno, language_)});
            return false;
        }
    }
    const int willRc = mosquitto_will_set(m_, willTopic_.c_str(), static_cast<int>(willPayload_.size()),
                                          willPayload_.data(), 1, true);
    if (willRc != MOSQ_ERR_SUCCESS) {
        error = say(kLastWill, language_, {mosquittoWords(willRc, errno, language_)});
        return false;
    }
    // After a lost connection: 1 s, then twice as long each time, up to a minute.
    mosquitto_reconnect_delay_set(m_, 1, 60, true);

    mosquitto_connect_callback_set(m_, [](mosquitto*, void* data, int rc) {
        auto shared = static_cast<TShared*>(data)->shared_from_this();
        if (rc != 0) {
            onLoop([shared, rc] {
                if (shared->callbacks.note)
                    shared->callbacks.note(say(kBrokerRefused, shared->language, {refusalWords(rc, shared->language)}));
            });
            return;
        }
        onLoop([shared] {
            shared->wasConnected = true;
            if (shared->callbacks.note)
                shared->callbacks.note(say(kConnected, shared->language));
            if (shared->callbacks.connected)
                shared->callbacks.connected();
        });
    });
    mosquitto_disconnect_callback_set(m_, [](mosquitto*, void* data, int rc) {
        auto shared = static_cast<TShared*>(data)->shared_from_this();
        if (rc == 0)
            return;
        onLoop([shared] {
            if (shared->wasConnected && shared->callbacks.note)
                shared->callbacks.note(say(kConnectionLost, shared->language));
            shared->wasConnected = false;
        });
    });
    mosquitto_message_callback_set(m_, [](mosquitto*, void* data, const mosquitto_message* m) {
        auto shared = static_cast<TShared*>(data)->shared_from_this();
        std::string topic = m->topic ? m->topic : "";
        std::string payload(static_cast<const char*>(m->payload), static_cast<std::size_t>(std::max(m->payloadlen, 0)));
        onLoop([shared, topic = std::move(topic), payload = std::move(payload)] {
            if (shared->callbacks.message)
                shared->callbacks.message(topic, payload);
        });
    });
    mosquitto_publish_callback_set(m_, [](mosquitto*, void* data, int mid) {
        auto* shared = static_cast<TShared*>(data);
        std::lock_guard lock(shared->mutex);
        if (mid == shared->lastWordMid) {
            shared->lastWordOut = true;
            shared->published.notify_all();
        }
    });

    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, [this] { connectFirst(); });
    connectFirst();
    return true;
}

void TMqttClient::connectFirst()
{
    const int rc = mosquitto_connect_async(m_, broker_.host.c_str(), broker_.port, broker_.keepAliveS);
    if (rc == MOSQ_ERR_SUCCESS) {
        const int loopRc = mosquitto_loop_start(m_);
        looping_ = loopRc == MOSQ_ERR_SUCCESS;
        if (!looping_ && shared_->callbacks.note)
            shared_->callbacks.note(say(kNoThread, language_, {mosquittoWords(loopRc, errno, language_)}));
        return;
    }
    const std::string why = mosquittoWords(rc, errno, language_);
    if (retryS_ == 1 && shared_->callbacks.note)
        shared_->callbacks.note(say(kUnreachable, language_, {broker_.host, std::to_string(broker_.port), why}));
    retry_.start(retryS_ * 1000);
    retryS_ = std::min(retryS_ * 2, 60);
}

void TMqttClient::publish(const std::string& topic, const std::string& payload, bool retain)
{
    if (looping_)
        mosquitto_publish(m_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, retain);
}

void TMqttClient::subscribe(const std::string& pattern)
{
    if (looping_)
        mosquitto_subscribe(m_, nullptr, pattern.c_str(), 1);
}

void TMqttClient::stop(const std::string& topic, const std::string& payload, int waitMs)
{
    retry_.stop();
    if (!looping_)
        return;
    {
        std::unique_lock lock(shared_->mutex);
        int mid = 0;
        if (mosquitto_publish(m_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, true)
            == MOSQ_ERR_SUCCESS) {
            shared_->lastWordMid = mid;
            shared_->published.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared_->lastWordOut; });
        }
    }
    mosquitto_disconnect(m_);
    mosquitto_loop_stop(m_, false);
    looping_ = false;
}
