#include "core/Version.hpp"

namespace zd {

const char* ProgramVersion() noexcept { return ZODAVIZI_VERSION; }

} // namespace zd
