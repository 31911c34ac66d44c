// The wire figures' own arithmetic against a real line-timing board: an account that counted
// the frames wrong, left out the board's delay or counted it twice would show a transfer
// faster than its wire or far slower than the driver is.
#include "untBenchBoard.h"
#include "untWireLimit.h"
#include "untWorkloads.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace bench;

namespace {

const int Baud = 115200;

class WireLimit : public ::testing::Test {
protected:
    void SetUp() override {
        // A delay far above what a loaded machine adds, so an account that left it out
        // stands out from the noise.
        Options.ProcessUs = 20000;
        Board = std::make_unique<TBenchBoard>(
            TRELMO_BOARD_PROGRAM,
            std::vector<std::string>{"--line-timing", "--process-us",
                                     std::to_string(Options.ProcessUs), "--restart-ms", "0",
                                     "--baud", std::to_string(Baud)});
        Prepare(Driver);
        Driver.SetBaudRate(Baud);
        Driver.SetDevicePath(Board->Link());
        ASSERT_EQ(Driver.OpenPort(), 0);
        Options.Quick = true;
    }

    // Every exchange takes at least its wire time, and the board's scheduling and the
    // pty leave far less than the board's delay on top.
    void ExpectAtTheWire(const TWireResult& r) const {
        SCOPED_TRACE(r.Work);
        EXPECT_GT(r.Exchanges, 0u);
        EXPECT_LE(r.WireSeconds, r.DriverSeconds);
        EXPECT_GE(r.MedianExcessUs, 0);
        EXPECT_LT(r.MedianExcessUs, Options.ProcessUs / 2);
    }

    TWireOptions Options;
    std::unique_ptr<TBenchBoard> Board;
    TDriver Driver;
};

// The driver's frames as it kept them and the raw loop's as it built and read them: two
// counts that must agree, and the wire time that follows from them.
TEST_F(WireLimit, CountsTheFramesBothWaysAndTheBoardsDelay) {
    const TWireResult status = WireStatus(Driver, Options);
    Driver.ClosePort();
    const TWireResult raw = WireStatusRaw(Board->Link(), Baud, Options);
    EXPECT_EQ(status.Exchanges, raw.Exchanges);
    EXPECT_EQ(status.Bytes, raw.Bytes);
    EXPECT_EQ(status.Bytes % status.Exchanges, 0u);
    EXPECT_GT(status.Bytes / status.Exchanges, 6u + 5 + 2);
    EXPECT_NEAR(status.WireSeconds,
                status.Bytes * 10.0 / Baud + status.Exchanges * Options.ProcessUs * 1e-6, 1e-9);
    ExpectAtTheWire(status);
    ExpectAtTheWire(raw);
}

// The firmware leaves the board at 2400 baud; the transfers after it must still be heard at
// the driver's speed.
TEST_F(WireLimit, EveryTransferRunsAtTheDriversSpeedAfterTheFirmware) {
    const std::vector<TWireResult> results =
        RunWire(Driver, Board->Link(), FirmwareImage(), Options);
    ASSERT_EQ(results.size(), 5u);
    // Program mode, 8 blocks of 64 bytes in requests of 72, back: 7-byte answers.
    EXPECT_EQ(results[0].Exchanges, 10u);
    EXPECT_EQ(results[0].Bytes, 6u + 7 + 8 * (72 + 7) + 6 + 7);
    // Dump blocks: 9-byte requests, answers with the block number and 64 bytes.
    EXPECT_EQ(results[2].Work, "dump");
    EXPECT_EQ(results[2].Bytes, results[2].Exchanges * (9 + 73));
    for (const TWireResult& r : results) {
        EXPECT_EQ(r.BaudRate, Baud);
        ExpectAtTheWire(r);
    }
    EXPECT_EQ(Driver.ReadStatus(), 0);
}

TEST(WireBaudRates, TakesTheBoardsSpeedsAndNothingElse) {
    std::vector<int> rates;
    EXPECT_TRUE(ParseBaudRates("2400,115200", rates));
    EXPECT_EQ(rates, (std::vector<int>{2400, 115200}));
    EXPECT_TRUE(ParseBaudRates("9600 4800", rates));
    EXPECT_EQ(rates, (std::vector<int>{9600, 4800}));
    EXPECT_TRUE(ParseBaudRates("none", rates));
    EXPECT_TRUE(rates.empty());
    for (const char* bad : {"", ",", "1200", "2400x", "115200,abc"})
        EXPECT_FALSE(ParseBaudRates(bad, rates)) << bad;
}

} // namespace
