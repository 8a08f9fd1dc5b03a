// A diagnostic beside the empty program: it ends at once too, but imports
// from the same system DLLs as the starter (user32, gdi32, shell32), so that
// the loader maps and initialises them. Against it, what the starter's own
// code costs at start-up can be told apart from what loading those DLLs
// costs.
#include <windows.h>
#include <shellapi.h>

// Kept, and never called: the references alone make the imports.
void* volatile g_imports[] = {
    reinterpret_cast<void*>(&ShellExecuteA),
    reinterpret_cast<void*>(&RegisterClassExA),
    reinterpret_cast<void*>(&GetStockObject),
};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
