// The interface's member table: the order, identifiers and names that the COM server and
// the 1C add-in publish, and the accessors that reach the driver behind them.
#include "untCodePage.h"
#include "untDriver.h"
#include "untMembers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {
std::vector<const TMember*> OfKind(TMemberKind kind) {
    std::vector<const TMember*> list;
    for (const TMember& m : Members())
        if (m.Kind == kind)
            list.push_back(&m);
    return list;
}

std::string Folded(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// Upper- or lower-case Cyrillic through Unicode, apart from the table's own folding.
std::string Recased(const std::string& cp1251, bool upper) {
    std::wstring text = Cp1251ToWide(cp1251);
    for (wchar_t& c : text) {
        if (upper && ((c >= L'а' && c <= L'я') || c == L'ё'))
            c = c == L'ё' ? L'Ё' : static_cast<wchar_t>(c - 0x20);
        else if (!upper && ((c >= L'А' && c <= L'Я') || c == L'Ё'))
            c = c == L'Ё' ? L'ё' : static_cast<wchar_t>(c + 0x20);
        else if (c < 0x80)
            c = static_cast<wchar_t>(upper ? std::toupper(c) : std::tolower(c));
    }
    return WideToCp1251(text);
}

// A driver whose saved settings live in a directory of the test's own.
class TFreshDriver : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-members.XXXXXX";
        Dir = mkdtemp(dir);
        setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf " + Dir).c_str()); }
    std::string Dir;
};
} // namespace

TEST(Members, OrderAndDispatchIdentifiers) {
    const auto methods = OfKind(TMemberKind::Method);
    const auto properties = OfKind(TMemberKind::Property);
    ASSERT_EQ(methods.size(), 43u);
    ASSERT_EQ(properties.size(), 77u);
    EXPECT_TRUE(Members()[42].IsMethod() && Members()[43].IsProperty()); // methods first

    EXPECT_STREQ(methods[0]->Name, "AboutBox");
    EXPECT_EQ(methods[0]->DispId, -552);
    EXPECT_FALSE(methods[0]->HasResult());
    for (std::size_t i = 1; i < methods.size(); ++i) {
        EXPECT_EQ(methods[i]->DispId, static_cast<int>(i)) << methods[i]->Name;
        EXPECT_TRUE(methods[i]->HasResult());
        if (i > 1) {
            EXPECT_LT(Folded(methods[i - 1]->Name), Folded(methods[i]->Name));
        }
    }

    for (std::size_t i = 0; i < 72; ++i) {
        EXPECT_EQ(properties[i]->DispId, 43 + static_cast<int>(i)) << properties[i]->Name;
        if (i > 0) {
            EXPECT_LT(Folded(properties[i - 1]->Name), Folded(properties[i]->Name));
        }
    }
    const char* const tail[] = {"CommandTimeout", "DefaultTimeout", "DefaultCommandTimeout",
                                "DefaultBaudRate", "DefaultPortNumber"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(properties[72 + i]->Name, tail[i]);
        EXPECT_EQ(properties[72 + i]->DispId, 115 + i);
    }
    for (const TMember& m : Members())
        EXPECT_EQ(FindMemberById(m.DispId), &m);
}

TEST(Members, AccessAndTheirOwners) {
    int writable = 0;
    std::set<std::string> ownerMembers;
    for (const TMember* p : OfKind(TMemberKind::Property)) {
        writable += p->Writable;
        if (!p->OfDriver())
            ownerMembers.insert(p->Name);
        else
            EXPECT_EQ(bool(p->Set), p->Writable) << p->Name;
    }
    EXPECT_EQ(writable, 32);
    EXPECT_EQ(ownerMembers, (std::set<std::string>{"ParentWnd", "Version"}));

    std::set<std::string> dialogs;
    for (const TMember* m : OfKind(TMemberKind::Method))
        if (!m->OfDriver())
            dialogs.insert(m->Name);
    EXPECT_EQ(dialogs, (std::set<std::string>{"AboutBox", "ShowLogDlg", "ShowProperties",
                                              "ShowSearchDlg", "ShowTablesDlg", "UpdateSoftware"}));
}

TEST(Members, NamesAreUniqueAndFoundInAnyCase) {
    for (const TMember& a : Members())
        for (const TMember& b : Members())
            if (&a != &b) {
                EXPECT_FALSE(SameName(a.Name, b.Name)) << a.Name;
                EXPECT_FALSE(SameName(a.RussianName, b.RussianName)) << a.Name;
            }
    for (const TMember& m : Members()) {
        for (bool upper : {true, false}) {
            EXPECT_EQ(FindMember(Recased(m.Name, upper)), &m) << m.Name;
            EXPECT_EQ(FindMember(Recased(m.RussianName, upper)), &m) << m.Name;
        }
        const TMemberKind other = m.IsMethod() ? TMemberKind::Property : TMemberKind::Method;
        EXPECT_EQ(FindMember(m.RussianName, m.Kind), &m);
        EXPECT_EQ(FindMember(m.RussianName, other), nullptr);
    }
    EXPECT_EQ(FindMember(Ansi("ПОЛУЧИТЬСОСТОЯНИЕ"))->DispId, 24);
    EXPECT_EQ(FindMember(Ansi("наличиенапряжениянаматеринскойплате"))->DispId, 70);
    EXPECT_TRUE(SameName(Ansi("Ёлка"), Ansi("ёЛКА")));
    EXPECT_FALSE(SameName(Ansi("Елка"), Ansi("Ёлка")));
    EXPECT_EQ(FindMember("ReadStatu"), nullptr);
    EXPECT_EQ(FindMember(""), nullptr);
}

TEST_F(TFreshDriver, AccessorsCarryTheirTypeAndRoundTrip) {
    TDriver driver;
    for (const TMember& m : Members()) {
        if (!m.IsProperty() || !m.OfDriver())
            continue;
        const TMemberValue value = m.Get(driver);
        EXPECT_EQ(value.index(), static_cast<std::size_t>(m.Type == TMemberType::Long      ? 0
                                                          : m.Type == TMemberType::Boolean ? 1
                                                          : m.Type == TMemberType::String  ? 2
                                                          : m.Type == TMemberType::Date    ? 3
                                                                                           : 4))
            << m.Name;
        if (!m.Writable)
            continue;
        TMemberValue sample;
        if (m.Type == TMemberType::Long)
            sample = std::int32_t{19200};
        else if (m.Type == TMemberType::Boolean)
            sample = !std::get<bool>(value);
        else if (m.Type == TMemberType::String)
            sample = std::string("0A 1B ");
        else
            sample = TByteBlock{TBytes("\x01\xFF", 2)};
        m.Set(driver, sample);
        EXPECT_EQ(m.Get(driver), sample) << m.Name;
    }
    EXPECT_THROW(FindMember("RelayStatus")->Set(driver, true), std::bad_variant_access);
}

TEST_F(TFreshDriver, WordRegistersAndDataBlockViews) {
    TDriver driver;
    for (const char* name : {"RowNumber", "BlockNumber"}) {
        FindMember(name)->Set(driver, std::int32_t{0x12345});
        EXPECT_EQ(FindMember(name)->Get(driver), TMemberValue{std::int32_t{0x2345}}) << name;
    }
    FindMember("DataBlockSafeArray")->Set(driver, TByteBlock{TBytes("\x01\xFF", 2)});
    EXPECT_EQ(FindMember("DataBlockHex")->Get(driver), TMemberValue{std::string("01 FF ")});
    EXPECT_EQ(FindMember("DataBlock")->Get(driver), TMemberValue{std::string("\x01\xFF", 2)});
}

TEST_F(TFreshDriver, InvokeMethodWritesTheMethodLine) {
    TDriver driver;
    const std::string log = Dir + "/methods.log";
    driver.SetComLogFile(log);
    driver.SetLogOn(true);
    driver.SetLogMethods(true);
    EXPECT_EQ(InvokeMethod(*FindMember("DecodeParamFlags"), driver), 0);
    driver.TestNumber = 9;
    EXPECT_EQ(InvokeMethod(*FindMember(Ansi("ТестУстройства")), driver), -9);
    driver.SetComLogFile("");
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("] DecodeParamFlags: 0\r\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("] TestDevice: -9\r\n"), std::string::npos) << text.str();
}

// The COM object's vtable methods reach their rows by place, fixed at compile time.
TEST(Members, CompileTimePlacesNameTheirRows) {
#define MEMBER(Member, ...)                                                                        \
    EXPECT_STREQ(MemberAt<TMemberIndex::Member>().Name, #Member);                                  \
    EXPECT_EQ(MemberAt<TMemberIndex::Member>().DispId, static_cast<int>(TMemberId::Member));
#include "untMemberList.h"
}
