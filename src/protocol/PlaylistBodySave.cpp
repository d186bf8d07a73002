#include "protocol/PlaylistTransfer.hpp"

#include "audio/FileOps.hpp"
#include "audio/TVRNFileStream.hpp"
#include "common/Error.hpp"
#include "common/Numbers.hpp"
#include "common/Translate.hpp"
#include "protocol/PlaylistLock.hpp"
#include "protocol/PlaylistMerge.hpp"
#include "protocol/TargetNames.hpp"
#include "server/TUser.hpp"

#include <algorithm>

namespace zd {
namespace {

void CopyBackup(const std::string& path, std::string_view content) noexcept
{
    const std::string backupPath = BackupPathOf(path);
    try {
        // An older backup is overwritten in place and cut where the copy
        // ends: cutting a file to nothing, or deleting it, would make the
        // file system flush or free it, which costs more than the merge.
        std::unique_ptr<TVRNFileStream> backup;
        try {
            backup = TVRNFileStream::Create(backupPath, kOpenWrite | kShareExclusive);
        } catch (const std::exception&) {
            backup = TVRNFileStream::Create(backupPath, kModeCreate);
        }
        backup->Write(content);
        backup->Truncate();
    } catch (const std::exception&) {
        // A backup that cannot be made does not stop the save.
    }
}

// One save body being handled: its reply text, the old content of the open
// playlist and the lines merged but not yet written to it.
//
// The old lines are kept here as views of the content read; they become the
// user's OldPlaylistLines only when they are to be written back. No one else
// reads them meanwhile: a session end leaves a save in progress to its
// thread (SaveStateRegistry), and a save always ends with the playlist
// closed.
class BodySave {
public:
    BodySave(CommandHost& host, TUser& user, const std::string& folder, const PlaylistRetry& retry)
        : host_(host), user_(user), folder_(folder), retry_(retry) {}
    BodySave(const BodySave&) = delete;
    BodySave& operator=(const BodySave&) = delete;

    // A save left by an exception (an allocation failure) still ends written
    // back: the user's OldPlaylistLines are filled only when writing back, so
    // a playlist left open here would be cut to nothing by the session end.
    ~BodySave()
    {
        if (!user_.PlaylistStream)
            return;
        try {
            WriteBack("File restored");
        } catch (...) {
            ClosePlaylist(user_);
        }
    }

    std::string Run(std::string_view body)
    {
        // Line by line: a body of line ends costs no list of its lines.
        ForEachPlaylistLine(PlaylistBodyText(body),
                            [this](std::string_view line) { return HandleLine(ClassifyBodyLine(line)); });
        Finish();
        return reply_;
    }

private:
    static constexpr std::size_t kFlushSize = 65536;

    // False when no further line is handled.
    bool HandleLine(const BodyLine& line)
    {
        if (line.kind == BodyLineKind::Header) {
            OpenHeader(line.rest);
            return true;
        }
        if (!user_.PlaylistStream || line.number < 0)
            return true;
        try {
            auto cursor = Cursor();
            CopyOldLinesUpTo(cursor, line.number, pending_);
            if (line.kind == BodyLineKind::EndMarker) {
                Flush();
                user_.PlaylistStream->Truncate();
                ended_ = true;
                if (TextToIntDef0(line.rest) == user_.LinesWritten) {
                    reply_ = "OK";
                    host_.Log(TrFormat("User %0:s saved %1:s", {user_.Login, name_}));
                } else {
                    reply_ = std::string(line.rest);
                    WriteBack("File restored");
                }
                return false;
            }
            WriteClientLine(cursor, line.rest, pending_);
            if (pending_.size() >= kFlushSize)
                Flush();
        } catch (const std::exception& error) {
            reply_ = ErrorText(error);
            WriteBack(reply_);
            return false;
        }
        return true;
    }

    void OpenHeader(std::string_view name)
    {
        // A playlist left open by an earlier header of this body gets its old
        // content back before anything else is looked at, so that lines
        // meant for a later playlist can never land in it.
        if (user_.PlaylistOpen)
            WriteBack("File restored");
        else
            ClosePlaylist(user_);
        name_ = std::string(name);
        user_.OpenPlaylistPath = JoinFolderAndName(folder_, name_);
        if (!IsPlaylistFileName(name)) {
            reply_ = "1";
            LogInvalidName(host_, user_, name);
            return;
        }
        if (!FileExistsMarked(user_.OpenPlaylistPath)) {
            reply_ = "1";
            return;
        }
        if (!OpenPlaylistLocked(host_, user_, user_.OpenPlaylistPath,
                                kOpenReadWrite | kShareExclusive, retry_)) {
            reply_ = "0";
            return;
        }
        try {
            auto& stream = *user_.PlaylistStream;
            oldContent_ = ReadWholeStream(stream);
            // The backup is taken from the content read under the lock, so it
            // is exactly what this save replaces.
            if (oldContent_.size() > 100)
                CopyBackup(user_.OpenPlaylistPath, oldContent_);
            oldLines_ = SplitPlaylistLines(oldContent_);
            auto cursor = Cursor();
            ResetMergeCursor(cursor);
            // The merged lines are written from the start over the old
            // content and the file is cut where they end. Cutting a file to
            // nothing first would make the file system flush it at close,
            // which costs more than the whole merge.
            stream.SetPosition(0);
        } catch (const std::exception& error) {
            reply_ = ErrorText(error);
            ClosePlaylist(user_);
            return;
        }
        ended_ = false;
        host_.Log(TrFormat("User %0:s opened %1:s", {user_.Login, name_}));
    }

    void Flush()
    {
        if (!pending_.empty() && user_.PlaylistStream)
            user_.PlaylistStream->Write(pending_);
        pending_.clear();
    }

    void Finish()
    {
        if (!user_.PlaylistStream)
            return;
        if (ended_) {
            ClosePlaylist(user_);
            return;
        }
        // The body ended without its end marker: the playlist would hold only
        // what was merged so far, so its previous content is written back.
        WriteBack("File restored");
    }

    MergeCursor Cursor() noexcept
    {
        return {oldLines_, user_.OldLineIndex, user_.BlockCount, user_.LastBlock, user_.LinesWritten};
    }

    // Writes the open playlist's old content back (RestorePlaylist).
    void WriteBack(const std::string& message)
    {
        pending_.clear();
        user_.OldPlaylistLines.assign(oldLines_.begin(), oldLines_.end());
        RestorePlaylist(host_, user_, message);
        oldLines_.clear();
        oldContent_.clear();
    }

    CommandHost& host_;
    TUser& user_;
    const std::string& folder_;
    const PlaylistRetry& retry_;
    std::string reply_ = "Size=0";
    std::string name_;
    std::string pending_;
    std::string oldContent_;
    std::vector<std::string_view> oldLines_;
    bool ended_ = false;
};

} // namespace

std::string SavePlaylistBody(CommandHost& host, TUser& user, const std::string& playlistFolder,
                             std::string_view body, const PlaylistRetry& retry)
{
    SaveStateGuard guard(user);
    BodySave save(host, user, playlistFolder, retry);
    return save.Run(body);
}

} // namespace zd
