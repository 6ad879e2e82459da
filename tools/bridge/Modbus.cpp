#include "tools/bridge/Modbus.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <modbus.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/Failure.h"
#include "base/Formats.h"
#include "tools/bridge/BridgeTexts.h"

using namespace bridgetext;

namespace {

void putHigh32(std::array<std::uint16_t, 7>& r, std::size_t at, std::uint32_t v)
{
    r[at] = static_cast<std::uint16_t>(v >> 16);
    r[at + 1] = static_cast<std::uint16_t>(v & 0xFFFF);
}

} // namespace

TModbusUnit modbusUnit(int status, const std::string* number, const std::array<bool, 2>* relays, int missed)
{
    TModbusUnit u;
    float value = std::numeric_limits<float>::quiet_NaN();
    std::int32_t scaled = INT32_MIN;
    std::uint16_t decimals = 0;
    if (number && !number->empty()) {
        value = static_cast<float>(textToDouble(*number));
        const std::size_t point = number->find('.');
        std::string digits = *number;
        if (point != std::string::npos) {
            decimals = static_cast<std::uint16_t>(number->size() - point - 1);
            digits.erase(point, 1);
        }
        // Eight characters of a reading fit; anything longer is no count.
        if (digits.size() <= 10) {
            const long long n = std::strtoll(digits.c_str(), nullptr, 10);
            if (n > INT32_MIN && n <= INT32_MAX)
                scaled = static_cast<std::int32_t>(n);
        }
    }
    std::uint32_t bits = 0;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    putHigh32(u.registers, 0, bits);
    putHigh32(u.registers, 2, static_cast<std::uint32_t>(scaled));
    u.registers[4] = decimals;
    u.registers[5] = static_cast<std::uint16_t>(status);
    u.registers[6] = static_cast<std::uint16_t>(std::clamp(missed, 0, 65535));
    u.inputs[0] = relays && (*relays)[0] ? 1 : 0;
    u.inputs[1] = relays && (*relays)[1] ? 1 : 0;
    u.inputs[2] = status == 0 ? 1 : 0;
    return u;
}

TModbusServer::TModbusServer(const TModbusSettings& settings, const std::vector<std::uint8_t>& units, TLanguage language)
    : settings_(settings), language_(language)
{
    for (std::uint8_t unit : units)
        units_[unit] = modbusUnit(5, nullptr, nullptr, 0);
}

TModbusServer::~TModbusServer()
{
    stop();
}

bool TModbusServer::start(std::string& error)
{
    modbus_t* ctx = modbus_new_tcp(settings_.listen.c_str(), settings_.port);
    if (!ctx) {
        error = say(kModbusCreate, language_, {errorWords(errno, language_)});
        return false;
    }
    const int fd = modbus_tcp_listen(ctx, kModbusMaxClients);
    const int listenErrno = errno;
    modbus_free(ctx);
    if (fd < 0) {
        error = say(kModbusListen, language_,
                    {settings_.listen, std::to_string(settings_.port), errorWords(listenErrno, language_)});
        return false;
    }
    listen_.reset(fd);
    wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_) {
        error = say(kModbusStart, language_, {errorWords(errno, language_)});
        return false;
    }
    thread_ = std::thread([this] { serve(); });
    return true;
}

void TModbusServer::update(std::uint8_t unit, const TModbusUnit& data)
{
    std::lock_guard lock(mutex_);
    units_[unit] = data;
}

void TModbusServer::stop()
{
    if (!thread_.joinable())
        return;
    const std::uint64_t one = 1;
    (void)!::write(wake_.get(), &one, sizeof one);
    thread_.join();
}

void TModbusServer::serve()
{
    modbus_t* ctx = modbus_new_tcp(settings_.listen.c_str(), settings_.port);
    modbus_mapping_t* map = modbus_mapping_new(0, 3, 0, 7);
    // A client that stops in the middle of a request holds the others up this long at most.
    modbus_set_byte_timeout(ctx, 0, 200000);
    std::vector<UniqueFd> clients;
    std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
        std::vector<pollfd> fds = {{wake_.get(), POLLIN, 0}, {listen_.get(), POLLIN, 0}};
        for (const UniqueFd& c : clients)
            fds.push_back({c.get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            UniqueFd client(::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client && clients.size() < static_cast<std::size_t>(kModbusMaxClients))
                clients.push_back(std::move(client));
        }
        std::vector<int> gone;
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            modbus_set_socket(ctx, fds[i].fd);
            const int length = modbus_receive(ctx, query);
            if (length <= 0) {
                gone.push_back(fds[i].fd);
                continue;
            }
            const std::uint8_t unit = query[6];
            const std::uint8_t function = query[7];
            std::unique_lock lock(mutex_);
            const auto found = units_.find(unit);
            int rc = 0;
            if (found == units_.end()) {
                lock.unlock();
                rc = modbus_reply_exception(ctx, query, MODBUS_EXCEPTION_GATEWAY_PATH);
            } else if (function != MODBUS_FC_READ_DISCRETE_INPUTS && function != MODBUS_FC_READ_INPUT_REGISTERS) {
                lock.unlock();
                rc = modbus_reply_exception(ctx, query, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
            } else {
                std::copy(found->second.registers.begin(), found->second.registers.end(), map->tab_input_registers);
                std::copy(found->second.inputs.begin(), found->second.inputs.end(), map->tab_input_bits);
                lock.unlock();
                rc = modbus_reply(ctx, query, length, map);
            }
            if (rc < 0)
                gone.push_back(fds[i].fd);
        }
        std::erase_if(clients, [&](const UniqueFd& c) {
            return std::find(gone.begin(), gone.end(), c.get()) != gone.end();
        });
    }
    modbus_set_socket(ctx, -1);
    modbus_mapping_free(map);
    modbus_free(ctx);
}
