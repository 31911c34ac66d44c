// The driver object on Windows: the virtual board through a COM port, the settings in the
// registry of the current user, the protocol log on disk and the machine's port list.
//
//   test_driver_win [GoogleTest options] <port number>    (or TRELMO_TEST_PORT=<n>)
//
// The port must reach a board at 2400 baud with the serial number 1234.
#include "untCodePage.h"
#include "untDriver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {
int BoardPort = 0;
const wchar_t* const ParamKey = L"Software\\Norvik\\Trelmo\\Trelmo\\Param";

double NowMs() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A fresh directory of this process under the temporary folder, removed with its files.
struct TTempDir {
    std::wstring Path;
    TTempDir() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        Path = std::wstring(base) + L"trelmo-test-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(Path.c_str(), nullptr);
    }
    ~TTempDir() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((Path + L"\\*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
            DeleteFileW((Path + L"\\" + found.cFileName).c_str());
        FindClose(search);
        RemoveDirectoryW(Path.c_str());
    }
};

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Every test starts without the settings key, so a new driver object has the defaults.
class DriverWin : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, ParamKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, ParamKey); }
};

// ---------------------------------------------------------------- the port

TEST_F(DriverWin, ReadsTheBoardsStatusThroughTheComPort) {
    TDriver driver;
    driver.SetPortNumber(BoardPort);
    ASSERT_EQ(0, driver.Connect()) << driver.GetResultDescription();
    ASSERT_EQ(0, driver.ReadStatus()) << driver.GetResultDescription();
    EXPECT_EQ(1234, driver.SerialNumber);
    EXPECT_EQ("1.5", driver.SoftVersion);
    EXPECT_TRUE(driver.PortOpened());
}

TEST_F(DriverWin, OpenFailuresMapToTheDriversCodes) {
    std::vector<TSerialPortInfo> ports;
    TComm::GetSerialPorts(ports);
    for (const TSerialPortInfo& p : ports)
        ASSERT_NE(250, p.Number) << "COM250 must be free for this test";
    TDriver driver;
    driver.SetPortNumber(250);
    EXPECT_EQ(-2, driver.Connect());
    EXPECT_EQ(Ansi("Порт недоступен"), driver.GetResultDescription());
    EXPECT_FALSE(driver.PortOpened());

    // A directory cannot be opened as a file: the system answers "access denied", as it
    // does for a port another program holds.
    TTempDir dir;
    driver.SetDevicePath(WideToCp1251(dir.Path));
    EXPECT_EQ(-3, driver.OpenPort());
    EXPECT_EQ(Ansi("Порт занят другим приложением"), driver.GetResultDescription());
    EXPECT_FALSE(driver.PortOpened());
}

TEST_F(DriverWin, AFileIsNoPortAndFailsWithTheSystemsError) {
    TTempDir dir;
    const std::wstring path = dir.Path + L"\\plain.bin";
    std::ofstream(path.c_str()) << "x";
    TDriver driver;
    driver.SetDevicePath(WideToCp1251(path));
    EXPECT_EQ(-199, driver.OpenPort());
    const std::regex format(Ansi("Системная ошибка\\. Код: [1-9][0-9]*\\.\r\n.*[^\r\n ]"));
    EXPECT_TRUE(std::regex_match(driver.GetResultDescription(), format))
        << Cp1251ToUtf8(driver.GetResultDescription());
    // The handle stays: the port counts as open until it is closed.
    EXPECT_TRUE(driver.PortOpened());
}

// At the wrong speed the board hears noise and stays silent; each read then ends at the
// total time-out, which follows CommandTimeout even while the port is open.
TEST_F(DriverWin, SilentBoardGivesNoLinkAtTheTotalTimeout) {
    TDriver driver;
    driver.SetPortNumber(BoardPort);
    driver.SetBaudRate(9600);
    driver.SetCommandTimeout(300);
    double start = NowMs();
    EXPECT_EQ(-1, driver.ReadStatus());
    const double first = NowMs() - start;
    EXPECT_EQ(Ansi("Нет связи"), driver.GetResultDescription());
    EXPECT_GE(first, 250);
    EXPECT_LT(first, 1000);

    driver.SetCommandTimeout(800);
    start = NowMs();
    EXPECT_EQ(-1, driver.ReadStatus());
    EXPECT_GE(NowMs() - start, first + 400);

    // Negative time-outs count as 0, not as waits of weeks.
    driver.SetTimeout(-1);
    driver.SetCommandTimeout(INT_MIN);
    start = NowMs();
    EXPECT_EQ(-1, driver.ReadStatus());
    EXPECT_LT(NowMs() - start, 1000);
    driver.SetTimeout(200);

    driver.SetBaudRate(2400); // not before the port is opened again
    driver.SetCommandTimeout(300);
    EXPECT_EQ(-1, driver.ReadStatus());
    EXPECT_EQ(0, driver.Connect()) << driver.GetResultDescription();
}

// ---------------------------------------------------------------- the settings

HKEY CreateParamKey() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, ParamKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    return key;
}

TEST_F(DriverWin, SettingsRoundTripThroughTheRegistry) {
    const std::wstring logName = L"C:\\журнал.log";
    TDriver saved;
    saved.SetTimeout(150);
    saved.SetCommandTimeout(700);
    saved.SetBaudRate(9600);
    saved.SetPortNumber(12);
    saved.SetComLogFile(WideToCp1251(logName));
    saved.SetLogMethods(true);
    saved.SetLogCommands(false);
    ASSERT_EQ(0, saved.SaveRegParams()) << saved.GetResultDescription();

    HKEY key = CreateParamKey();
    DWORD type = 0, value = 0, size = sizeof value;
    RegQueryValueExW(key, L"PortNumber", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(12u, value);
    wchar_t text[64] = {};
    size = sizeof text;
    RegQueryValueExW(key, L"ComLogFile", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(logName, text);
    RegCloseKey(key);

    TDriver loaded;
    EXPECT_EQ(150, loaded.GetTimeout());
    EXPECT_EQ(700, loaded.GetCommandTimeout());
    EXPECT_EQ(9600, loaded.GetBaudRate());
    EXPECT_EQ(12, loaded.GetPortNumber());
    EXPECT_EQ(WideToCp1251(logName), loaded.GetComLogFile());
    EXPECT_FALSE(loaded.GetLogOn());
    EXPECT_TRUE(loaded.GetLogMethods());
    EXPECT_FALSE(loaded.GetLogCommands());
}

TEST_F(DriverWin, AValueOfTheWrongTypeStopsTheLoad) {
    HKEY key = CreateParamKey();
    SetText(key, L"Timeout", L"150");
    TDriver first;
    EXPECT_EQ(-199, first.LoadRegParams());
    EXPECT_EQ(Ansi("Неверный тип данных значения \"Timeout\""), first.GetResultDescription());
    EXPECT_EQ(200, first.GetTimeout());

    // Values before the bad one stay applied, the ones after it are not read.
    SetDword(key, L"Timeout", 150);
    SetDword(key, L"CommandTimeout", 700);
    SetDword(key, L"BaudRate", 9600);
    SetText(key, L"PortNumber", L"7");
    SetDword(key, L"LogOn", 1);
    RegCloseKey(key);
    TDriver second;
    EXPECT_EQ(-199, second.LoadRegParams());
    EXPECT_NE(std::string::npos, second.GetResultDescription().find("\"PortNumber\""));
    EXPECT_EQ(150, second.GetTimeout());
    EXPECT_EQ(700, second.GetCommandTimeout());
    EXPECT_EQ(9600, second.GetBaudRate());
    EXPECT_EQ(1, second.GetPortNumber());
    EXPECT_FALSE(second.GetLogOn());
}

TEST_F(DriverWin, LoadingWithoutTheKeyKeepsTheDefaultsAndCreatesNothing) {
    TDriver driver;
    driver.SetTimeout(50);
    EXPECT_EQ(0, driver.LoadRegParams());
    EXPECT_EQ(200, driver.GetTimeout());
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, ParamKey, 0, KEY_READ, &key));
}

// ---------------------------------------------------------------- the log

std::string Today() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[16];
    std::snprintf(text, sizeof text, "[%02u.%02u.%04u", t.wDay, t.wMonth, t.wYear);
    return text;
}

TEST_F(DriverWin, TheLogAppendsCp1251LinesAndKeepsOtherWritersOut) {
    TTempDir dir;
    const std::wstring path = dir.Path + L"\\журнал обмена.log";
    std::ofstream(path.c_str(), std::ios::binary) << "old line\r\n";
    TDriver driver;
    driver.SetPortNumber(BoardPort);
    driver.SetComLogFile(WideToCp1251(path));
    driver.SetLogOn(true);
    const std::string before = Today();
    ASSERT_EQ(0, driver.ReadStatus()) << driver.GetResultDescription();
    const std::string after = Today();

    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(writer);

    const std::string log = ReadAll(path);
    ASSERT_EQ("old line\r\n", log.substr(0, 10));
    const std::string second = log.substr(10, before.size());
    EXPECT_TRUE(second == before || second == after) << second;
    EXPECT_NE(std::string::npos, log.find(Ansi("Команда 11 Запрос состояния устройства\r\n")));
    EXPECT_NE(std::string::npos, log.find("] -> 11 \r\n"));
    std::size_t lines = 0;
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i] == '\n') {
            ++lines;
            EXPECT_TRUE(i > 0 && log[i - 1] == '\r') << "bare LF at " << i;
        }
    EXPECT_EQ(5u, lines); // the old one, separator, command, request, answer
}

// ---------------------------------------------------------------- the port list

// Test values in the machine's port map, named after this process and removed at the end.
class TSerialCommValues {
public:
    TSerialCommValues() {
        Status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                               KEY_SET_VALUE, &Key);
    }
    ~TSerialCommValues() {
        for (const std::wstring& name : Names)
            RegDeleteValueW(Key, name.c_str());
        if (Status == ERROR_SUCCESS)
            RegCloseKey(Key);
    }
    void Add(const std::wstring& data) {
        Names.push_back(L"\\Device\\TrelmoTest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                        std::to_wstring(Names.size()));
        SetText(Key, Names.back().c_str(), data);
    }
    LSTATUS Status;
    HKEY Key = nullptr;
    std::vector<std::wstring> Names;
};

TEST_F(DriverWin, ThePortListIsSortedByNumberWithEachPortOnce) {
    TSerialCommValues values;
    if (values.Status != ERROR_SUCCESS)
        GTEST_SKIP() << "the port map is read-only here: error " << values.Status;
    for (const wchar_t* data : {L"COM10", L"COM2", L"COM123", L"COM10", L"LPT1", L"COMX", L"COM"})
        values.Add(data);

    std::vector<TSerialPortInfo> ports;
    TComm::GetSerialPorts(ports);
    std::vector<int> wanted = {2, 10, 123, BoardPort};
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::string name = "COM" + std::to_string(ports[i].Number);
        EXPECT_EQ(name, ports[i].Name);
        EXPECT_EQ("\\\\.\\" + name, ports[i].Device);
        if (i > 0) {
            EXPECT_LT(ports[i - 1].Number, ports[i].Number) << "at " << i;
        }
        wanted.erase(std::remove(wanted.begin(), wanted.end(), ports[i].Number), wanted.end());
    }
    EXPECT_TRUE(wanted.empty()) << "missing COM" << wanted.front();
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* port = argc > 1 ? argv[1] : std::getenv("TRELMO_TEST_PORT");
    BoardPort = port ? std::atoi(port) : 0;
    if (BoardPort <= 0) {
        std::printf("usage: test_driver_win [GoogleTest options] <port number of the board>\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
