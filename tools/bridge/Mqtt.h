#pragma once
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <string>

#include "tools/bridge/BridgeConfig.h"

struct mosquitto;

// The bridge's MQTT connection (libmosquitto), run on the Qt event loop: a
// publish is written at once, the socket is read when the loop sees it ready,
// and no thread of its own wakes for each message. A last will, reconnection
// with back-off; the callbacks run on the event loop.
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

    // Starts connecting; false with why when it cannot even start.
    bool start(std::string& error);
    // MQTT's quality of service: at least once holds a message until the
    // broker acknowledges it, and sends it again after a reconnection.
    enum class TQos { AtMostOnce = 0, AtLeastOnce = 1 };
    void publish(const std::string& topic, const std::string& payload, bool retain, TQos qos);
    void subscribe(const std::string& pattern);
    // Publishes the last word (retained), waits up to `waitMs` for the broker to
    // have it, and disconnects.
    void stop(const std::string& topic, const std::string& payload, int waitMs);

private:
    // One attempt; a failure is tried again after 1 s, then twice as long each time, up to a minute.
    void tryConnecting();
    // After a read, write or keep-alive: `rc` is libmosquitto's.
    void done(int rc);
    // The attempt or the connection is over: said, and tried again.
    void ended(int rc, int error);
    // Follows libmosquitto's socket after each call into it: watched while it
    // is open, written to when it has something queued.
    void follow();
    void onConnack(int code);

    const TBrokerSettings broker_;
    const std::string willTopic_;
    const std::string willPayload_;
    const TLanguage language_;
    TCallbacks callbacks_;
    mosquitto* m_ = nullptr;
    int socket_ = -1;
    QSocketNotifier readable_{QSocketNotifier::Read};
    QSocketNotifier writable_{QSocketNotifier::Write};
    QTimer keepAlive_;
    QTimer retry_;
    int retryS_ = 1;
    bool connected_ = false; // the broker accepted us and the connection holds
    bool refused_ = false;  // the last attempt got the broker's refusal, already said
    bool ended_ = false;
    bool stopping_ = false;
    int lastWordMid_ = -1;
    bool lastWordOut_ = false;
};
