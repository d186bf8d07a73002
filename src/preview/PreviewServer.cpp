#include "preview/PreviewServer.hpp"

#include "preview/PreviewStream.hpp"
#include "server/MainForm.hpp"
#include "server/TContextData.hpp"

namespace zd {

void PreviewServer::Install(MainForm& form)
{
    MainForm::Hooks& hooks = form.GetHooks();
    hooks.PreviewRequest = [this](MainForm& f, Connection& connection, TContextData& context,
                                  std::string_view firstLine) {
        HandlePreviewRequest(f, connection, context, firstLine);
    };
    // The session end of a stream, run from wherever the session is
    // dropped: the stream's own connection thread closes it, so here it is
    // only asked to end.
    hooks.ClosePreviewStream = [](MainForm& f, TContextData& context) {
        TPlayer* player = context.Player;
        // The slot may have been freed and taken by another stream meanwhile.
        const auto stream = f.RunOnMainThread([player, &context] {
            return player && player->Context.lock().get() == &context ? player->Stream : nullptr;
        });
        if (stream)
            stream->RequestEnd();
    };
    hooks.DropUserPreviews = [this](MainForm& f, const std::shared_ptr<TUser>& user) {
        const auto connections = f.RunOnMainThread([&] { return pool_.ConnectionsOf(*user); });
        for (const auto& connection : connections)
            f.DropSession(*connection);
    };
    hooks.PlayerContext = [](TPlayer* player) {
        return player ? player->Context.lock() : nullptr;
    };
}

} // namespace zd
