// The system DLLs a starter's process calls, bound by the process itself
// once the DLL search is restricted to System32 (system_imports.cpp).
// Linked into starter.exe and the fallback starter alone: test programs
// import the DLLs as usual.
#pragma once

#include <windows.h>

// SetDefaultDllDirectories, or nullptr where kernel32 lacks it.
using RestrictSearchCall = BOOL(WINAPI*)(DWORD);
// Restricts the DLL search to System32 (with none given, as well as such a
// system allows) and binds user32, gdi32, shell32 and ole32; false if that
// cannot be done. Without an argument it looks the function up in kernel32.
bool BindSystemImports(RestrictSearchCall restrictSearch);
bool BindSystemImports();
