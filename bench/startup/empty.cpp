// The baseline for the start-up figure: a GUI program from the same
// toolchain, built and linked the same way as the starter, that ends at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
