#pragma once

#include <windows.h>

#include <string>

// The DLL beside this test program, loaded as a host loads it.
class LoadedDll {
public:
    LoadedDll();
    LoadedDll(const LoadedDll&) = delete;
    LoadedDll& operator=(const LoadedDll&) = delete;
    ~LoadedDll();
    HMODULE Module() const { return module; }
    const std::wstring& Path() const { return path; }

private:
    std::wstring path;
    HMODULE module = nullptr;
};
