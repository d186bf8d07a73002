#pragma once

#include <chrono>
#include <cstddef>

// Every time-out and limit of a connection, in one place. Each says where
// its number comes from; change one here and every user follows.
namespace zd::limits {

using namespace std::chrono_literals;

// The read time-out a connection has at accept and goes back to after
// every command that lowers it: one hour, the command reader's own value.
inline constexpr std::chrono::milliseconds kReadTimeout = 3600000ms;

// Socket keep-alive set at accept: idle time before the first probe and
// the interval between probes, both 10000 ms as the listener has them.
inline constexpr std::chrono::seconds kKeepAliveIdle = 10s;
inline constexpr std::chrono::seconds kKeepAliveInterval = 10s;

// The longest line a connection accepts (a CR before the LF not counted):
// the command reader's maximum of 16384 bytes. "FileCheck=" alone reads its
// announced list with a longer one.
inline constexpr std::size_t kMaxLineLength = 16384;

// The read time-out while a "WritePLG=" body is awaited: the longest wait
// for its next bytes, 30000 ms.
inline constexpr std::chrono::milliseconds kPlaylistBodyTimeout = 30000ms;

// The read time-out while the "FileCheck=" list line is awaited: 30000 ms.
inline constexpr std::chrono::milliseconds kFileCheckTimeout = 30000ms;

// The read time-out while an upload's bytes are awaited: 60000 ms.
inline constexpr std::chrono::milliseconds kUploadTimeout = 60000ms;

// The read time-out for the rest of an HTTP preview request once its first
// line was recognised: 10000 ms, also the longest wait for a header line.
inline constexpr std::chrono::milliseconds kHttpRequestTimeout = 10000ms;

// The pause after the switch to TLS before the user name is read: 50 ms,
// which clients of the login exchange expect.
inline constexpr std::chrono::milliseconds kPauseAfterTls = 50ms;

// Bytes read from a socket in one step: one TLS record's worth, so a read
// rarely needs two system calls for a record.
inline constexpr std::size_t kReadChunk = 16384;

// Bytes of an upload received and written per step: uploads stream to the
// file and are never held in memory whole.
inline constexpr std::size_t kUploadChunk = 65536;

// The pause of the accepting thread after accept ran out of descriptors or
// memory, so that connections ending meanwhile can free some: 100 ms, short
// enough that a waiting client hardly notices.
inline constexpr std::chrono::milliseconds kAcceptRetryPause = 100ms;

} // namespace zd::limits
