// Repairing a repository (tavctl check --repair): images whose newest baselines cannot be
// read are set aside, what unfinished runs left behind is removed, and security records
// that disagree are rewritten.
#pragma once
#include <functional>
#include <string>

#include "RepoSession.h"

namespace tavctl {

using LineSink = std::function<void(const std::string& line)>;

// Lines naming what runs that did not finish left behind, with their size; none when the
// repository holds no such bytes.
void DescribeLeftovers(CTavRepository& rep, const LineSink& out);

// Repairs the opened repository and says what it did, line by line; the session is
// attached again afterwards. False with `problem` set when the repair could not be done
// (a backup run holds the repository, or nothing intact is left to go on from).
bool RepairRepository(CRepoSession& session, const LineSink& out, std::string& problem);

}  // namespace tavctl
