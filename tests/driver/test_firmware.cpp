// The firmware writer's sequence against a scripted driver and user: what goes to the board,
// in which order, and where a failure, a refusal or a cancel leaves it. One log holds the
// driver's calls and what the user was told, so their order is checked too.
#include "untFirmware.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <stdexcept>
#include <vector>

namespace {
using TLog = std::vector<std::string>;

// Methods answer 0 unless their script says otherwise; a silent status request costs the
// time of a command time-out.
class TScriptedDriver : public TFirmwareDriver {
public:
    explicit TScriptedDriver(TLog& log) : Log(log) {}

    std::map<std::string, std::deque<int>> Results;
    std::string ThrowIn; // a method whose automation call fails
    std::vector<std::string> Blocks;
    int Speed = 9600;
    std::uint32_t Now = 0;

    void SetDataBlock(const std::string& value) override { Data = value; }
    void SetBlockNumber(int value) override { Number = value; }
    int BaudRate() override { return Speed; }
    void SetBaudRate(int value) override {
        Speed = value;
        Log.push_back("BaudRate=" + std::to_string(value));
    }
    int Timeout() override { return 150; }
    void SetDeviceBaudRate(int value) override {
        Log.push_back("DeviceBaudRate=" + std::to_string(value));
    }
    void SetDeviceTimeout(int value) override {
        Log.push_back("DeviceTimeout=" + std::to_string(value));
    }
    int EnterProgramMode() override { return Run("EnterProgramMode"); }
    int WriteProgramBlock() override {
        Blocks.push_back(Data);
        return Run("WriteProgramBlock " + std::to_string(Number), "WriteProgramBlock");
    }
    int ExitProgramMode() override { return Run("ExitProgramMode"); }
    int OpenPort() override { return Run("OpenPort"); }
    int ReadStatus() override {
        const int code = Run("ReadStatus");
        Now += code == -1 ? 1000 : 20;
        return code;
    }
    int SetExchangeParam() override { return Run("SetExchangeParam"); }

private:
    int Run(const std::string& entry, const std::string& method = "") {
        const std::string name = method.empty() ? entry : method;
        if (name == ThrowIn)
            throw std::runtime_error(name);
        Log.push_back(entry);
        std::deque<int>& script = Results[name];
        if (script.empty())
            return 0;
        const int code = script.front();
        if (script.size() > 1)
            script.pop_front();
        return code;
    }

    TLog& Log;
    std::string Data;
    int Number = 0;
};

class TScriptedUser : public TFirmwareUi {
public:
    TScriptedUser(TLog& log, TScriptedDriver& driver) : Log(log), Driver(driver) {}

    std::deque<bool> Retries; // answers, in order; no when they run out
    int CancelAtTry = 0;      // cancels before the driver's n-th block write

    void StepEnded(TFirmwareStep step, int code, bool failed) override {
        Log.push_back(std::string(failed ? "failed " : "ended ") + FirmwareStepMethod(step) +
                      " " + std::to_string(code));
    }
    void StartProgress(int blocks) override { Log.push_back("progress " + std::to_string(blocks)); }
    void BlockStarted(int) override {}
    void BlockWritten(int number) override { Log.push_back("written " + std::to_string(number)); }
    bool CancelRequested() override {
        return CancelAtTry > 0 && Driver.Blocks.size() + 1 >= std::size_t(CancelAtTry);
    }
    bool RetryBlock(int number, int tries, int code) override {
        Log.push_back("retry " + std::to_string(number) + "/" + std::to_string(tries) + " " +
                      std::to_string(code));
        if (Retries.empty())
            return false;
        const bool answer = Retries.front();
        Retries.pop_front();
        return answer;
    }
    void BlocksWritten(int blocks) override { Log.push_back("all " + std::to_string(blocks)); }
    void BlocksAbandoned(int number, int tries, bool cancelled) override {
        Log.push_back(std::string(cancelled ? "cancelled " : "given up ") +
                      std::to_string(number) + "/" + std::to_string(tries));
    }
    void Wait(int ms) override {
        Log.push_back("wait " + std::to_string(ms));
        Driver.Now += static_cast<std::uint32_t>(ms);
    }

private:
    TLog& Log;
    TScriptedDriver& Driver;
};

class Firmware : public ::testing::Test {
protected:
    bool Update(std::size_t size, TRestartAnswer back = TRestartAnswer::Success) {
        return Writer.Update(std::string(size, 'x'), back);
    }
    // The log from its first entry that starts with `from`.
    TLog From(const std::string& from) const {
        for (auto at = Log.begin(); at != Log.end(); ++at)
            if (at->rfind(from, 0) == 0)
                return TLog(at, Log.end());
        return {};
    }

    TLog Log;
    TScriptedDriver Driver{Log};
    TScriptedUser User{Log, Driver};
    TFirmwareWriter Writer{Driver, User, [this] { return Driver.Now; }};
};

const TLog Restored = {"ExitProgramMode",   "ended ExitProgramMode 0", "BaudRate=2400",
                       "OpenPort",          "ReadStatus",              "ended ReadStatus 0",
                       "DeviceTimeout=150", "DeviceBaudRate=9600",     "SetExchangeParam",
                       "ended SetExchangeParam 0", "BaudRate=9600"};

TEST(FirmwareBlocks, LastBlockPaddedWithZeros) {
    const std::string image(129, '\x5A');
    EXPECT_EQ(FirmwareBlockCount(image), 3);
    EXPECT_EQ(FirmwareBlockCount(std::string(128, 'x')), 2);
    EXPECT_EQ(FirmwareBlockCount(""), 0);
    EXPECT_EQ(FirmwareBlock(image, 2), std::string(64, '\x5A'));
    EXPECT_EQ(FirmwareBlock(image, 3), '\x5A' + std::string(63, '\0'));
    for (const int outside : {0, -1, 4})
        EXPECT_EQ(FirmwareBlock(image, outside), std::string(64, '\0')) << outside;
}

TEST_F(Firmware, WholeUpdateInOrder) {
    std::string image(129, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i);
    ASSERT_TRUE(Writer.Update(image));
    TLog expected = {"EnterProgramMode",    "ended EnterProgramMode 0", "progress 3",
                     "WriteProgramBlock 1", "written 1",                "WriteProgramBlock 2",
                     "written 2",           "WriteProgramBlock 3",      "written 3",
                     "all 3"};
    expected.insert(expected.end(), Restored.begin(), Restored.end());
    EXPECT_EQ(Log, expected);
    ASSERT_EQ(Driver.Blocks.size(), 3u);
    EXPECT_EQ(Driver.Blocks[0], image.substr(0, 64));
    EXPECT_EQ(Driver.Blocks[2], image.substr(128) + std::string(63, '\0'));
}

// A failed step ends the update there; once the blocks are all written, the driver gets its
// own speed back whatever fails.
TEST_F(Firmware, FailedStepEndsTheUpdate) {
    const struct {
        const char* Method;
        const char* Last;
    } cases[] = {{"EnterProgramMode", "failed EnterProgramMode 5"},
                 {"ExitProgramMode", "failed ExitProgramMode 5"},
                 {"SetExchangeParam", "BaudRate=9600"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Method);
        Log.clear();
        Driver.Blocks.clear();
        Driver.Results.clear();
        Driver.Results[c.Method] = {5};
        EXPECT_FALSE(Update(100));
        ASSERT_FALSE(Log.empty());
        EXPECT_EQ(Log.back(), c.Last);
        EXPECT_EQ(Driver.Blocks.size(), c.Method == std::string("EnterProgramMode") ? 0u : 2u);
        EXPECT_EQ(Driver.Speed, 9600);
    }
    EXPECT_EQ(From("SetExchangeParam"),
              TLog({"SetExchangeParam", "failed SetExchangeParam 5", "BaudRate=9600"}));
}

// A refused block goes again while the user says so; given up, the board stays in program mode.
TEST_F(Firmware, RefusedBlockSentAgainOrGivenUp) {
    Driver.Results["WriteProgramBlock"] = {0, 51, 51, 0};
    User.Retries = {true, true};
    ASSERT_TRUE(Update(129));
    const TLog tail = From("WriteProgramBlock 2");
    EXPECT_EQ(TLog(tail.begin(), tail.begin() + 9),
              TLog({"WriteProgramBlock 2", "retry 2/1 51", "WriteProgramBlock 2", "retry 2/2 51",
                    "WriteProgramBlock 2", "written 2", "WriteProgramBlock 3", "written 3",
                    "all 3"}));

    Log.clear();
    Driver.Results["WriteProgramBlock"] = {0, 51};
    User.Retries = {true};
    EXPECT_FALSE(Update(129));
    EXPECT_EQ(From("WriteProgramBlock 2"),
              TLog({"WriteProgramBlock 2", "retry 2/1 51", "WriteProgramBlock 2", "retry 2/2 51",
                    "given up 2/2"}));
}

// Cancelling stops before the next try, never in the middle of one, and leaves program mode
// alone.
TEST_F(Firmware, CancelStopsBeforeTheNextTry) {
    User.CancelAtTry = 3;
    EXPECT_FALSE(Update(64 * 5));
    EXPECT_EQ(From("WriteProgramBlock 2"), TLog({"WriteProgramBlock 2", "written 2", "cancelled 3/0"}));

    Log.clear();
    Driver.Blocks.clear();
    Driver.Results["WriteProgramBlock"] = {51};
    User.CancelAtTry = 2;
    User.Retries = {true};
    EXPECT_FALSE(Update(64 * 5));
    EXPECT_EQ(From("progress"),
              TLog({"progress 5", "WriteProgramBlock 1", "retry 1/1 51", "cancelled 1/1"}));
}

// The board is asked for its status until it answers or 3 s have passed; what counts as an
// answer is the front end's choice.
TEST_F(Firmware, RestartWaitsThreeSeconds) {
    Driver.Results["ReadStatus"] = {-1, -1, 0};
    ASSERT_TRUE(Update(10));
    EXPECT_EQ(From("OpenPort"), TLog({"OpenPort", "ReadStatus", "wait 50", "ReadStatus", "wait 50",
                                      "ReadStatus", "ended ReadStatus 0", "DeviceTimeout=150",
                                      "DeviceBaudRate=9600", "SetExchangeParam",
                                      "ended SetExchangeParam 0", "BaudRate=9600"}));

    Log.clear();
    Driver.Now = 0;
    Driver.Results["ReadStatus"] = {-1};
    EXPECT_FALSE(Update(10));
    EXPECT_GT(Driver.Now, 3000u);
    EXPECT_LT(Driver.Now, 4200u);
    EXPECT_EQ(From("failed"), TLog({"failed ReadStatus -1", "BaudRate=9600"}));

    for (const TRestartAnswer back : {TRestartAnswer::Success, TRestartAnswer::Any}) {
        Log.clear();
        Driver.Results["ReadStatus"] = {-1, 115};
        const bool any = back == TRestartAnswer::Any;
        EXPECT_EQ(Update(10, back), any);
        EXPECT_EQ(From("ReadStatus")[3], any ? "ended ReadStatus 115" : "failed ReadStatus 115");
        EXPECT_EQ(From("SetExchangeParam").empty(), !any);
    }
}

TEST_F(Firmware, FailingCallKeepsTheDriversSpeed) {
    Driver.ThrowIn = "SetExchangeParam";
    EXPECT_THROW(Update(10), std::runtime_error);
    EXPECT_EQ(Log.back(), "BaudRate=9600");
    EXPECT_EQ(Driver.Speed, 9600);
}
} // namespace
