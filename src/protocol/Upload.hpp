#pragma once

#include "protocol/CommandHost.hpp"
#include "protocol/Session.hpp"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace zd {

class Connection;
class TUser;

// Attempts (500 ms apart) to create the target file.
inline constexpr int kUploadCreateAttempts = 8;

// The target of an upload: folder and name joined as wide text, in marked
// form. Never throws apart from allocation.
std::string UploadTargetPath(std::string_view folder, std::string_view name);

// One upload into `folder` under `name`: reads the byte count line (0, a
// negative number or not a number ends the command with no reply), keeps the
// previous file as ".bak", creates the target, answers "OK", streams the
// bytes into it and answers "OK" or the failure text; after a failure the
// previous file is back in place. A name that is not a plain file name is
// answered "Invalid file name" and nothing is touched. Throws what the
// connection throws while the count line is read.
void ReceiveUpload(CommandHost& host, Connection& connection, const TUser& user,
                   std::string_view folder, std::string_view name);

// "WriteVT=" + name: an upload into the voice-track folder.
void HandleWriteVoiceTrack(Session& session, std::string_view name);
// "WritePL=" + name: an upload into the playlist write folder.
void HandleWritePlaylistFile(Session& session, std::string_view name);

} // namespace zd
