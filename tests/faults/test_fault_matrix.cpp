// Every fault of the virtual board against every operation of the matrix: the result code
// and text, the outputs, the sequence number, what Input shows, the command's log block, and
// that the operation succeeds again once the fault is gone.
//
//   test_fault_matrix [GoogleTest options]                         (Linux: starts its board)
//   test_fault_matrix [GoogleTest options] <board port> <control port>          (Windows)
#include "untCodePage.h"
#include "untCommandCatalogue.h"
#include "untFaultMatrix.h"
#include "driver/core/untUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <tuple>

using namespace faultmatrix;
namespace fs = std::filesystem;

namespace {
using TParam = std::tuple<std::size_t, std::size_t>; // fault, operation

std::string ReadFrom(const fs::path& path, std::uintmax_t offset) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string Utf8(const std::string& cp1251) {
    return Cp1251ToUtf8(cp1251);
}

class FaultMatrix : public ::testing::TestWithParam<TParam> {
protected:
    void SetUp() override {
        Dir =
            fs::temp_directory_path() / ("trelmo-faults-" + std::to_string(std::random_device()()));
        fs::create_directories(Dir);
        Driver = std::make_unique<TDriver>();
        Board().Attach(*Driver);
        Configure(*Driver);
        // Saved settings of other runs must not decide what is logged.
        Driver->SetLogCommands(true);
        Driver->SetLogMethods(false);
        Driver->SetComLogFile((Dir / "log.txt").string());
        Driver->SetLogOn(true);
        TraceStart = Board().Trace().size();
        ASSERT_EQ(Board().Command("clear"), "OK\n");
        ASSERT_TRUE(WaitForQuietBoard(Board()));
    }
    void TearDown() override {
        Driver.reset();
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
        if (HasFailure())
            std::cout << Board().Trace().substr(TraceStart);
    }

    const TFault& Fault() const { return Faults()[std::get<0>(GetParam())]; }
    const TOperation& Operation() const { return Operations()[std::get<1>(GetParam())]; }
    std::uintmax_t LogSize() const {
        std::error_code missing;
        const std::uintmax_t size = fs::file_size(Dir / "log.txt", missing);
        return missing ? 0 : size;
    }
    std::string LogSince(std::uintmax_t offset) {
        Driver->GetLog().Close(); // the next line reopens it
        return WithoutStamps(ReadFrom(Dir / "log.txt", offset));
    }
    // An answer that carries no data decodes nothing, and fails only where data are needed.
    int ExpectedCode() const {
        return Fault().LosesData && MinData(Operation()) == 0 ? 0 : Fault().Code;
    }

    void Arm();
    void CheckResult(int result, long long elapsedMs);
    void CheckInput();
    void CheckLog(std::uintmax_t offset, int code);
    void Recover();

    fs::path Dir;
    std::unique_ptr<TDriver> Driver;
    std::size_t TraceStart = 0;
    std::string Clean, Spoilt; // the outputs after the clean run, and spoilt
};

void FaultMatrix::CheckInput() {
    const std::string& hex = Driver->GetInput();
    const TBytes input = HexToBytes(hex);
    EXPECT_EQ(hex.rfind(Fault().InputHex, 0), 0u) << hex;
    if (Fault().InputBytes != WholeFrame) {
        EXPECT_EQ(input.size(), static_cast<std::size_t>(Fault().InputBytes)) << hex;
        return;
    }
    ASSERT_GE(input.size(), FrameHeaderSize) << hex;
    EXPECT_EQ(input.size(), FrameHeaderSize + static_cast<std::uint8_t>(input[3]) + 1) << hex;
    const TBytes answer = FramePayload(hex);
    ASSERT_FALSE(answer.empty());
    const std::uint8_t code = Operation().Code;
    const std::uint8_t echoed = Fault().Code == -10 ? static_cast<std::uint8_t>(~code) : code;
    EXPECT_EQ(static_cast<std::uint8_t>(answer[0]), echoed) << hex;
}

void FaultMatrix::CheckLog(std::uintmax_t offset, int code) {
    const TBytes request = FramePayload(Driver->GetOutput());
    EXPECT_EQ(static_cast<std::uint8_t>(request.at(0)), Operation().Code);
    const TBytes answer = Fault().Framed ? FramePayload(Driver->GetInput()) : TBytes();
    const std::string text =
        ResultText(code).empty() ? Driver->GetResultDescription() : ResultText(code);
    EXPECT_EQ(Utf8(LogSince(offset)), Utf8(CommandBlock(Operation(), request, answer, code, text)));
}

void FaultMatrix::Recover() {
    Configure(*Driver);
    switch (Fault().After) {
    case TAfter::Nothing:
        break;
    case TAfter::Flush:
        ASSERT_EQ(Board().Command("reset"), "OK\n");
        ASSERT_TRUE(WaitForQuietBoard(Board()));
        break;
    case TAfter::Restart:
        ASSERT_TRUE(WaitForQuietBoard(Board()));
        break;
    case TAfter::Return:
        ASSERT_EQ(Board().Command("return"), "OK\n");
        ASSERT_EQ(Driver->Connect(), 0) << Utf8(Driver->GetResultDescription());
        break;
    }
    ASSERT_EQ(Board().Command("clear"), "OK\n");
    Operation().Prepare(*Driver);
    EXPECT_EQ(Operation().Run(*Driver), 0) << Utf8(Driver->GetResultDescription());
}

// A clean run gives the outputs an answer sets; then the outputs are spoilt and the fault
// is armed for the operation's command alone.
void FaultMatrix::Arm() {
    Operation().Prepare(*Driver);
    ASSERT_EQ(Operation().Run(*Driver), 0) << Utf8(Driver->GetResultDescription());
    Clean = Operation().Outputs(*Driver);
    Operation().Spoil(*Driver);
    Spoilt = Operation().Outputs(*Driver);
    const TBytes answer = FramePayload(Driver->GetInput());
    ASSERT_GE(answer.size(), 2u) << Driver->GetInput();
    ASSERT_EQ(Board().Command(ControlLine(Fault(), Operation(), answer.size() - 2)), "OK\n");
    if (Fault().CommandTimeout > 0)
        Driver->SetCommandTimeout(Fault().CommandTimeout);
    if (Fault().ByteTimeout > 0)
        Driver->SetTimeout(Fault().ByteTimeout);
}

void FaultMatrix::CheckResult(int result, long long elapsedMs) {
    const int code = ExpectedCode();
    EXPECT_EQ(result, code) << Utf8(Driver->GetResultDescription());
    EXPECT_EQ(Driver->GetResultCode(), code);
    EXPECT_FALSE(Driver->GetResultDescription().empty());
    if (!ResultText(code).empty()) {
        EXPECT_EQ(Utf8(Driver->GetResultDescription()), Utf8(ResultText(code)));
    }
    if (Fault().MinMs > 0) {
        EXPECT_GE(elapsedMs, Fault().MinMs);
    }
    if (Fault().MaxMs > 0) {
        EXPECT_LT(elapsedMs, Fault().MaxMs);
    }
}

TEST_P(FaultMatrix, Case) {
    ASSERT_NO_FATAL_FAILURE(Arm());
    const int sequence = Driver->GetSequenceNumber();
    const std::uintmax_t logStart = LogSize();
    const auto start = std::chrono::steady_clock::now();
    const int result = Operation().Run(*Driver);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    CheckResult(result, std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    EXPECT_EQ(Operation().Outputs(*Driver), Fault().Decoded ? Clean : Spoilt);
    // Every request that went out uses up its number; only a vanished device takes none.
    const bool sent = Fault().After != TAfter::Return;
    EXPECT_EQ(Driver->GetSequenceNumber(), sent ? (sequence + 1) % 255 : sequence);
    CheckInput();
    CheckLog(logStart, ExpectedCode());
    Recover();
}

std::string CaseName(const ::testing::TestParamInfo<TParam>& info) {
    return std::string(Faults()[std::get<0>(info.param)].Name) + "_" +
           Operations()[std::get<1>(info.param)].Name;
}

// A command added to the catalogue with a decoder and left out here would meet no fault.
TEST(MatrixCoverage, EveryDecoderOfTheCatalogueHasAnOperation) {
    for (const TOperation& operation : Operations())
        EXPECT_NE(FindBoardCommand(operation.Code), nullptr) << operation.Name;
    for (const TBoardCommand& command : BoardCommands()) {
        const auto& operations = Operations();
        const bool covered =
            std::any_of(operations.begin(), operations.end(), [&](const TOperation& operation) {
                return operation.Code == command.Code;
            });
        EXPECT_TRUE(!command.Decode || covered) << "command " << static_cast<int>(command.Code);
    }
}

INSTANTIATE_TEST_SUITE_P(Board, FaultMatrix,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Faults().size()),
                                            ::testing::Range<std::size_t>(0, Operations().size())),
                         CaseName);
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!SetUpBoard(argc, argv))
        return 2;
    return RUN_ALL_TESTS();
}
