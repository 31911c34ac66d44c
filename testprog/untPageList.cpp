#include "untPageList.h"

#include "fmuBoardControl.h"
#include "fmuCommand.h"
#include "fmuData.h"
#include "fmuParam.h"
#include "fmuPing.h"
#include "testprog/fmuProg.h"
#include "fmuRelay.h"
#include "fmuState.h"
#include "testprog/fmuTable.h"
#include "fmuWDTimer.h"

std::vector<std::unique_ptr<TPage>> CreatePages() {
    std::vector<std::unique_ptr<TPage>> pages;
    pages.push_back(std::make_unique<TfmState>());
    pages.push_back(std::make_unique<TfmParam>());
    pages.push_back(std::make_unique<TfmRelay>());
    pages.push_back(std::make_unique<TfmBoardControl>());
    pages.push_back(std::make_unique<TfmWDTimer>());
    pages.push_back(std::make_unique<TfmTable>());
    pages.push_back(std::make_unique<TfmPing>());
    pages.push_back(std::make_unique<TfmData>());
    pages.push_back(std::make_unique<TfmProg>());
    pages.push_back(std::make_unique<TfmCommand>());
    return pages;
}
