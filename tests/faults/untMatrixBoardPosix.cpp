// The matrix's board on Linux: a trelmo-board process of this test, reached through its
// control socket.
#include "untFaultMatrix.h"

#include "untTestBoard.h"

namespace faultmatrix {
namespace {
class TProcessBoard : public TBoard {
public:
    std::string Command(const std::string& line) override { return Process.Command(line); }
    void Attach(TDriver& driver) override { driver.SetDevicePath(Process.Link); }
    std::string Trace() override { return Process.Trace(); }

private:
    // The reset case needs the board to restart long enough for a request to be lost.
    testboard::TBoardProcess Process{{"--restart-ms", "250"}};
};
} // namespace

// A write to a pty whose other side is gone fails with EIO.
const int GoneCode = -199;

bool SetUpBoard(int, char**) {
    return true;
}

TBoard& Board() {
    static TProcessBoard board;
    return board;
}
} // namespace faultmatrix
