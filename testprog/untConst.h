// Names and texts the whole program shares.
#pragma once

// The application's title: the main window's caption and that of the program's message boxes.
inline constexpr wchar_t AppTitle[] = L"Тест драйвера варнок-платы";
// The program's settings, under HKEY_CURRENT_USER; the status window keeps its three values
// there too.
inline constexpr wchar_t RegistryKey[] = L"SOFTWARE\\Norvik\\Tests\\Trelmo\\Param";
