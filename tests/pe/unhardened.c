/* Linked without ASLR, DEP or relocations and importing a DLL that is not a
   KnownDLL, so that the PE check has something it must reject. */
#include <windows.h>
#include <mmsystem.h>

int main(void) { return (int)(timeGetTime() & 1); }
