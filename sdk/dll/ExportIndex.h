// Finds the export of a DLL that stands for a function we know by its Microsoft decoration.
// The vendor's header is not ours, so its decoration may differ from the one our declaration
// gets in ways the x64 calling convention does not care about (a pointer to const or not, an
// enumeration where the vendor has int). The exact decoration wins; otherwise the one export of
// the same qualified name whose return value and parameters are passed the same way.
//
//   dll::ExportIndex index(library.ExportNames());
//   dll::Resolution found = index.Resolve("?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDH0@Z");
//   if (found.exportName.empty()) log(found.problem);
#pragma once

#include <map>
#include <string>
#include <vector>

namespace dll {

struct Resolution {
    enum class Kind {
        kExact,         // the wanted decoration itself
        kCompatible,    // another decoration of the same function, passed the same way
        kMissing,       // no export of that qualified name
        kIncompatible,  // exports of that name, none passed the same way
        kAmbiguous,     // more than one export passed the same way, none exact
    };
    Kind kind = Kind::kMissing;
    // The export to bind; empty unless the kind is kExact or kCompatible.
    std::string exportName;
    // For every kind but kExact, one line that names the function, what was wanted and, where
    // there are any, the candidates.
    std::string note;
};

class ExportIndex {
  public:
    explicit ExportIndex(const std::vector<std::string>& exportNames);

    Resolution Resolve(const std::string& wanted) const;

  private:
    // Qualified name to the decorations exported under it, in export table order.
    std::map<std::string, std::vector<std::string>> byQualifiedName_;
};

}  // namespace dll
