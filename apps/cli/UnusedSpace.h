// What `check` and `info` say about images and bytes that no baseline uses.
#pragma once
#include <string>
#include <vector>

#include "RepoSession.h"

namespace tavctl {

// One line per unused image (and one for image 0's unused end), or a line saying why it
// could not be worked out; empty when every image is used.
std::vector<std::string> DescribeUnusedSpace(CRepoSession& session);

}  // namespace tavctl
