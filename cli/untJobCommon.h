// What the long jobs (firmware, search, dump, monitor) share: their arguments, the driver
// they run on and the lines they print.
#pragma once

#include "untArgs.h"

#include <map>
#include <string>
#include <vector>

class TDriver;

struct TJobArgs {
    std::string Job;
    std::map<std::string, std::string> Options; // "--ports" -> "5,6"
    std::vector<std::string> Operands;
    std::vector<TAction> Settings; // Name=Value, applied to the driver before the job

    bool Has(const std::string& option) const { return Options.count(option) != 0; }
    // An option's whole number in min..max, or the fallback when it is not given.
    int Number(const std::string& option, int fallback, int min, int max) const;
    // An option's comma-separated whole numbers in min..max; empty when it is not given.
    std::vector<int> Numbers(const std::string& option, int min, int max) const;
};

// Options take a value ("--name VALUE" or "--name=VALUE"); property settings are the
// member arguments' "Name=Value" with a property's name; both may come anywhere before "--".
// The rest are operands, whose count the job gives. Throws EUsage.
TJobArgs ParseJobArgs(const TCommandLine& line, const std::vector<std::string>& options,
                      std::size_t operands);

// Points the driver at the command line's device and applies the settings; sends nothing.
void SetUpDriver(TDriver& driver, const TCommandLine& line, const TJobArgs& args);

// Runs a driver method as a member argument runs it, so the method log shows the job's steps.
int Call(TDriver& driver, const char* method);
// The tool's line for the last result: "Label: code description".
std::string ResultLine(const TDriver& driver, const std::string& label);

// The name the driver's file functions take (cp1251) for a UTF-8 path; false for a name that
// cp1251 cannot spell, which they would take for another file's.
bool DriverFileName(const std::string& utf8Path, std::string& name);

// "trelmo: JOB: text" on standard error; returns exFailed.
int JobFailed(const std::string& job, const std::string& text);
