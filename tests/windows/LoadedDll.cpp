#include "LoadedDll.h"

namespace {
std::wstring ProgramFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring program(buffer, length);
    return program.substr(0, program.find_last_of(L"\\/") + 1);
}
}  // namespace

LoadedDll::LoadedDll()
    : path(ProgramFolder() + L"VelmoraBMPFilterFrame.dll"), module(LoadLibraryW(path.c_str())) {}

LoadedDll::~LoadedDll() {
    if (module != nullptr) FreeLibrary(module);
}
