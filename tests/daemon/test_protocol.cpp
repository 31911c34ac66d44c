// The socket protocol against the real service on the virtual board: member requests as
// units, the value types both ways, and bad requests that leave the connection usable.
#include "untDaemonProcess.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

using namespace testdaemon;

namespace {
class Protocol : public ::testing::Test {
protected:
    testboard::TBoardProcess Board;
    TDaemonProcess Daemon{Board.Link, "", {"--no-watchdog"}};
    TDaemonClient Client{Daemon};

    TJson Get(const std::string& name) { return Client.Request({{"get", {name}}})["values"][name]; }
};

TEST_F(Protocol, RunsSetCallGetAsOneUnitByEitherName) {
    const std::string name = "Реле ввода №3";
    TJson answer = Client.Request(
        {{"id", {{"n", 1}}},
         {"set", {{"НомерТаблицы", 2}, {"НомерРяда", 3}, {"номерполя", 1}, {"ЗначениеПоля", name}}},
         {"call", "ЗаписатьТаблицу"}});
    EXPECT_EQ(answer["id"], TJson({{"n", 1}}));
    EXPECT_EQ(answer["result"], 0) << answer;
    EXPECT_EQ(answer["values"], TJson::object());

    // Another row's value in the registers first, so the read-back proves the board's.
    Client.Request({{"set", {{"FieldValue", "x"}, {"RowNumber", 1}}}});
    answer = Client.Request({{"set", {{"rownumber", 3}}},
                             {"call", "READTABLE"},
                             {"get", {"fieldvalue", "ЗначениеПоля", "ResultCode"}}});
    EXPECT_EQ(answer["id"], nullptr);
    EXPECT_EQ(answer["result"], 0) << answer;
    EXPECT_EQ(answer["values"]["fieldvalue"], name);
    EXPECT_EQ(answer["values"]["ЗначениеПоля"], name);
    EXPECT_EQ(answer["values"]["ResultCode"], 0);

    // A failing call gives its code and the driver's text in UTF-8.
    answer = Client.Request({{"set", {{"TableNumber", 99}}}, {"call", "ReadTableStruct"}});
    EXPECT_GT(answer["result"].get<int>(), 0) << answer;
    EXPECT_FALSE(answer["text"].get<std::string>().empty());
    EXPECT_EQ(Get("ResultCode"), answer["result"]);
}

TEST_F(Protocol, ConvertsEachTypeBothWays) {
    EXPECT_EQ(Client.Request({{"set", {{"ToggleTime", -2147483647 - 1}}}})["result"], 0);
    EXPECT_EQ(Get("ToggleTime"), -2147483647 - 1);

    for (const TJson& value : {TJson(true), TJson(0), TJson(1)}) {
        Client.Request({{"set", {{"DoorLockOpened", value}}}});
        EXPECT_EQ(Get("DoorLockOpened"), value == true || value == 1);
    }

    Client.Request({{"set", {{"DataBlockSafeArray", "00 1f A0"}}}});
    EXPECT_EQ(Get("DataBlockHex"), Get("DataBlockSafeArray"));
    Client.Request({{"set", {{"DataBlockHex", "ff00"}}}});
    EXPECT_EQ(Get("DataBlockSafeArray"), Get("DataBlockHex"));
    EXPECT_NE(Get("DataBlockSafeArray"), "");

    // Cyrillic of both cases, a sign only cp1251 has, all as UTF-8.
    Client.Request({{"set", {{"FieldValue", "Ёлка ёж №5 «»"}}}});
    EXPECT_EQ(Get("FieldValue"), "Ёлка ёж №5 «»");

    ASSERT_EQ(Client.Request({{"call", "ReadStatus"}})["result"], 0);
    EXPECT_TRUE(std::regex_match(Get("SoftDate").get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\d( \d\d:\d\d:\d\d)?)")))
        << Get("SoftDate");
}

TEST_F(Protocol, ChecksTheWholeRequestBeforeRunningAny) {
    Client.Request({{"set", {{"TableNumber", 2}, {"FieldValue", "before"}}}});
    const TJson bad[] = {
        {{"set", {{"TableNumber", 4}, {"FieldValue", "日本"}}}},       // not in cp1251
        {{"set", {{"TableNumber", 4}, {"ToggleTime", 2147483648LL}}}}, // over a Long
        {{"set", {{"TableNumber", 4}, {"ToggleTime", "10"}}}},
        {{"set", {{"TableNumber", 4}, {"DoorLockOpened", 2}}}},
        {{"set", {{"TableNumber", 4}, {"SoftDate", "2020-01-01"}}}}, // read-only
        {{"set", {{"TableNumber", 4}, {"BaudRate", 9600}}}},        // the service's port
        {{"set", {{"TableNumber", 4}, {"ComLogFile", "/tmp/x"}}}},
        {{"set", {{"TableNumber", 4}}}, {"call", "LoadRegParams"}},
        {{"set", {{"TableNumber", 4}}}, {"call", "ShowProperties"}}, // a dialog
        {{"set", {{"TableNumber", 4}}}, {"get", {"ParentWnd"}}},
        {{"set", {{"TableNumber", 4}}}, {"call", "NoSuchMethod"}},
        {{"set", {{"TableNumber", 4}}}, {"call", "TableNumber"}},
        {{"set", {{"TableNumber", 4}}}, {"get", "TableNumber"}},
        {{"set", {{"TableNumber", 4}}}, {"callx", "ReadStatus"}},
    };
    int id = 0;
    for (const TJson& request : bad) {
        TJson sent = request;
        sent["id"] = ++id;
        const TJson answer = Client.Request(sent);
        EXPECT_EQ(answer["id"], id) << sent;
        EXPECT_TRUE(answer.contains("error") && !answer.contains("result")) << answer;
    }
    EXPECT_EQ(Get("TableNumber"), 2);
    EXPECT_EQ(Get("FieldValue"), "before");
}

TEST_F(Protocol, AnswersEveryBadLineAndGoesOn) {
    const std::string lines[] = {
        "garbage",
        "[1,2]",
        std::string("{\"id\":1,\0\x01\xff\xfe}", 14),
        "{\"id\":5,\"get\":[\"TableNumber\"]",
        std::string(70000, 'x'),
        "{\"id\":\"" + std::string(66000, 'y') + "\"}",
    };
    for (const std::string& line : lines) {
        ASSERT_TRUE(Client.Send(line));
        const TJson answer = Client.Answer();
        EXPECT_EQ(answer["id"], nullptr) << line.substr(0, 40);
        EXPECT_TRUE(answer.contains("error")) << answer;
        const TJson good = Client.Request({{"id", "after"}, {"get", {"TableNumber"}}});
        EXPECT_EQ(good["id"], "after") << line.substr(0, 40);
        EXPECT_EQ(good["result"], 0);
    }
    // Answers in the order of the requests, all sent at once.
    ASSERT_TRUE(Client.Write("{\"id\":1}\n{\"id\":2,\"call\":\"nope\"}\nnot json\n{\"id\":4}\n"));
    for (const TJson& id : {TJson(1), TJson(2), TJson(), TJson(4)})
        EXPECT_EQ(Client.Answer()["id"], id);
}

// A cell of the board's tables that a client owns: a value of its own written and read back.
struct TCell {
    int Table, Row, Field;
    bool Text;
    TJson Value(int client, int round) const {
        if (Text)
            return "к" + std::to_string(client) + "-" + std::to_string(round);
        return std::to_string(Table == 2 ? 10 + round * 7 + client : round * 10 + client);
    }
};

std::vector<TCell> OwnCells() {
    std::vector<TCell> cells;
    for (int row = 1; row <= 8; ++row) {
        cells.push_back({2, row, 1, true});  // Реле: Название
        cells.push_back({2, row, 3, false}); // Время импульса, мс
    }
    for (int row = 1; row <= 4; ++row)
        cells.push_back({5, row, row <= 2 ? 1 : 3, row <= 2}); // Доступ: Пользователь, ПИН-код
    return cells;
}

TEST_F(Protocol, KeepsEachClientsUnitsWholeUnderLoad) {
    const int rounds = 500;
    const std::vector<TCell> cells = OwnCells();
    std::vector<std::thread> clients;
    for (int k = 0; k < static_cast<int>(cells.size()); ++k) {
        clients.emplace_back([this, k, &cell = cells[k]] {
            TDaemonClient client(Daemon);
            const TJson where = {
                {"TableNumber", cell.Table}, {"RowNumber", cell.Row}, {"FieldNumber", cell.Field}};
            for (int round = 0; round < rounds; ++round) {
                TJson set = where;
                set["FieldValue"] = cell.Value(k, round);
                const TJson wrote =
                    client.Request({{"id", {k, round, "w"}}, {"set", set}, {"call", "WriteTable"}});
                ASSERT_EQ(wrote["id"], TJson({k, round, "w"})) << wrote;
                ASSERT_EQ(wrote["result"], 0) << wrote;
                const TJson read = client.Request(
                    {{"id", {k, round, "r"}},
                     {"set", where},
                     {"call", "ReadTable"},
                     {"get", {"FieldValue", "TableNumber", "RowNumber", "FieldNumber"}}});
                ASSERT_EQ(read["id"], TJson({k, round, "r"})) << read;
                ASSERT_EQ(read["result"], 0) << read;
                TJson expected = {{"FieldValue", cell.Value(k, round)}};
                expected.update(where);
                ASSERT_EQ(read["values"], expected) << "client " << k << " round " << round;
            }
        });
    }
    for (std::thread& client : clients)
        client.join();
}
} // namespace
