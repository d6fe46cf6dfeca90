#include "core/DbxRepBlockSource.h"

#include <algorithm>
#include <exception>

#include "tavrep/TavRepository.h"

bool CDbxRepBlockSource::Fetch(TavPosition position, DbxStoredBlock& block) {
    if (!m_repository || position.offset == 0) return false;
    CTavRepContent* content = nullptr;
    try {
        content = m_repository->GetContent(position);
    } catch (CTavException* e) {
        e->Delete();
        return false;
    } catch (const std::exception&) {
        return false;
    }
    if (!content) return false;
    // `size` is the payload's length; never trust it beyond the bytes actually held.
    const size_t size = std::min<size_t>(content->size, content->data.size());
    block.data.assign(content->data.begin(), content->data.begin() + size);
    block.next = content->Next();
    content->Dispose();
    return true;
}
