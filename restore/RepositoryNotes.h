// What a program says about a repository it has just opened: the newest baselines cannot be
// read (the repository shows the ones before), or the images' security records disagree.
// tavctl prints these as warnings; the browser shows them in a message.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CTavRepository;

namespace tavctl {

// One line per state worth a warning; empty when there is nothing to say.
std::vector<std::string> RepositoryDamageNotes(CTavRepository& rep);

}  // namespace tavctl
