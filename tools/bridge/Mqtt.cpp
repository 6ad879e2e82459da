#include "tools/bridge/Mqtt.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <mosquitto.h>
#include <utility>

#include "base/Failure.h"
#include "base/Formats.h"
#include "tools/bridge/BridgeTexts.h"

using namespace bridgetext;

namespace {

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
      callbacks_(std::move(callbacks))
{
}

TMqttClient::~TMqttClient()
{
    readable_.setEnabled(false);
    writable_.setEnabled(false);
    if (m_)
        mosquitto_destroy(m_);
}

bool TMqttClient::start(std::string& error)
{
    libraryOnce();
    m_ = mosquitto_new(broker_.clientId.c_str(), true, this);
    if (!m_) {
        error = say(kNoClient, language_);
        return false;
    }
    mosquitto_int_option(m_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // A message goes out when it is published, not held until the broker's
    // TCP acknowledges the one before (up to 40 ms with nothing to answer).
    mosquitto_int_option(m_, MOSQ_OPT_TCP_NODELAY, 1);
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

    // libmosquitto calls these from the reads and writes below, on the event loop.
    mosquitto_connect_callback_set(m_, [](mosquitto*, void* data, int code) {
        static_cast<TMqttClient*>(data)->onConnack(code);
    });
    mosquitto_disconnect_callback_set(m_, [](mosquitto*, void* data, int rc) {
        static_cast<TMqttClient*>(data)->ended(rc, errno);
    });
    mosquitto_message_callback_set(m_, [](mosquitto*, void* data, const mosquitto_message* m) {
        auto* client = static_cast<TMqttClient*>(data);
        if (client->stopping_ || !client->callbacks_.message)
            return;
        const std::string payload(static_cast<const char*>(m->payload),
                                  static_cast<std::size_t>(std::max(m->payloadlen, 0)));
        client->callbacks_.message(m->topic ? m->topic : "", payload);
    });
    mosquitto_publish_callback_set(m_, [](mosquitto*, void* data, int mid) {
        auto* client = static_cast<TMqttClient*>(data);
        if (mid == client->lastWordMid_)
            client->lastWordOut_ = true;
    });

    QObject::connect(&readable_, &QSocketNotifier::activated, [this] { done(mosquitto_loop_read(m_, 1)); });
    QObject::connect(&writable_, &QSocketNotifier::activated, [this] { done(mosquitto_loop_write(m_, 1)); });
    // Keep-alive pings, and the broker's silence noticed.
    keepAlive_.setInterval(1000);
    QObject::connect(&keepAlive_, &QTimer::timeout, [this] {
        if (socket_ >= 0)
            done(mosquitto_loop_misc(m_));
    });
    keepAlive_.start();
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, [this] { tryConnecting(); });
    tryConnecting();
    return true;
}

void TMqttClient::tryConnecting()
{
    ended_ = false;
    refused_ = false;
    errno = 0;
    const int rc = mosquitto_connect_async(m_, broker_.host.c_str(), broker_.port, broker_.keepAliveS);
    if (rc != MOSQ_ERR_SUCCESS)
        ended(rc, errno);
    follow();
}

void TMqttClient::done(int rc)
{
    const int error = errno;
    // A failed TLS handshake ends the attempt without the disconnect callback.
    if (rc != MOSQ_ERR_SUCCESS)
        ended(rc, error);
    follow();
}

void TMqttClient::ended(int rc, int error)
{
    if (stopping_ || ended_)
        return;
    ended_ = true;
    if (connected_) {
        connected_ = false;
        if (callbacks_.note)
            callbacks_.note(say(kConnectionLost, language_));
    } else if (retryS_ == 1 && !refused_ && callbacks_.note) {
        callbacks_.note(
            say(kUnreachable, language_, {broker_.host, std::to_string(broker_.port), mosquittoWords(rc, error, language_)}));
    }
    retry_.start(retryS_ * 1000);
    retryS_ = std::min(retryS_ * 2, 60);
}

void TMqttClient::onConnack(int code)
{
    if (code != 0) {
        refused_ = true;
        if (callbacks_.note)
            callbacks_.note(say(kBrokerRefused, language_, {refusalWords(code, language_)}));
        return;
    }
    connected_ = true;
    retryS_ = 1;
    if (callbacks_.note)
        callbacks_.note(say(kConnected, language_));
    if (callbacks_.connected)
        callbacks_.connected();
}

void TMqttClient::follow()
{
    // An attempt that ended is not watched, whether or not libmosquitto closed its socket.
    const int fd = m_ && !ended_ ? mosquitto_socket(m_) : -1;
    if (fd != socket_) {
        socket_ = fd;
        readable_.setSocket(fd);
        writable_.setSocket(fd);
        readable_.setEnabled(fd >= 0);
    }
    writable_.setEnabled(fd >= 0 && mosquitto_want_write(m_));
}

void TMqttClient::publish(const std::string& topic, const std::string& payload, bool retain, TQos qos)
{
    if (!connected_)
        return;
    mosquitto_publish(m_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                      static_cast<int>(qos), retain);
    follow();
}

void TMqttClient::subscribe(const std::string& pattern)
{
    if (!connected_)
        return;
    mosquitto_subscribe(m_, nullptr, pattern.c_str(), 1);
    follow();
}

void TMqttClient::stop(const std::string& topic, const std::string& payload, int waitMs)
{
    retry_.stop();
    keepAlive_.stop();
    stopping_ = true;
    if (connected_) {
        int mid = 0;
        if (mosquitto_publish(m_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, true)
            == MOSQ_ERR_SUCCESS) {
            lastWordMid_ = mid;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
            while (!lastWordOut_ && mosquitto_socket(m_) >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count();
                if (left <= 0 || mosquitto_loop(m_, static_cast<int>(left), 1) != MOSQ_ERR_SUCCESS)
                    break;
            }
        }
        mosquitto_disconnect(m_);
        connected_ = false;
    }
    readable_.setEnabled(false);
    writable_.setEnabled(false);
}
