// The status window's log: the driver core's time-stamped log file, of which the status
// window writes only plain lines (WriteLine). Same opening, switching and line format as the
// driver's protocol log.
#pragma once

#include "untLogFile.h"
