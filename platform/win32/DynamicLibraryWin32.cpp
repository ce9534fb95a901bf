#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "platform/DynamicLibrary.h"
#include "platform/win32/TextWin32.h"

namespace platform {

namespace {

HMODULE Module(void* module) {
    return static_cast<HMODULE>(module);
}

// A relative path becomes absolute, so that the library's dependencies are looked for beside it.
std::wstring AbsolutePath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

// The loaded image's export directory, checked to lie within the image; null when it has none.
const IMAGE_EXPORT_DIRECTORY* ExportDirectory(HMODULE module, std::size_t* imageSize) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    *imageSize = nt->OptionalHeader.SizeOfImage;
    if (entry.VirtualAddress == 0 ||
        std::uint64_t{entry.VirtualAddress} + sizeof(IMAGE_EXPORT_DIRECTORY) > *imageSize)
        return nullptr;
    return reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
}

}  // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& path, std::string* error) {
    const std::wstring widePath = AbsolutePath(Widen(path));
    // No dialog for a missing dependency: the failure is reported to the caller instead.
    DWORD previousMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = ::LoadLibraryExW(widePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = ::GetLastError();
    ::SetThreadErrorMode(previousMode, nullptr);
    if (module == nullptr) {
        *error = SystemErrorText(code);
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::~DynamicLibrary() {
    ::FreeLibrary(Module(module_));
}

std::vector<std::string> DynamicLibrary::ExportNames() const {
    std::vector<std::string> names;
    std::size_t imageSize = 0;
    const IMAGE_EXPORT_DIRECTORY* directory = ExportDirectory(Module(module_), &imageSize);
    if (directory == nullptr)
        return names;
    const auto* base = reinterpret_cast<const unsigned char*>(module_);
    const std::uint64_t count = directory->NumberOfNames;
    if (std::uint64_t{directory->AddressOfNames} + count * sizeof(DWORD) > imageSize)
        return names;
    const auto* nameAddresses = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    for (std::uint64_t i = 0; i < count; ++i) {
        const DWORD address = nameAddresses[i];
        if (address >= imageSize)
            continue;
        const char* name = reinterpret_cast<const char*>(base + address);
        std::size_t length = 0;
        while (address + length < imageSize && name[length] != '\0')
            ++length;
        names.emplace_back(name, length);
    }
    return names;
}

ExportedFunction DynamicLibrary::Find(const std::string& name) const {
    return reinterpret_cast<ExportedFunction>(::GetProcAddress(Module(module_), name.c_str()));
}

}  // namespace platform
