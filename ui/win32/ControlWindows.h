// The window procedures of the dialog's control classes, registered together
// by RegisterControlClasses.
#pragma once
#include <windows.h>

LRESULT CALLBACK SliderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LightWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ReflectionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TabWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ContourPickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
