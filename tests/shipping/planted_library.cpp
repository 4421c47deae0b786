// A library that stands for any DLL a web page could plant in our current
// folder. It does nothing; the tests only ask where it was loaded from.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
