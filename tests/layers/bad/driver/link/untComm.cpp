// Points up a layer.
#include "untDriver.h"
// Names a unit two folders have, without its folder.
#include "untUtil.h"
