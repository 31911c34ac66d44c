// Registration of the library with the system's regsvr32, this program's bitness next to the
// other one. The class lives in each bitness's registry view; the ProgID, TypeLib and
// Interface keys are shared, so unregistering one bitness must leave the other working.
//
//   test_com_register [GoogleTest options] <port number> <board serial number>
//                     <other bitness's Trelmo.dll> <script>
//
// This bitness's Trelmo.dll is the one next to the program. The script (trelmo.js) proves
// that the bitness left registered still works: the other bitness's script host runs it
// against the board and it must end with "VERDICT OK". An other library of "-" says the other
// bitness cannot run on this machine: its programs are then never started.
#include "TrelmoLib_TLB.h"
#include "comtest.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {
int BoardPort = 0;
int BoardSerial = 0;
std::wstring OwnLibrary, OtherLibrary, Script;

struct TBitness {
    const wchar_t* Name;
    const std::wstring* Library;
    REGSAM View;
    const wchar_t* SystemFolder; // the folder of its regsvr32 and cscript, seen from here
    const wchar_t* Platform;     // its type library's subkey
};

#ifdef _WIN64
const TBitness Own{L"64-bit", &OwnLibrary, KEY_WOW64_64KEY, L"C:\\windows\\system32", L"win64"};
const TBitness Other{L"32-bit", &OtherLibrary, KEY_WOW64_32KEY, L"C:\\windows\\syswow64", L"win32"};
#else
const TBitness Own{L"32-bit", &OwnLibrary, KEY_WOW64_32KEY, L"C:\\windows\\syswow64", L"win32"};
const TBitness Other{L"64-bit", &OtherLibrary, KEY_WOW64_64KEY, L"C:\\windows\\sysnative",
                     L"win64"};
#endif

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

const std::wstring ClassKey = L"CLSID\\" + GuidText(CLSID_Trelmo);
const std::wstring PageKey = L"CLSID\\" + GuidText(CLSID_TrelmoPage);
const std::wstring ProgIdKey = L"Addin.Trelmo";
const std::wstring TypeLibKey = L"TypeLib\\" + GuidText(LIBID_TrelmoLib);
const std::wstring VersionKey = TypeLibKey + L"\\1.0";
const std::wstring InterfaceKey = L"Interface\\" + GuidText(IID_ITrelmo);

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // paths and names here are ASCII
}

struct TProcess {
    DWORD ExitCode = 0xFFFFFFFF;
    std::string Output;
};

// Runs a program to its end and collects its standard output.
TProcess Run(std::wstring commandLine) {
    TProcess result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            result.Output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &result.ExitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return result;
}

DWORD RegSvr32(const TBitness& bitness, bool unregister) {
    const std::wstring command = std::wstring(bitness.SystemFolder) + L"\\regsvr32.exe /s " +
                                 (unregister ? L"/u " : L"") + *bitness.Library;
    return Run(command).ExitCode;
}

// The key's values and those of its subkeys, by "subkey\name" (an empty name for the
// default value); empty when the key is missing.
using TValues = std::map<std::wstring, std::wstring>;

void ReadTree(HKEY key, const std::wstring& prefix, TValues& values) {
    wchar_t name[256];
    BYTE data[2048];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256, dataLength = sizeof data - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        data[dataLength] = data[dataLength + 1] = 0;
        values[prefix + L"\\" + name] =
            type == REG_SZ ? reinterpret_cast<const wchar_t*>(data) : L"<not a string>";
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        values[prefix + L"\\" + name + L"\\"]; // the key itself, also when it holds nothing
        HKEY sub;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            ReadTree(sub, prefix + L"\\" + name, values);
            RegCloseKey(sub);
        }
    }
}

TValues Tree(const std::wstring& path, REGSAM view) {
    TValues values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
        values[L""];
        ReadTree(key, L"", values);
        RegCloseKey(key);
    }
    return values;
}

bool Exists(const std::wstring& path, REGSAM view) {
    return !Tree(path, view).empty();
}

std::wstring Value(const TValues& values, const std::wstring& name) {
    const auto found = values.find(name);
    return found == values.end() ? L"<missing>" : found->second;
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

// The script run by the bitness's own script host against the board.
std::string RunScript(const TBitness& bitness) {
    const std::wstring command = std::wstring(bitness.SystemFolder) + L"\\cscript.exe //nologo " +
                                 Script + L" " + std::to_wstring(BoardPort) + L" " +
                                 std::to_wstring(BoardSerial);
    return Run(command).Output;
}

void ExpectNothingOfOursLeft() {
    for (const TBitness* b : {&Own, &Other}) {
        EXPECT_FALSE(Exists(ClassKey, b->View)) << Narrow(b->Name);
        EXPECT_FALSE(Exists(PageKey, b->View)) << Narrow(b->Name);
        EXPECT_FALSE(Exists(InterfaceKey, b->View)) << Narrow(b->Name);
    }
    EXPECT_FALSE(Exists(ProgIdKey, 0));
    EXPECT_FALSE(Exists(TypeLibKey, 0));
}

class Registration : public ::testing::Test {
protected:
    // Whatever earlier tests left registered goes first; unregistering what is not there
    // succeeds.
    void SetUp() override {
        ASSERT_EQ(0u, RegSvr32(Own, true));
        if (!OtherLibrary.empty()) {
            ASSERT_EQ(0u, RegSvr32(Other, true));
        }
        ExpectNothingOfOursLeft();
    }
};

TEST_F(Registration, WritesTheClassOnceAndRemovesItAll) {
    ASSERT_EQ(0u, RegSvr32(Own, false));
    const TValues first = Tree(ClassKey, Own.View);
    const TValues page = Tree(PageKey, Own.View);
    const TValues progId = Tree(ProgIdKey, 0);
    const TValues typeLib = Tree(TypeLibKey, 0);
    ASSERT_EQ(0u, RegSvr32(Own, false));
    EXPECT_EQ(first, Tree(ClassKey, Own.View));
    EXPECT_EQ(page, Tree(PageKey, Own.View));
    EXPECT_EQ(progId, Tree(ProgIdKey, 0));
    EXPECT_EQ(typeLib, Tree(TypeLibKey, 0));

    const std::wstring clsid = GuidText(CLSID_Trelmo), libid = GuidText(LIBID_TrelmoLib);
    EXPECT_EQ(L"Trelmo", Value(first, L"\\"));
    EXPECT_EQ(OwnLibrary, Value(first, L"\\InprocServer32\\"));
    EXPECT_EQ(L"Apartment", Value(first, L"\\InprocServer32\\ThreadingModel"));
    EXPECT_EQ(L"Addin.Trelmo", Value(first, L"\\ProgID\\"));
    EXPECT_EQ(1u, first.count(L"\\Control\\"));
    EXPECT_EQ(OwnLibrary + L",1", Value(first, L"\\ToolboxBitmap32\\"));
    EXPECT_EQ(libid, Value(first, L"\\TypeLib\\"));
    EXPECT_EQ(L"1.0", Value(first, L"\\Version\\"));
    DWORD status = 0;
    EXPECT_EQ(S_OK, OleRegGetMiscStatus(CLSID_Trelmo, DVASPECT_CONTENT, &status));
    EXPECT_EQ(static_cast<DWORD>(OLEMISC_INVISIBLEATRUNTIME), status);
    EXPECT_EQ(clsid, Value(progId, L"\\CLSID\\"));
    EXPECT_EQ(OwnLibrary, Value(typeLib, L"\\1.0\\409\\" + std::wstring(Own.Platform) + L"\\"));
    EXPECT_EQ(FolderOf(OwnLibrary), Value(typeLib, L"\\1.0\\HELPDIR\\"));
    EXPECT_TRUE(Exists(InterfaceKey, Own.View));
    EXPECT_FALSE(Exists(ClassKey, Other.View));
    // The settings page: a description, the library, no ProgID and no threading model.
    const TValues expectedPage = {
        {L"", L""}, {L"\\", L"TfmPage property page"}, {L"\\InprocServer32\\", OwnLibrary}};
    EXPECT_EQ(expectedPage, page);

    ASSERT_EQ(0u, RegSvr32(Own, true));
    ExpectNothingOfOursLeft();
}

// Unregistering this bitness first; the other bitness's run of this program does it the
// other way round.
TEST_F(Registration, TheOtherBitnessSurvivesAndCleansUpLast) {
    if (OtherLibrary.empty())
        GTEST_SKIP() << "the other bitness cannot run here";
    ASSERT_EQ(0u, RegSvr32(Own, false));
    ASSERT_EQ(0u, RegSvr32(Other, false));
    EXPECT_EQ(*Other.Library, Value(Tree(ClassKey, Other.View), L"\\InprocServer32\\"));
    EXPECT_EQ(*Own.Library, Value(Tree(ClassKey, Own.View), L"\\InprocServer32\\"));

    ASSERT_EQ(0u, RegSvr32(Own, true));
    EXPECT_FALSE(Exists(ClassKey, Own.View));
    EXPECT_FALSE(Exists(PageKey, Own.View));
    EXPECT_TRUE(Exists(ClassKey, Other.View));
    EXPECT_TRUE(Exists(PageKey, Other.View));
    EXPECT_TRUE(Exists(ProgIdKey, 0));
    EXPECT_TRUE(Exists(InterfaceKey, Own.View));
    EXPECT_TRUE(Exists(InterfaceKey, Other.View));
    const TValues typeLib = Tree(VersionKey, 0);
    EXPECT_EQ(0u, typeLib.count(L"\\409\\" + std::wstring(Own.Platform) + L"\\"));
    EXPECT_EQ(*Other.Library, Value(typeLib, L"\\409\\" + std::wstring(Other.Platform) + L"\\"));

    const std::string output = RunScript(Other);
    EXPECT_NE(std::string::npos, output.find("VERDICT OK")) << output;

    ASSERT_EQ(0u, RegSvr32(Other, true));
    ExpectNothingOfOursLeft();
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 5 || std::atoi(argv[1]) <= 0) {
        std::printf("usage: test_com_register [GoogleTest options] <port number> "
                    "<board serial> <other Trelmo.dll> <script>\n");
        return 2;
    }
    BoardPort = std::atoi(argv[1]);
    BoardSerial = std::atoi(argv[2]);
    auto wide = [](const char* text) { return std::wstring(text, text + std::strlen(text)); };
    if (std::strcmp(argv[3], "-") != 0)
        OtherLibrary = wide(argv[3]);
    Script = wide(argv[4]);
    OwnLibrary = comtest::LibraryPath();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
