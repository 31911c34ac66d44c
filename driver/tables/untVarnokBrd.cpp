#include "untVarnokBrd.h"

#include "untCodePage.h"

namespace {
// Stops the progress on every way out, exceptions included.
class TProgressScope {
public:
    TProgressScope(TTransferUi& ui, const std::string& text, int maximum) : Ui(ui) {
        Ui.StartProgress(text, maximum);
    }
    ~TProgressScope() { Ui.StopProgress(); }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    TTransferUi& Ui;
};
} // namespace

bool TVarnokBrd::CheckBreak() {
    return !Ui.BreakRequested() || !Ui.ConfirmBreak();
}

bool TVarnokBrd::AskContinue() {
    const std::string message = Ansi("Ошибка: (") + std::to_string(Driver.ResultCode()) + ") " +
                                Driver.ResultDescription() + "\r\n" +
                                Ansi("Продолжить выполнение ?");
    return Ui.AskContinue(message);
}

bool TVarnokBrd::ReadStructure() {
    Tables.Clear();
    for (int number = 1;;) {
        if (!CheckBreak())
            return false;
        Driver.SetTableNumber(number);
        const int code = Driver.ReadTableStruct();
        if (code == 0) {
            TTableInfo info;
            info.Name = Driver.TableName();
            info.RowCount = Driver.RowCount();
            info.FieldCount = Driver.FieldCount();
            info.Number = number++;
            Tables.Add(info);
        } else if (code == TableNotDefined) {
            return true;
        } else if (!AskContinue()) {
            return false;
        }
    }
}

bool TVarnokBrd::ReadTableFields(TTable& table) {
    table.Fields.Clear();
    if (table.RowCount <= 0)
        return true; // an empty table has no cells to read
    int row = 1, field = 1;
    while (field <= table.FieldCount) {
        if (!CheckBreak())
            return false;
        Driver.SetRowNumber(row);
        Driver.SetFieldNumber(field);
        Driver.SetTableNumber(table.Number);
        const int structure = Driver.ReadFieldStructure();
        const int value = Driver.ReadTable();
        if (structure != 0 || value != 0) {
            if (!AskContinue())
                return false;
        } else {
            TFieldInfo info;
            info.TableNumber = table.Number;
            info.RowNumber = row;
            info.FieldNumber = field;
            info.Name = Driver.FieldName();
            info.Size = Driver.FieldSize();
            info.FieldType = static_cast<unsigned char>(Driver.FieldType());
            info.MinValue = Driver.FieldMinValue();
            info.MaxValue = Driver.FieldMaxValue();
            table.Fields.Add(info).Value = Driver.FieldValue();
            if (++row > table.RowCount) {
                row = 1;
                ++field;
            }
        }
        Ui.StepProgress();
    }
    return true;
}

bool TVarnokBrd::WriteTableFields(TTable& table) {
    for (int i = 0; i < table.Fields.Count();) {
        if (!CheckBreak())
            return false;
        const TField& field = table.Fields[i];
        Driver.SetTableNumber(field.TableNumber);
        Driver.SetRowNumber(field.RowNumber);
        Driver.SetFieldNumber(field.FieldNumber);
        Driver.SetFieldValue(field.Value);
        const int code = Driver.WriteTable();
        if (code == 0 || code == FieldNotEditable) {
            ++i;
            Ui.StepProgress();
        } else if (!AskContinue()) {
            return false;
        }
    }
    return true;
}

bool TVarnokBrd::ReadWholeTable(TTable& table) {
    TProgressScope progress(Ui, Ansi("Чтение таблицы"), table.RowCount * table.FieldCount);
    return ReadTableFields(table);
}

template <typename Each> bool TVarnokBrd::Selected(const char* text, Each each) {
    const int total = Tables.SelectedCellCount();
    if (total == 0)
        return true;
    TProgressScope progress(Ui, Ansi(text), total);
    for (int i = 0; i < Tables.Count(); ++i)
        if (Tables[i].Selected && !each(Tables[i]))
            return false;
    return true;
}

bool TVarnokBrd::ReadSelected() {
    return Selected("Чтение таблиц", [this](TTable& t) { return ReadTableFields(t); });
}

bool TVarnokBrd::WriteSelected() {
    return Selected("Запись таблиц", [this](TTable& t) { return WriteTableFields(t); });
}
