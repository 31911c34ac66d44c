// The pages of the program, in list order: the one place where a page is registered.
#pragma once

#include "testprog/untPage.h"

#include <memory>
#include <vector>

std::vector<std::unique_ptr<TPage>> CreatePages();
