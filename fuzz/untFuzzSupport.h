// What every fuzz target shares: a settings folder of the run's own, so the driver never reads
// or writes the user's, and the check that turns a broken invariant into a crash libFuzzer keeps.
#pragma once

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// Created on the first call and set as XDG_CONFIG_HOME; removed when the run ends normally.
// In memory where possible: the settings store replaces its file on every write, and on a disk
// each replacement waits for the data to reach it.
inline const std::string& FuzzHome() {
    // Plain storage: the exit handler may run after static objects are gone.
    static char path[PATH_MAX];
    static const std::string home = [] {
        const char* tmp = std::getenv("TMPDIR");
        if (!tmp || !*tmp)
            tmp = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::snprintf(path, sizeof path, "%s/trelmo-fuzz.XXXXXX", tmp);
        if (!mkdtemp(path)) {
            std::perror("mkdtemp");
            std::abort();
        }
        setenv("XDG_CONFIG_HOME", path, 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        });
        return std::string(path);
    }();
    return home;
}

inline void Require(bool condition, const char* what, const std::string& detail = {}) {
    if (condition)
        return;
    std::fprintf(stderr, "\n*** %s\n%s\n", what, detail.c_str());
    std::abort();
}
