#pragma once

#include <string>
#include <vector>

namespace zd {

// One tag read from a container: a frame, chunk or item id and its value in
// marked text.
struct TTagPair {
    std::string Id;
    std::string Value;
};

using TTagPairs = std::vector<TTagPair>;

} // namespace zd
