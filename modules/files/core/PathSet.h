// A set of exact paths, asked about every item a backup walk meets: most paths are answered
// by their length alone, without hashing or comparing text.
#pragma once
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class CPathSet {
  public:
    void Clear() {
        m_lengths.clear();
        m_paths.clear();
    }
    void Add(std::string path) {
        if (path.size() >= m_lengths.size()) m_lengths.resize(path.size() + 1, false);
        m_lengths[path.size()] = true;
        m_paths.insert(std::move(path));
    }
    bool Has(std::string_view path) const {
        return path.size() < m_lengths.size() && m_lengths[path.size()] &&
               m_paths.count(std::string(path)) != 0;
    }
    // `folder` with a '/' after it.
    bool HasFolderForm(std::string_view folder) const {
        const size_t size = folder.size() + 1;
        return size < m_lengths.size() && m_lengths[size] &&
               m_paths.count(std::string(folder) + '/') != 0;
    }

  private:
    std::vector<bool> m_lengths;  // true at the length of some path in the set
    std::unordered_set<std::string> m_paths;
};
