// trelmo tables: the board's settings tables listed, saved to a table set file, loaded from
// one and written back, or reset to the board's own values.
#include "untCodePage.h"
#include "untToolDriver.h"
#include "untDriverTables.h"
#include "untError.h"
#include "untJobCommon.h"
#include "untJobProgress.h"
#include "untJobSystem.h"
#include "untJobs.h"
#include "untMembers.h"
#include "untValues.h"

#include <iostream>
#include <memory>

namespace {
const int DefaultRetries = 3;
const int RetryPauseMs = 100;

// The operands ParseJobArgs will find, so that `save` may take any number of tables.
std::size_t CountOperands(const std::vector<std::string>& in) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::string& arg = in[i];
        if (arg == "--") {
            return count + in.size() - i - 1;
        } else if (arg.size() >= 2 && arg[0] == '-') {
            i += arg.find('=') == std::string::npos; // the option's value
        } else {
            const std::size_t eq = arg.find('=');
            const TMember* member = eq == std::string::npos || eq == 0
                                        ? nullptr
                                        : FindMember(Utf8ToCp1251(arg.substr(0, eq)));
            count += !(member && member->IsProperty());
        }
    }
    return count;
}

// The transfer's user at a terminal or in a script: nobody to ask. A failed step is tried
// again up to Retries times in a row, each failure printed, and then the job stops; Ctrl-C
// stops it at the next cell.
class TTerminalTransfer : public TDriverTables, public TTransferUi {
public:
    TTerminalTransfer(TDriver& driver, std::ostream& out, int retries)
        : TDriverTables(driver), Driver(driver), Out(out), Retries(retries) {}

    std::string Why; // when the transfer stopped

    // A step that succeeds ends a run of failures.
    int ReadTableStruct() override {
        return Note("ReadTableStruct", TDriverTables::ReadTableStruct(), TableNotDefined);
    }
    int ReadFieldStructure() override {
        StructureFailed = TDriverTables::ReadFieldStructure() != 0;
        if (StructureFailed)
            LastFailure = Where("ReadFieldStructure");
        return Driver.GetResultCode();
    }
    int ReadTable() override {
        const int code = TDriverTables::ReadTable();
        if (StructureFailed && code == 0)
            return code; // the pair failed as a whole
        return Note("ReadTable", code, 0);
    }
    int WriteTable() override {
        return Note("WriteTable", TDriverTables::WriteTable(), FieldNotEditable);
    }

    void StartProgress(const std::string& text, int maximum) override {
        Done = 0;
        Bar = std::make_unique<TProgress>(std::cerr, ErrorIsTerminal(), Cp1251ToUtf8(text),
                                          static_cast<unsigned>(maximum));
        Bar->Show(0);
    }
    void StepProgress() override {
        if (Bar)
            Bar->Show(++Done);
    }
    void StopProgress() override { Bar.reset(); }
    bool BreakRequested() override { return Interrupted(); }
    bool ConfirmBreak() override {
        Why = "interrupted";
        return true;
    }
    bool AskContinue(const std::string&) override {
        ++Failures;
        if (Bar)
            Bar->Erase();
        Out << LastFailure << " (try " << Failures << " of " << Retries + 1 << ')' << std::endl;
        if (Failures > Retries) {
            Why = "gave up after " + std::to_string(Failures) + " tries";
            return false;
        }
        SleepMs(RetryPauseMs);
        if (Interrupted()) {
            Why = "interrupted";
            return false;
        }
        return true;
    }

private:
    int Note(const char* method, int code, int alsoGood) {
        if (code == 0 || code == alsoGood)
            Failures = 0;
        else
            LastFailure = Where(method);
        return code;
    }
    std::string Where(const char* method) const {
        std::string where =
            ResultLine(Driver, method) + " (table " + std::to_string(Driver.TableNumber);
        if (std::string(method) != "ReadTableStruct")
            where += ", row " + std::to_string(Driver.RowNumber) + ", field " +
                     std::to_string(Driver.FieldNumber);
        // The driver's texts are C strings: one that quotes this value ends at its NUL.
        const std::string& value = Driver.FieldValue;
        if (std::string(method) == "WriteTable" && value.find('\0') != std::string::npos)
            where += ", value \"" + OneLine(Cp1251ToUtf8(value)) + '"';
        return where + ')';
    }

    TDriver& Driver;
    std::ostream& Out;
    const int Retries;
    std::unique_ptr<TProgress> Bar;
    unsigned Done = 0;
    int Failures = 0;
    bool StructureFailed = false;
    std::string LastFailure;
};

std::string TableLine(const TTable& table) {
    return std::to_string(table.Number) + '\t' + OneLine(Cp1251ToUtf8(table.Name)) + '\t' +
           std::to_string(table.RowCount) + '\t' + std::to_string(table.FieldCount);
}

int CellsOf(const TTable& table) {
    return table.Fields.Count();
}

// Chooses the tables named on the command line; all of them when none is named.
bool Choose(TTables& tables, const std::vector<std::string>& numbers, std::string& error) {
    if (numbers.empty())
        return true;
    for (int i = 0; i < tables.Count(); ++i)
        tables[i].Selected = false;
    for (const std::string& text : numbers) {
        std::int32_t number = 0;
        if (!ParseLong(text, number))
            throw EUsage("tables save: a table is a number, not '" + text + "'");
        TTable* table = tables.ItemByNumber(number);
        if (!table) {
            error = "the board has no table " + text + "; nothing saved";
            return false;
        }
        table->Selected = true;
    }
    return true;
}

// The board would refuse a cell outside its table only as a bad parameter, after the cells
// before it are written: the file is checked against the structure first.
bool CellsExist(TTables& tables, std::string& error) {
    for (int i = 0; i < tables.Count(); ++i) {
        const TTable& table = tables[i];
        for (int f = 0; table.Selected && f < table.Fields.Count(); ++f) {
            const TField& cell = table.Fields[f];
            const std::string where = "table " + std::to_string(table.Number) + " has no ";
            if (cell.RowNumber < 1 || cell.RowNumber > table.RowCount)
                error = where + "row " + std::to_string(cell.RowNumber) + " (rows 1 to " +
                        std::to_string(table.RowCount) + ")";
            else if (cell.FieldNumber < 1 || cell.FieldNumber > table.FieldCount)
                error = where + "field " + std::to_string(cell.FieldNumber) + " (fields 1 to " +
                        std::to_string(table.FieldCount) + ")";
            if (!error.empty())
                return false;
        }
    }
    return true;
}

// The file's text, whole, read before anything is sent.
bool ReadTableFile(const std::string& path, std::string& text, std::string& error) {
    if (!ReadFileHead(path, MaxTableFileSize, text))
        error = "cannot read '" + path + "': " + LastFileError();
    else if (text.size() > MaxTableFileSize)
        error = "'" + path + "' is larger than the " + std::to_string(MaxTableFileSize) +
                " bytes a table set file may have";
    return error.empty();
}

int Save(TTables& tables, const std::string& path, const std::string& name) {
    try {
        tables.SaveToFile(name);
    } catch (const EOSError& e) {
        return JobFailed("tables save", "cannot write '" + path + "': " + SystemErrorText(e.ErrorCode));
    }
    return exOk;
}

int Transfer(const std::string& action, const TJobArgs& args, TDriver& driver, std::ostream& out) {
    const int retries = args.Number("--retries", DefaultRetries, 0, 100);
    TTerminalTransfer transfer(driver, out, retries);
    TVarnokBrd board(transfer, transfer);
    const std::string job = "tables " + action;
    const std::string path = action == "list" ? "" : args.Operands[1];
    std::string text, error, name;
    if (action == "load" && !ReadTableFile(path, text, error))
        return JobFailed(job, error + "; nothing sent");
    if (action == "save" && !DriverFileName(path, name))
        return JobFailed(job, "cannot write '" + path + "': a name beyond code page 1251");
    if (!board.ReadStructure())
        return JobFailed(job, "reading the table list: " + transfer.Why);
    TTables& tables = board.Tables;
    if (action == "list") {
        for (int i = 0; i < tables.Count(); ++i)
            out << TableLine(tables[i]) << '\n';
        return exOk;
    }
    if (action == "save") {
        if (!Choose(tables, {args.Operands.begin() + 2, args.Operands.end()}, error))
            return JobFailed(job, error);
        if (!board.ReadSelected())
            return JobFailed(job, transfer.Why + "; '" + path + "' not written");
        if (Save(tables, path, name) != exOk)
            return exFailed;
        for (int i = 0; i < tables.Count(); ++i)
            if (tables[i].Selected)
                out << TableLine(tables[i]) << '\t' << CellsOf(tables[i]) << " read\n";
        return exOk;
    }
    tables.LoadFromText(text);
    if (!tables.HasSelected())
        return JobFailed(job, "'" + path + "' holds no table of this board");
    if (!CellsExist(tables, error))
        return JobFailed(job, "'" + path + "': " + error + "; nothing written");
    if (!board.WriteSelected())
        return JobFailed(job, transfer.Why + "; the tables before it are written");
    for (int i = 0; i < tables.Count(); ++i)
        if (tables[i].Selected)
            out << TableLine(tables[i]) << '\t' << CellsOf(tables[i]) << " written\n";
    return exOk;
}
} // namespace

int RunTables(const TCommandLine& line, std::ostream& out) {
    const std::string action = line.CommandArgs.empty() ? "" : line.CommandArgs[0];
    const std::size_t operands = CountOperands(line.CommandArgs);
    const bool fits = (action == "list" || action == "init") ? operands == 1
                      : action == "save"                     ? operands >= 2
                      : action == "load"                     ? operands == 2
                                                             : false;
    if (action != "list" && action != "init" && action != "save" && action != "load")
        throw EUsage("tables: the action is list, save, load or init");
    if (!fits)
        throw EUsage("tables " + action + ": " +
                     (action == "save"   ? "FILE [TABLE...]"
                      : action == "load" ? "FILE"
                                         : "no arguments besides options and settings") +
                     " expected");
    const TJobArgs args = ParseJobArgs(line, {"--retries"}, operands);
    TToolDriver driver(line);
    SetUpDriver(driver, line, args);
    CatchInterrupt();
    int status = exOk;
    if (action == "init") {
        Call(driver, "InitTables");
        out << ResultLine(driver, "InitTables") << std::endl;
        status = driver.GetResultCode() == 0 ? exOk : exFailed;
    } else {
        try {
            status = Transfer(action, args, driver, out);
        } catch (const std::exception& e) {
            status = JobFailed("tables " + action, Cp1251ToUtf8(e.what()));
        }
    }
    out.flush();
    Call(driver, "Disconnect");
    return status;
}
