// What both stores share: each platform's file has the rest.
#include "untSettingsStore.h"

#include "untError.h"

bool TSettingsKey::OpenCreate(const std::string& keyPath) {
    try {
        OpenCreateOrRaise(keyPath);
        return true;
    } catch (const EOSError&) {
        return false;
    }
}
