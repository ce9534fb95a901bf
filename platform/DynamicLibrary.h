// A library loaded at run time (a DLL): the names in its export table and their addresses.
// Windows only; other systems have no implementation.
//
//   std::string error;
//   auto library = platform::DynamicLibrary::Load("C:\\app\\vendor.dll", &error);
//   if (library) { auto names = library->ExportNames(); auto f = library->Find(names[0]); }
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

// What an export's address is handed out as; cast it to the function's own type to call it.
using ExportedFunction = void (*)();

class DynamicLibrary {
  public:
    // Loads the library at `path` (UTF-8), whose own dependencies are looked for beside it
    // first. Null when it does not load, with the system's reason in `error`.
    static std::unique_ptr<DynamicLibrary> Load(const std::string& path, std::string* error);

    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The names of the export table, in its order (exports by ordinal only have none).
    std::vector<std::string> ExportNames() const;

    // The address of the export called `name`; null when there is none.
    ExportedFunction Find(const std::string& name) const;

  private:
    explicit DynamicLibrary(void* module) : module_(module) {}

    void* module_;
};

}  // namespace platform
