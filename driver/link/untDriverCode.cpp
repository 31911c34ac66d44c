#include "untDriverCode.h"

#include "untCodePage.h"
#include "untError.h"

#include <map>

namespace {
const std::map<int, std::string>& DriverTexts() {
    static const std::map<int, std::string> texts = {
        {ecOK, Ansi("Ошибок нет")},
        {ecNoLink, Ansi("Нет связи")},
        {ecPortUnavailable, Ansi("Порт недоступен")},
        {ecPortBusy, Ansi("Порт занят другим приложением")},
        {ecBadCrc, Ansi("Неверный CRC кадра")},
        {ecBadLength, Ansi("Неверная длина кадра")},
        {ecNoStx, Ansi("Первый байт не STX")},
        {ecBadAnswerCode, Ansi("Неверный код ответа")},
    };
    return texts;
}
} // namespace

const std::string& TextOfDriverCode(int code) {
    static const std::string none;
    auto it = DriverTexts().find(code);
    return it == DriverTexts().end() ? none : it->second;
}

void RaiseDriverError(TDriverCode code) {
    throw EDriverError(code, TextOfDriverCode(code));
}
