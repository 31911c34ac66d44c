// The driver core against the virtual board, through a real pty: what a caller of the
// register-style interface sees after each operation.
#include "untCodePage.h"
#include "untCommandCatalogue.h"
#include "untDriver.h"
#include "untError.h"
#include "untTestBoard.h"
#include "driver/core/untUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

using testboard::TBoardProcess;

namespace {
std::string U(const char* utf8) {
    return Ansi(utf8);
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A board, a driver on its device with short time-outs, and a settings folder of its own.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-driver-test.XXXXXX";
        Home = mkdtemp(dir);
        setenv("XDG_CONFIG_HOME", Home.c_str(), 1);
        Driver = NewDriver();
    }
    void TearDown() override {
        Driver.reset();
        std::system(("rm -rf " + Home).c_str());
    }
    std::unique_ptr<TDriver> NewDriver() {
        auto driver = std::make_unique<TDriver>();
        driver->SetDevicePath(Board.Link);
        driver->SetTimeout(100);
        driver->SetCommandTimeout(300);
        return driver;
    }
    void LogTo(const std::string& name) {
        LogPath = Home + "/" + name;
        Driver->SetComLogFile(LogPath);
        Driver->SetLogOn(true);
    }
    std::string Log() {
        Driver->GetLog().Close(); // flushes nothing, but lets the next line reopen it
        return ReadFile(LogPath);
    }
    // Waits out a board restart: the first status that answers.
    int StatusAfterRestart() {
        int result = -1;
        for (int i = 0; i < 20 && (result = Driver->ReadStatus()) == -1; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return result;
    }

    TBoardProcess Board{{"--restart-ms", "100"}};
    std::string Home, LogPath;
    std::unique_ptr<TDriver> Driver;
};
} // namespace

TEST_F(DriverTest, StatusIsDecodedAndTheFrameShown) {
    ASSERT_EQ(Driver->ReadStatus(), 0) << Driver->GetResultDescription();
    EXPECT_EQ(Driver->GetResultDescription(), U("Ошибок нет"));
    EXPECT_EQ(Driver->GetOutput(), "02 00 00 01 11 10 ");
    EXPECT_EQ(Driver->GetInput().size(), 3u * (4 + 15 + 1));
    EXPECT_EQ(Driver->SerialNumber, 1234);
    EXPECT_EQ(Driver->SoftVersion, "1.5");
    EXPECT_EQ(Driver->SoftBuild, 312);
    EXPECT_EQ(Driver->SoftDateStr, "17.11.2004");
    EXPECT_EQ(Driver->SoftDate, 38308);
    EXPECT_EQ(Driver->ModeDescription, U("готов к работе"));
    EXPECT_TRUE(Driver->MBPowerSensor);
    EXPECT_EQ(std::to_string(Driver->RelayStatus), Board.State("relays"));

    ASSERT_EQ(Driver->ReadDeviceMetrics(), 0);
    EXPECT_EQ(Driver->UDescription, U("Варнок-плата ВП-1"));
    EXPECT_EQ(Driver->GetOutput().substr(0, 9), "02 01 00 ");
}

TEST_F(DriverTest, EveryBrokenAnswerHasItsCodeAndChangesNothing) {
    struct TCase {
        const char* fault;
        int code;
        const char* text;
    };
    const TCase cases[] = {
        {"noanswer", -1, "Нет связи"},
        {"cut 10", -1, "Нет связи"},
        {"stx", -6, "Первый байт не STX"},
        {"crc", -4, "Неверный CRC кадра"},
        {"code", -10, "Неверный код ответа"},
        {"short 3", -5, "Неверная длина кадра"},
        {"error 33", 51, "Некорректные параметры в команде"},
        {"error c8", 200, "Ошибка устройства: 200 (C8h)"},
        {"long 3", 0, "Ошибок нет"},
        {"garbage 4", -6, "Первый байт не STX"},
    };
    ASSERT_EQ(Driver->ReadStatus(), 0);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.fault);
        Driver->RelayStatus = 0x55;
        Driver->SerialNumber = 77;
        const int sequence = Driver->GetSequenceNumber();
        ASSERT_EQ(Board.Command(std::string("fault ") + c.fault), "OK\n");
        EXPECT_EQ(Driver->ReadStatus(), c.code);
        EXPECT_EQ(Driver->GetResultCode(), c.code);
        EXPECT_EQ(Driver->GetResultDescription(), U(c.text));
        if (c.code != 0) {
            EXPECT_EQ(Driver->RelayStatus, 0x55);
            EXPECT_EQ(Driver->SerialNumber, 77);
        }
        // A request that went out uses up its number, whatever came back.
        EXPECT_EQ(Driver->GetSequenceNumber(), sequence + 1);
        if (std::string(c.fault) == "noanswer") {
            EXPECT_EQ(Driver->GetInput(), "");
        }
        if (std::string(c.fault) == "crc") {
            EXPECT_EQ(Driver->GetInput().size(), 3u * 20);
        }
        EXPECT_EQ(Driver->ReadStatus(), 0) << "after " << c.fault;
    }
}

TEST_F(DriverTest, PortsThatCannotBeHad) {
    Driver->SetDevicePath(Home + "/no-such-port");
    EXPECT_EQ(Driver->OpenPort(), -2);
    EXPECT_EQ(Driver->GetResultDescription(), U("Порт недоступен"));
    EXPECT_EQ(Driver->Connect(), -2);
    EXPECT_FALSE(Driver->PortOpened());

    Driver->SetDevicePath(Board.Link);
    ASSERT_EQ(Driver->OpenPort(), 0);
    auto second = NewDriver();
    EXPECT_EQ(second->ReadStatus(), -3);
    EXPECT_EQ(second->GetResultDescription(), U("Порт занят другим приложением"));
    Driver->ClosePort();
    EXPECT_EQ(second->ReadStatus(), 0);
    second.reset();

    Board.Command("fault noanswer always");
    EXPECT_EQ(Driver->Connect(), -1);
    EXPECT_FALSE(Driver->PortOpened());
}

TEST_F(DriverTest, SilenceEndsAfterTheCommandTimeout) {
    Board.Command("fault noanswer always");
    for (int commandTimeout : {300, 700}) {
        Driver->SetCommandTimeout(commandTimeout); // applied to the open port at once
        const auto start = testboard::TClock::now();
        EXPECT_EQ(Driver->ReadStatus(), -1);
        const int elapsed = testboard::ElapsedMs(start);
        EXPECT_GE(elapsed, commandTimeout);
        EXPECT_LT(elapsed, commandTimeout + 400);
    }
}

// However set, a time-out bounds a read: a negative one counts as 0, not as forever.
TEST_F(DriverTest, NoTimeoutValueLetsASilentBoardHangARead) {
    Board.Command("fault noanswer always");
    // Each read in a child process, so that a hang fails the test instead of stopping it.
    const auto readStatus = [](TDriver& driver) {
        return testboard::ResultWithin(3000, [&] { return driver.ReadStatus(); }).value_or(1);
    };
    const std::pair<int, int> timeouts[] = {{-1, -2}, {INT_MIN, 300}, {100, INT_MIN}};
    for (const auto& t : timeouts) {
        Driver->SetTimeout(t.first);
        Driver->SetCommandTimeout(t.second);
        EXPECT_EQ(readStatus(*Driver), -1) << t.first << " " << t.second;
    }

    ASSERT_EQ(Driver->SaveRegParams(), 0); // the last pair, for every later driver
    TDriver loaded;
    loaded.SetDevicePath(Board.Link);
    EXPECT_EQ(readStatus(loaded), -1);
}

// The board answers row 1 too late: that answer arrives while row 2 is being read.
TEST_F(DriverTest, ALateAnswerIsNotTakenForTheNextRequest) {
    Driver->SetCommandTimeout(600);
    Driver->TableNumber = 2; // relays
    Driver->FieldNumber = 1; // their names
    Driver->RowNumber = 2;
    ASSERT_EQ(Driver->ReadTable(), 0);
    const std::string row2 = Driver->FieldValue;

    ASSERT_EQ(Board.Command("fault delay 900 for 1f"), "OK\n");
    Driver->RowNumber = 1;
    EXPECT_EQ(Driver->ReadTable(), -1);
    EXPECT_EQ(Driver->GetResultDescription(), U("Нет связи"));
    Driver->RowNumber = 2;
    EXPECT_EQ(Driver->ReadTable(), 0) << Driver->GetResultDescription();
    EXPECT_EQ(Driver->FieldValue, row2);

    // A late answer alone does not stretch the wait for the right one.
    ASSERT_EQ(Board.Command("fault delay 900 for 1f"), "OK\n");
    Driver->RowNumber = 1;
    EXPECT_EQ(Driver->ReadTable(), -1);
    ASSERT_EQ(Board.Command("fault noanswer for 1f"), "OK\n");
    const auto start = testboard::TClock::now();
    EXPECT_EQ(Driver->ReadTable(), -1);
    EXPECT_LT(testboard::ElapsedMs(start), 600 + 400);
    EXPECT_EQ(Driver->FieldValue, row2);
}

// The sequence byte of an answer is the board's to fill: a board that answers in time is heard
// whatever it puts there, also right after a request that went unanswered.
TEST_F(DriverTest, ABoardThatDoesNotEchoTheNumberIsHeard) {
    ASSERT_EQ(Board.Command("fault seq 200 always"), "OK\n");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Driver->ReadStatus(), 0) << Driver->GetResultDescription();
    Driver->SetCommandTimeout(300);
    ASSERT_EQ(Board.Command("fault noanswer"), "OK\n");
    EXPECT_EQ(Driver->ReadStatus(), -1);
    EXPECT_EQ(Driver->ReadStatus(), 0) << Driver->GetResultDescription();
}

TEST_F(DriverTest, AVanishedDeviceIsReportedAndReconnectingHeals) {
    ASSERT_EQ(Driver->ReadStatus(), 0);
    ASSERT_EQ(Board.Command("away"), "OK\n");
    const int result = Driver->ReadStatus();
    EXPECT_TRUE(result == -1 || result == -199) << result;
    EXPECT_EQ(Driver->GetResultCode(), result);
    EXPECT_FALSE(Driver->GetResultDescription().empty());
    EXPECT_EQ(Driver->Connect(), -2); // the device node is gone
    ASSERT_EQ(Board.Command("return"), "OK\n");
    EXPECT_EQ(Driver->Connect(), 0) << Driver->GetResultDescription();
    EXPECT_EQ(Driver->ReadStatus(), 0);
    EXPECT_EQ(Driver->Disconnect(), 0);
    EXPECT_FALSE(Driver->PortOpened());
}

TEST_F(DriverTest, LocalOperationsAnswerWithoutTheBoard) {
    Board.Command("fault noanswer always");
    Driver->MemoryType = 0x32;
    EXPECT_EQ(Driver->ReadMemoryTypeDescription(), 0);
    EXPECT_EQ(Driver->MemoryTypeDescription, U("Память EEPROM ATMEGA128 Dorvel"));
    Driver->MemoryType = 51;
    EXPECT_EQ(Driver->ReadMemoryTypeDescription(), 0);
    EXPECT_EQ(Driver->MemoryTypeDescription, U("Неправильный код области памяти"));
    Driver->ParamFlags = 0x89;
    Driver->ParamFlags2 = 1;
    EXPECT_EQ(Driver->DecodeParamFlags(), 0);
    EXPECT_TRUE(Driver->MBPowerState && Driver->GetDoorLockOpened() && Driver->MBPowerSensor);
    EXPECT_FALSE(Driver->ButtonPowerPressed || Driver->RelayToggled || Driver->TurnOffDelay);
    EXPECT_TRUE(Driver->WatchDogEnabled);
    EXPECT_FALSE(Driver->PortOpened());
}

TEST_F(DriverTest, RangeChecksSendNothing) {
    LogTo("range.log");
    Driver->TestNumber = 9;
    EXPECT_EQ(Driver->TestDevice(), -9);
    EXPECT_EQ(Driver->GetResultDescription(),
              U("Значение свойства \"TestNumber\" должно быть в диапазоне от 0 до 8"));
    Driver->CommandHex = "";
    EXPECT_EQ(Driver->ExecuteCommand(), -199);
    EXPECT_EQ(Driver->GetResultDescription(), U("Неверные данные команды"));
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Board.State("last_test"), "-1");
    Driver->CommandHex = "C5 03" + std::string(254 * 3, '0');
    EXPECT_EQ(Driver->ExecuteCommand(), -199);
    EXPECT_EQ(Driver->GetResultDescription(), U("Команда длиннее 255 байт"));
    EXPECT_EQ(Board.State("last_test"), "-1");

    Driver->TestNumber = 3;
    EXPECT_EQ(Driver->TestDevice(), 0);
    EXPECT_EQ(Board.State("last_test"), "3");
    Driver->CommandHex = "11";
    EXPECT_EQ(Driver->ExecuteCommand(), 0);
    EXPECT_EQ(Driver->SerialNumber, 1234);
    EXPECT_EQ(Driver->ResetDevice(), 0);
    EXPECT_EQ(Board.State("restarts"), "1");
}

TEST_F(DriverTest, ControlOperationsReachTheBoard) {
    Driver->RelayStatus = 0x81;
    ASSERT_EQ(Driver->RelaySetStatus(), 0);
    EXPECT_EQ(Board.State("relays"), "129");
    Driver->RelayStatus = 0x03;
    Driver->ToggleTime = 5000;
    ASSERT_EQ(Driver->ToggleRelayStatus(), 0);
    ASSERT_EQ(Driver->ReadStatus(), 0);
    EXPECT_TRUE(Driver->RelayToggled);
    EXPECT_EQ(Driver->RelayStatus, 3);

    ASSERT_EQ(Driver->EnableWatchDog(), 0);
    EXPECT_TRUE(Driver->WatchDogEnabled);
    ASSERT_EQ(Driver->ResetWatchDog(), 0);
    EXPECT_EQ(Driver->ParamFlags2 & 1, 1);
    ASSERT_EQ(Driver->DisableWatchDog(), 0);
    EXPECT_FALSE(Driver->WatchDogEnabled);

    ASSERT_EQ(Driver->MBPowerStateOff(), 0);
    EXPECT_FALSE(Driver->MBPowerState);
    EXPECT_EQ(Board.State("mb_power"), "0");
    ASSERT_EQ(Driver->MBPowerStateOn(), 0);
    EXPECT_TRUE(Driver->MBPowerState);

    Driver->SetDoorLockOpened(true);
    ASSERT_EQ(Driver->OpenDoorLock(), 0);
    EXPECT_EQ(Board.State("door"), "1");
    Driver->ButtonStatus = btnCodeDelayPower;
    ASSERT_EQ(Driver->ToggleButtonStatus(), 0);
    ASSERT_EQ(Driver->ReadStatus(), 0);
    EXPECT_TRUE(Driver->TurnOffDelay);
    EXPECT_TRUE(Driver->GetDoorLockOpened());
}

TEST_F(DriverTest, TableValuesUseTheRememberedStructure) {
    LogTo("tables.log");
    const std::string structRequest = U("Команда 2E");
    Driver->TableNumber = 1;
    Driver->FieldNumber = 1; // watchdog period: 2 bytes, 10..3600
    Driver->RowNumber = 1;
    ASSERT_EQ(Driver->ReadTable(), 0);
    EXPECT_EQ(Driver->FieldValue, "60");
    EXPECT_EQ(Driver->FieldMaxValue, 3600);
    ASSERT_EQ(Driver->ReadTable(), 0);
    Driver->RowNumber = 1;
    ASSERT_EQ(Driver->ReadTable(), 0);
    EXPECT_EQ(Count(Log(), structRequest), 1);

    Driver->FieldValue = "3601";
    try {
        Driver->WriteTable();
        ADD_FAILURE() << "a value out of range was sent";
    } catch (const EDriverError& e) {
        EXPECT_EQ(e.Code, -9);
        EXPECT_EQ(e.what(), U("Неверное значение поля (3601). Допустимые значения: 10..3600"));
    }
    Driver->FieldValue = "12a";
    EXPECT_THROW(Driver->WriteTable(), std::invalid_argument);
    Driver->FieldValue = "3600";
    ASSERT_EQ(Driver->WriteTable(), 0);
    EXPECT_EQ(Board.State("watchdog_period_ms"), "3600000");

    Driver->FieldNumber = 9; // kiosk name, a string of 32
    Driver->FieldValue = U("Киоск №7 ");
    ASSERT_EQ(Driver->WriteTable(), 0);
    Driver->FieldValue = "";
    ASSERT_EQ(Driver->ReadTable(), 0);
    EXPECT_EQ(Driver->FieldValue, U("Киоск №7 "));
    EXPECT_EQ(Count(Log(), structRequest), 2);

    Driver->FieldNumber = 8; // operating hours, read-only
    Driver->FieldValue = "5";
    EXPECT_EQ(Driver->WriteTable(), 122);
    EXPECT_EQ(Driver->GetResultDescription(), U("Поле не редактируется"));

    Driver->RowNumber = 2; // past the only row: a bad parameter, not a missing table
    EXPECT_EQ(Driver->ReadTable(), 51);
    EXPECT_EQ(Driver->GetResultDescription(), U("Некорректные параметры в команде"));

    Driver->TableNumber = 3;
    ASSERT_EQ(Driver->ReadTableStruct(), 0);
    EXPECT_EQ(Driver->TableName, U("Журнал событий"));
    EXPECT_EQ(Driver->RowCount, 24);
    EXPECT_EQ(Driver->FieldCount, 3);
    Driver->TableNumber = 6;
    EXPECT_EQ(Driver->ReadTableStruct(), 93);
    EXPECT_EQ(Driver->TableName, U("Журнал событий"));
}

TEST_F(DriverTest, InitTablesConfirmsWithTheStatus) {
    Driver->TableNumber = 1;
    Driver->FieldNumber = 4; // door lock time
    Driver->RowNumber = 1;
    Driver->FieldValue = "42";
    ASSERT_EQ(Driver->WriteTable(), 0);
    ASSERT_EQ(Driver->InitTables(), 0) << Driver->GetResultDescription();
    ASSERT_EQ(Driver->ReadTable(), 0);
    EXPECT_EQ(Driver->FieldValue, "5");

    Driver->ClosePort();
    auto fresh = NewDriver();
    LogPath = Home + "/init.log";
    fresh->SetComLogFile(LogPath);
    fresh->SetLogOn(true);
    Board.Command("fault noanswer");
    EXPECT_EQ(fresh->InitTables(), -1);
    fresh.reset();
    EXPECT_EQ(Count(ReadFile(LogPath), U("Команда 11")), 1);
    EXPECT_EQ(Count(ReadFile(LogPath), U("Команда 24")), 0);
}

TEST_F(DriverTest, FirmwareWrittenInProgramModeReadsBackFromTheDump) {
    ASSERT_EQ(Driver->EnterProgramMode(), 0);
    ASSERT_EQ(Driver->ReadMode(), 0);
    EXPECT_EQ(Driver->Mode, 1);
    EXPECT_EQ(Driver->ModeDescription, U("Режим программирования"));
    EXPECT_EQ(Driver->ReadStatus(), 115);

    TBytes image;
    for (int i = 0; i < 138; ++i)
        image += static_cast<char>(i * 7 + 1);
    for (std::uint16_t block = 1; block <= 3; ++block) {
        Driver->SetDataBlock(image.substr((block - 1) * 64u, 64));
        Driver->BlockNumber = block;
        ASSERT_EQ(Driver->WriteProgramBlock(), 0) << block;
    }
    ASSERT_EQ(Driver->ExitProgramMode(), 0);
    ASSERT_EQ(StatusAfterRestart(), 0);

    Driver->MemoryType = 0x31;
    ASSERT_EQ(Driver->ReadDumpSize(), 0);
    EXPECT_EQ(Driver->BlockCount, 2048);
    TBytes dump;
    for (std::uint16_t block = 0; block < 3; ++block) {
        Driver->BlockNumber = block;
        ASSERT_EQ(Driver->ReadDump(), 0);
        EXPECT_EQ(Driver->BlockNumber, block);
        dump += Driver->GetDataBlock();
    }
    image.resize(3 * 64, '\0'); // the short last block went out padded
    EXPECT_EQ(dump, image);

    Board.Command("fault short 1");
    Driver->BlockNumber = 1;
    EXPECT_EQ(Driver->ReadDump(), -5);
    EXPECT_EQ(Driver->GetDataBlock(), image.substr(128, 64));
}

TEST_F(DriverTest, ExchangeParametersMoveTheBoardsSpeed) {
    Driver->DeviceBaudRate = 9600;
    Driver->DeviceTimeout = 50;
    ASSERT_EQ(Driver->SetExchangeParam(), 0);
    EXPECT_EQ(Driver->GetBaudRate(), 2400);
    EXPECT_EQ(Driver->ReadStatus(), -1);
    Driver->SetBaudRate(9600);
    ASSERT_EQ(Driver->OpenPort(), 0);
    ASSERT_EQ(Driver->ReadStatus(), 0);
    Driver->SetBaudRate(2400);
    Driver->SetTimeout(7);
    ASSERT_EQ(Driver->ReadExchangeParam(), 0);
    EXPECT_EQ(Driver->GetBaudRate(), 9600);
    EXPECT_EQ(Driver->GetTimeout(), 50);
    Driver->SetBaudRate(1234);
    EXPECT_EQ(Driver->GetBaudRate(), 2400);
}

TEST_F(DriverTest, SequenceNumberWrapsAfter255Exchanges) {
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(Driver->ReadRelayStatus(), 0) << i;
    EXPECT_EQ(Driver->GetSequenceNumber(), 0);
    EXPECT_EQ(Driver->GetOutput().substr(0, 9), "02 FE 00 ");
}

TEST_F(DriverTest, CommandLogBlocks) {
    LogTo("log.txt");
    Board.Command("fault error 7a");
    EXPECT_EQ(Driver->ReadStatus(), 122);
    Driver->SetDataBlock(TBytes(64, 'x'));
    EXPECT_EQ(Driver->WriteProgramBlock(), 0x74); // refused in main mode
    const std::string log = Log();
    const std::string stamp = R"(\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\] )";
    const std::string expected =
        stamp + "-{60}\r\n" + stamp + U("Команда 11 Запрос состояния устройства") + "\r\n" + stamp +
        "-> 11 \r\n" + stamp + "<- 11 7A \r\n" + stamp +
        U("Ошибка: \\(122, 7Ah\\) Поле не редактируется") + "\r\n" + stamp + "-{60}\r\n" + stamp +
        U("Команда C1 Запись очередного блока прошивки") + "\r\n" + "(" + stamp +
        "-> (.. ){20}\r\n){3}" + stamp + "-> (.. ){7}\r\n" + stamp + "<- C1 74 \r\n" + stamp +
        U("Ошибка: \\(116, 74h\\) Команда не поддерживается в основном режиме") + "\r\n";
    EXPECT_TRUE(std::regex_match(log, std::regex(expected))) << log;

    Driver->SetLogOn(false);
    Driver->ReadStatus();
    Driver->SetLogOn(true);
    Board.Command("fault noanswer");
    Driver->ReadStatus();
    const std::string after = Log();
    EXPECT_EQ(after.substr(0, log.size()), log);
    EXPECT_EQ(Count(after, U("Команда 11")), 2);
    EXPECT_NE(after.find(U("Ошибка: (-1) Нет связи\r\n")), std::string::npos);
}

TEST_F(DriverTest, SettingsSurviveTheObjectAndStopAtAWrongType) {
    Driver->SetTimeout(150);
    Driver->SetBaudRate(9600);
    Driver->SetPortNumber(7);
    Driver->SetComLogFile(U("/tmp/журнал.log"));
    Driver->SetLogMethods(true);
    ASSERT_EQ(Driver->SaveRegParams(), 0);
    auto loaded = std::make_unique<TDriver>();
    EXPECT_EQ(loaded->GetTimeout(), 150);
    EXPECT_EQ(loaded->GetCommandTimeout(), 300);
    EXPECT_EQ(loaded->GetBaudRate(), 9600);
    EXPECT_EQ(loaded->GetPortNumber(), 7);
    EXPECT_EQ(loaded->GetComLogFile(), U("/tmp/журнал.log"));
    EXPECT_TRUE(loaded->GetLogMethods());
    EXPECT_FALSE(loaded->GetLogOn());
    EXPECT_EQ(loaded->SetDefaults(), 0);
    EXPECT_EQ(loaded->GetTimeout(), 200);
    EXPECT_TRUE(loaded->GetLogMethods());

    const std::string file = Home + "/Norvik/Trelmo/Trelmo/Param.conf";
    std::ofstream(file) << "Timeout=dword:90\nCommandTimeout=sz:500\nBaudRate=dword:1234\n";
    EXPECT_EQ(loaded->LoadRegParams(), -199);
    EXPECT_EQ(loaded->GetResultDescription(), U("Неверный тип данных значения \"CommandTimeout\""));
    EXPECT_EQ(loaded->GetTimeout(), 90);
    EXPECT_EQ(loaded->GetCommandTimeout(), 1000);
    std::ofstream(file) << "BaudRate=dword:1234\n";
    EXPECT_EQ(loaded->LoadRegParams(), 0);
    EXPECT_EQ(loaded->GetBaudRate(), 2400);
}

TEST_F(DriverTest, SettingsThatCannotBeStoredAreReported) {
    const std::string folder = Home + "/Norvik/Trelmo/Trelmo";
    std::ofstream(Home + "/Norvik") << "a file where a folder belongs";
    EXPECT_EQ(Driver->SaveRegParams(), -199);
    EXPECT_EQ(Driver->GetResultDescription().rfind(U("Системная ошибка. Код: 20."), 0), 0u)
        << Driver->GetResultDescription();

    std::remove((Home + "/Norvik").c_str());
    ASSERT_EQ(std::system(("mkdir -p " + folder + "/Param.conf").c_str()), 0);
    EXPECT_EQ(Driver->SaveRegParams(), -199);
    EXPECT_EQ(Driver->GetResultDescription().rfind(U("Системная ошибка. Код: 21."), 0), 0u)
        << Driver->GetResultDescription();
    EXPECT_FALSE(testboard::Exists(folder + "/Param.conf.new"));
}

TEST(HexReader, ReadsTheDriversHexText) {
    const std::pair<const char*, TBytes> cases[] = {
        {"11", "\x11"},
        {"02 11 0A", "\x02\x11\x0A"},
        {"1 2", "\x01\x20"},
        {"A", "\xA0"},
        {"ABC", "\xAB\xC0"},
        {"0a", TBytes(1, '\0')},
        {"02 -1", "\x02\x10"},
        {"02-1", "\x02"},
        {"12 3", "\x12"},
        {"", ""},
        {"FF 00 ", TBytes("\xFF\x00", 2)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToHex(HexToBytes(c.first)), StrToHex(c.second)) << c.first;
}

// One row per code, each named and found by its code; a minimum without a decoder would never
// be checked.
TEST(CommandCatalogue, RowsAreUniqueNamedAndFound) {
    std::set<int> codes;
    for (const TBoardCommand& command : BoardCommands()) {
        SCOPED_TRACE(static_cast<int>(command.Code));
        EXPECT_TRUE(codes.insert(command.Code).second);
        EXPECT_FALSE(command.Name.empty());
        EXPECT_EQ(FindBoardCommand(command.Code), &command);
        EXPECT_TRUE(command.Decode || command.MinAnswer == 0);
    }
    EXPECT_EQ(FindBoardCommand(0x10), nullptr);
    EXPECT_EQ(CommandName(0x10), U("Неизвестная команда"));
    EXPECT_EQ(CommandName(cmdReadDump), U("Запрос блока данных"));
}

// A read past the end is the wrong-length result and takes nothing; a wide number counts its
// first four bytes and skips them all.
TEST(AnswerReader, ReadsInOrderAndRaisesTheWrongLength) {
    const TBytes data("\x01\x02\x03\x04\x05\x06\x07\x08\xFF", 9);
    TAnswerReader reader(data);
    EXPECT_EQ(reader.Byte(), 0x01);
    EXPECT_EQ(reader.Word(), 0x0302);
    EXPECT_EQ(reader.Number(5), 0x07060504u);
    try {
        reader.Text(3);
        ADD_FAILURE() << "no wrong length";
    } catch (const EDriverError& e) {
        EXPECT_EQ(e.Code, -5);
        EXPECT_EQ(e.what(), U("Неверная длина кадра"));
    }
    EXPECT_EQ(reader.Rest(), "\xFF");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.Rest(), "");
}
