// The service as a process: its socket's access, the link to a board that goes away and
// comes back, status events, reloads and its end.
#include "untDaemonProcess.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace testdaemon;

namespace {
TEST(Service, StopsInOrderOnSigterm) {
    testboard::TBoardProcess board;
    TDaemonProcess daemon(board.Link, "", {"--no-watchdog"});
    struct stat info {};
    ASSERT_EQ(stat(daemon.Socket.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0660u);
    EXPECT_EQ(daemon.Stop(), 0) << daemon.Log();
    EXPECT_FALSE(testboard::Exists(daemon.Socket));
}
} // namespace
