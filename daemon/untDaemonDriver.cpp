#include "untDaemonDriver.h"

#include "untDriverCode.h"
#include "untError.h"

#include <chrono>

int TDaemonDriver::Invoke(const TMember& method) {
    const int code = InvokeMethod(method, *this);
    ++Stats.Calls;
    if (code != 0)
        ++Stats.Failures[code];
    return code;
}

int TDaemonDriver::Invoke(const char* method) {
    return Invoke(*FindMember(method, TMemberKind::Method));
}

TBytes TDaemonDriver::Exchange(const TBytes& payload) {
    const auto start = std::chrono::steady_clock::now();
    ++Stats.Exchanges;
    bool good = false;
    struct TTimer {
        TDriverCounters& Stats;
        std::chrono::steady_clock::time_point Start;
        bool& Good;
        ~TTimer() {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
            Stats.ExchangeSeconds += seconds;
            Stats.LastExchangeSeconds = seconds;
            if (!Good)
                ++Stats.ExchangesFailed;
        }
    } timer{Stats, start, good};
    TBytes answer = TDriver::Exchange(payload);
    good = true;
    return answer;
}

TForwarded TDaemonDriver::Forward(const TBytes& payload, int baudRate, int timeout,
                                  int commandTimeout) {
    TForwarded result;
    ++Stats.Calls;
    if (baudRate != GetBaudRate()) {
        result.Code = ecNoLink;
        result.Text = TextOfDriverCode(ecNoLink);
        ++Stats.Failures[result.Code];
        return result;
    }
    const int ownTimeout = GetTimeout(), ownCommandTimeout = GetCommandTimeout();
    SetTimeout(timeout);
    SetCommandTimeout(commandTimeout);
    try {
        result.Answer = Exchange(payload);
    } catch (const EDriverError& e) {
        result.Code = e.Code;
        result.Text = e.what();
    } catch (const std::exception& e) {
        result.Code = ecFailure;
        result.Text = e.what();
    }
    SetTimeout(ownTimeout);
    SetCommandTimeout(ownCommandTimeout);
    if (result.Code != 0)
        ++Stats.Failures[result.Code];
    result.Output = GetOutput();
    result.Input = GetInput();
    result.Time = GetExecutionTime();
    return result;
}
