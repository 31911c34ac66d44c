#include "untPageList.h"

#include "fmuCommand.h"
#include "fmuLater.h"
#include "fmuParam.h"
#include "fmuPing.h"
#include "fmuState.h"

std::vector<std::unique_ptr<TPage>> CreatePages() {
    std::vector<std::unique_ptr<TPage>> pages;
    pages.push_back(std::make_unique<TfmState>());
    pages.push_back(std::make_unique<TfmParam>());
    pages.push_back(std::make_unique<TfmLater>(L"fmRelay", L"Реле"));
    pages.push_back(std::make_unique<TfmLater>(L"fmBoardControl", L"Управление платой"));
    pages.push_back(std::make_unique<TfmLater>(L"fmWDTimer", L"WatchDog Таймер"));
    pages.push_back(std::make_unique<TfmLater>(L"fmTable", L"Таблицы"));
    pages.push_back(std::make_unique<TfmPing>());
    pages.push_back(std::make_unique<TfmLater>(L"fmData", L"Данные"));
    pages.push_back(std::make_unique<TfmLater>(L"fmProg", L"Запись прошивки"));
    pages.push_back(std::make_unique<TfmCommand>());
    return pages;
}
