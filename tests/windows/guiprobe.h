// Shared by the probe dialog and the program that drives it from another process.
#pragma once

#define IDD_PROBE 100
#define IDC_NAME 101
#define IDC_APPLY 102
#define IDC_RESULT 103

// UTF-8 source, as in the resource script: L"" literals come out as UTF-16.
#define PROBE_CAPTION L"Проверка окна"
#define PROBE_WAITING L"Ожидание"
#define PROBE_ACCEPTED L"Принято: "
