// CDbxRepBlockSource: the chunk input's block source over a repository.
#pragma once
#include "core/DbxBlockSource.h"

class CTavRepository;

// Fetches blocks from a repository with CTavRepository::GetContent. A repository
// exception is released and reported as a failed fetch. The repository is not owned and
// must outlive the source.
class CDbxRepBlockSource : public CDbxBlockSource {
public:
    explicit CDbxRepBlockSource(CTavRepository* repository) : m_repository(repository) {}
    bool Fetch(TavPosition position, DbxStoredBlock& block) override;

private:
    CTavRepository* m_repository;
};
