// Page 6, "Таблицы": the board's settings tables one field at a time, their re-initialisation,
// and the driver's own tables dialog.
#pragma once

#include "testprog/untPage.h"

class TfmTable : public TPage {
public:
    TfmTable();

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void btnGetTableStructClick();
    void btnGetFieldStructClick();
    void btnReadTableClick();
    void btnWriteTableClick();
    void btnInitTablesClick();
    void btnTablesClick();

    void ClearTableInfo();
    void ClearFieldInfo();
    void ShowTableInfo(ITrelmo* driver);
    void ShowFieldInfo(ITrelmo* driver);
    // Both structures read and shown; false when a read failed.
    bool ReadStructures(ITrelmo* driver);
};
