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

// The limits that keep an open port safe: every client byte may be hostile,
// so nothing a peer does may hold a thread, a descriptor or memory for long.

// A connection must have logged in (the TLS handshake included) within 30 s
// of its accept, or it is closed: a real client needs well under a second.
// After "OK" the hour of kReadTimeout applies. A wait the server imposes on
// a failed login (below) is added to it.
inline constexpr std::chrono::seconds kLoginTime = 30s;

// Connections not yet logged in: at most 8 from one address (a ninth is
// closed at once) and 64 in all (a new one then closes the oldest of them:
// a real client logs in within a second, an idle one is the one to go).
inline constexpr std::size_t kMaxPendingPerAddress = 8;
inline constexpr std::size_t kMaxPendingConnections = 64;

// Connections of any kind: at most 512, far more than a station's
// presenters and previews, far fewer than the process's descriptors.
inline constexpr std::size_t kMaxConnections = 512;

// Reaching a connection limit is logged at most once a minute, with the
// count of connections refused or closed since the last line.
inline constexpr std::chrono::seconds kLimitReportInterval = 60s;

// How often the listener looks for connections past their login time.
inline constexpr std::chrono::milliseconds kLoginCheckInterval = 500ms;

// Every write to a client: a peer that takes no byte for 60 s (it stopped
// reading, or a preview player paused that long) is dropped.
inline constexpr std::chrono::seconds kWriteTimeout = 60s;

// Failed logins per address: from the 5th failure within 10 minutes on,
// each further attempt waits before its answer, 1 s doubling up to 30 s; a
// success clears the address. The 16 latest failures are all that reach the
// longest wait; 4096 addresses are remembered at most.
inline constexpr std::size_t kLoginFailuresBeforeDelay = 5;
inline constexpr std::chrono::minutes kLoginFailureWindow = 10min;
inline constexpr std::chrono::milliseconds kLoginFirstDelay = 1000ms;
inline constexpr std::chrono::milliseconds kLoginLongestDelay = 30000ms;
inline constexpr std::size_t kLoginFailuresKept = 16;
inline constexpr std::size_t kLoginThrottleAddresses = 4096;

// The largest "WritePLG=" body accepted: 64 MiB, hundreds of times a day's
// playlist, so the body (held whole for the merge) bounds the memory a
// client can make the server take.
inline constexpr std::size_t kMaxPlaylistBody = std::size_t{64} << 20;

} // namespace zd::limits
