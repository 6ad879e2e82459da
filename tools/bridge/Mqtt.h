#pragma once
#include <functional>
#include <QTimer>
#include <memory>
#include <string>

#include "tools/bridge/BridgeConfig.h"

struct mosquitto;

// The bridge's MQTT connection (libmosquitto, its network thread): a last
// will, reconnection with back-off, callbacks run on the Qt event loop.
class TMqttClient {
public:
    struct TCallbacks {
        std::function<void()> connected;
        std::function<void(const std::string& topic, const std::string& payload)> message;
        std::function<void(const std::string& text)> note;
    };

    // `willTopic` gets `willPayload`, retained, when the bridge goes away without
    // a word. Notes and errors are said in `language`.
    TMqttClient(const TBrokerSettings& broker, std::string willTopic, std::string willPayload, TLanguage language,
                TCallbacks callbacks);
    ~TMqttClient();
    TMqttClient(const TMqttClient&) = delete;
    TMqttClient& operator=(const TMqttClient&) = delete;

    // Starts connecting in the background; false with why when it cannot even start.
    bool start(std::string& error);
    // Quality of service 1: the broker has it once, even across a reconnection.
    void publish(const std::string& topic, const std::string& payload, bool retain);
    void subscribe(const std::string& pattern);
    // Publishes the last word (retained), waits up to `waitMs` for the broker to
    // have it, and disconnects.
    void stop(const std::string& topic, const std::string& payload, int waitMs);

    struct TShared;

private:
    // The first connection: libmosquitto's thread only takes over once a
    // connection has been started, so until then the bridge tries again itself.
    void connectFirst();

    const TBrokerSettings broker_;
    const std::string willTopic_;
    const std::string willPayload_;
    const TLanguage language_;
    std::shared_ptr<TShared> shared_;
    mosquitto* m_ = nullptr;
    bool looping_ = false;
    QTimer retry_;
    int retryS_ = 1;
};
