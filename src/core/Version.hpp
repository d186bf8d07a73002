#pragma once

namespace zd {

// The program's version, from the build ("6.0.1"). noexcept.
const char* ProgramVersion() noexcept;

} // namespace zd
