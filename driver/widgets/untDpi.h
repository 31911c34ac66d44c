// Pixel layout at the screen's DPI: layouts are drawn for 96 DPI and scaled, as dialog units
// scale by themselves.
#pragma once

#include <windows.h>

#include <string>

// Pixels of a layout drawn at 96 DPI, at the screen's DPI (read once: a process keeps its DPI).
int Scaled(int pixels);
// The width of `text` in the font of `window`, in pixels.
int TextWidthIn(HWND window, const std::wstring& text);
// A variant of the font `window` draws with, the caller's to delete: the face the system
// picked for it named outright, so that a face name the system substitutes (the dialogs' "MS
// Shell Dlg") cannot lead a bold or larger variant to another family.
HFONT CreateVariantFont(HWND window, int weight, bool underline = false, int largerByPoints = 0);
