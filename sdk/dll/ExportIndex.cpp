#include "sdk/dll/ExportIndex.h"

#include <algorithm>

#include "sdk/dll/MsDecoration.h"

namespace dll {

namespace {

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty())
            text += ", ";
        text += name;
    }
    return text;
}

}  // namespace

ExportIndex::ExportIndex(const std::vector<std::string>& exportNames) {
    for (const std::string& name : exportNames) {
        const std::string qualified = QualifiedName(name);
        if (!qualified.empty())
            byQualifiedName_[qualified].push_back(name);
    }
}

Resolution ExportIndex::Resolve(const std::string& wanted) const {
    Resolution found;
    const std::string function = ReadableName(wanted);
    const auto entry = byQualifiedName_.find(QualifiedName(wanted));
    if (entry == byQualifiedName_.end()) {
        found.kind = Resolution::Kind::kMissing;
        found.note = "no export for " + function + " (" + wanted + ")";
        return found;
    }
    const std::vector<std::string>& candidates = entry->second;
    if (std::find(candidates.begin(), candidates.end(), wanted) != candidates.end()) {
        found.kind = Resolution::Kind::kExact;
        found.exportName = wanted;
        return found;
    }

    std::vector<std::string> wantedClasses;
    ReadPassingClasses(wanted, &wantedClasses);
    std::vector<std::string> compatible;
    for (const std::string& candidate : candidates) {
        std::vector<std::string> classes;
        if (!wantedClasses.empty() && ReadPassingClasses(candidate, &classes) &&
            classes == wantedClasses)
            compatible.push_back(candidate);
    }
    if (compatible.size() == 1) {
        found.kind = Resolution::Kind::kCompatible;
        found.exportName = compatible.front();
        found.note =
            function + " bound to " + compatible.front() + " (ours: " + wanted + "; passed alike)";
    } else if (compatible.empty()) {
        found.kind = Resolution::Kind::kIncompatible;
        found.note = "no export for " + function + " takes and returns what " + wanted +
                     " does; exports of that name: " + Joined(candidates);
    } else {
        found.kind = Resolution::Kind::kAmbiguous;
        found.note = function + " is ambiguous: " + Joined(compatible) +
                     " all fit; none is exactly " + wanted;
    }
    return found;
}

}  // namespace dll
