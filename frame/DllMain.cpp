#include <windows.h>

// Process and thread notifications need nothing here. A host application
// framework that tracks its extension modules would register this module at
// DLL_PROCESS_ATTACH and end the registration at DLL_PROCESS_DETACH;
// BMPFFrame uses nothing of it.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
