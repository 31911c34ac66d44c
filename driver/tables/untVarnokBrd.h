// Moves the table set between the board and memory. It works through a small interface that
// both the driver object's automation interface and the native driver satisfy, and asks its
// user through another (dialogs on Windows, the terminal in the command-line tool).
#pragma once

#include "untTables.h"

#include <string>

// The members of the driver the transfer uses. Text is cp1251.
class TTableDriver {
public:
    virtual ~TTableDriver() = default;
    virtual void SetTableNumber(int value) = 0;
    virtual void SetRowNumber(int value) = 0;
    virtual void SetFieldNumber(int value) = 0;
    virtual std::string TableName() = 0;
    virtual int RowCount() = 0;
    virtual int FieldCount() = 0;
    virtual std::string FieldName() = 0;
    virtual int FieldSize() = 0;
    virtual int FieldType() = 0;
    virtual int FieldMinValue() = 0;
    virtual int FieldMaxValue() = 0;
    virtual std::string FieldValue() = 0;
    virtual void SetFieldValue(const std::string& value) = 0;
    virtual int ResultCode() = 0;
    virtual std::string ResultDescription() = 0;
    // Each returns the result code, 0 for success.
    virtual int ReadTableStruct() = 0;
    virtual int ReadFieldStructure() = 0;
    virtual int ReadTable() = 0;
    virtual int WriteTable() = 0;
};

// How the transfer shows its progress and asks whether to go on.
class TTransferUi {
public:
    virtual ~TTransferUi() = default;
    virtual void StartProgress(const std::string& text, int maximum) = 0;
    virtual void StepProgress() = 0; // also lets the user's cancel request through
    virtual void StopProgress() = 0;
    // The user asked to cancel; ConfirmBreak asks "Прервать выполнение ?" and, on No,
    // forgets the request.
    virtual bool BreakRequested() = 0;
    virtual bool ConfirmBreak() = 0;
    // "Ошибка: (code) text" and "Продолжить выполнение ?": true to go on.
    virtual bool AskContinue(const std::string& message) = 0;
};

class TVarnokBrd {
public:
    TVarnokBrd(TTableDriver& driver, TTransferUi& ui) : Driver(driver), Ui(ui) {}

    TTables Tables;

    // Each is true when it finished, false when the user stopped it.
    bool ReadStructure();
    bool ReadWholeTable(TTable& table);
    bool ReadSelected();
    bool WriteSelected();

private:
    bool ReadTableFields(TTable& table);
    bool WriteTableFields(TTable& table);
    bool CheckBreak();
    bool AskContinue();
    template <typename Each> bool Selected(const char* text, Each each);

    TTableDriver& Driver;
    TTransferUi& Ui;
};

// Board result codes the transfer knows by meaning.
const int TableNotDefined = 93;   // the end of the table list
const int FieldNotEditable = 122; // a read-only cell counts as written
