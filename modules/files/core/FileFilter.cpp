// TavFileFilter: reading a folder's filter from the job and testing file names against it.
#include "core/FileFilter.h"

#include "core/FilesTexts.h"
#include "core/TavJobFilesHelper.h"
#include "tavengine/TavEngine.h"

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool TavFileFilter::Skips(std::string_view name) const {
    if (!included.empty() && !CTavEngine::FileMatchFilters(name, included)) return true;
    if (!excluded.empty() && CTavEngine::FileMatchFilters(name, excluded)) return true;
    return false;
}

std::unique_ptr<TavFileFilter> TavFileFilter::Of(const CTavJobFilesHelper& selection,
                                                 const std::string& folder) {
    XMLNode entry = selection.SearchInFilters(folder);
    if (!entry && folder != "/") entry = selection.SearchInFilters(folder + "/");
    if (!entry) return nullptr;
    auto filter = std::make_unique<TavFileFilter>();
    filter->included = entry.GetAttribute(filestext::XML_INCLUDED);
    filter->excluded = entry.GetAttribute(filestext::XML_EXCLUDED_LIST);
    if (filter->included.empty() && filter->excluded.empty()) return nullptr;
    filter->recursive =
        EqualsNoCase(entry.GetAttribute(filestext::XML_RECURSIVE), filestext::XML_YES);
    filter->folder = folder;
    return filter;
}
