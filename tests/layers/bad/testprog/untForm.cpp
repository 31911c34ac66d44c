#include "driver/core/untUtil.h"
#include "untDriver.h"
