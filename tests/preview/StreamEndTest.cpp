// The end of a preview stream asked for from outside, with the real server
// object in this process: the operator's "Disconnect" on the stream's entry.

#include "server/FormFixture.hpp"

#include "audio/NativePath.hpp"
#include "common/Base64.hpp"
#include "common/Scramble.hpp"
#include "preview/PreviewServer.hpp"
#include "protocol/CommandSession.hpp"
#include "support/AudioTools.hpp"

#include <algorithm>

namespace zd {
namespace {

class StreamEnd : public test::FormFixture {
protected:
    void SetUp() override
    {
        if (!testsupport::HaveTool("ffmpeg"))
            GTEST_SKIP() << "ffmpeg missing";
        FormFixture::SetUp();
        const auto drive = root_.Path() / "drive_c";
        std::filesystem::create_directories(drive / "Audio");
        std::filesystem::create_directories(root_.Path() / "dosdevices");
        std::filesystem::create_directory_symlink("../drive_c", root_.Path() / "dosdevices" / "c:");
        SetInstallationRoot(root_.Path().string());
        // Audio longer than the stream lives, paced for a player.
        ASSERT_TRUE(testsupport::MakeTone((drive / "Audio" / "song.wav").string(), 30, "-c:a pcm_s16le"));
        auto demo = std::make_shared<TUser>();
        demo->Login = "demo";
        demo->Password = "demo";
        form_->Users().Add(demo);
        InstallCommandSession(*form_);
        previews_.Install(*form_);
        Start();
    }
    void TearDown() override
    {
        if (form_)
            FormFixture::TearDown();
        SetInstallationRoot("");
    }

    std::size_t LogCount(const std::string& text) const
    {
        const auto texts = LogTexts();
        return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
    }

    PreviewServer previews_;
};

// "Disconnect" on the stream's entry closes the client's connection, and the
// stream's close runs once: logged, entry removed, slot free.
TEST_F(StreamEnd, OperatorDisconnect)
{
    test::Client client(*this, form_->BoundPort(), [this](const std::function<bool()>& c) { return WaitFor(c); });
    ASSERT_TRUE(client.Connected());
    client.Send("GET /C:/Audio/song.wav.mp3 HTTP/1.1\r\nUser-Agent: Winamp\r\nAuthorization: Basic "
                + Base64Encode(Scramble("demo:demo", true)) + "\r\n\r\n");
    EXPECT_EQ(client.ReadLine(), "HTTP/1.1 200 OK");
    ASSERT_EQ(form_->Connected().Count(), 1u);
    EXPECT_EQ(form_->Connected()[0].text, "Audio: demo - Stream 0");
    form_->DisconnectEntry(0);
    EXPECT_TRUE(client.WaitClosed());
    EXPECT_TRUE(WaitFor([&] { return previews_.Pool().Count() == 1 && previews_.Pool()[0].Free(); }));
    EXPECT_EQ(form_->Connected().Count(), 0u);
    EXPECT_EQ(LogCount("Audio Stream 0: User demo closing stream"), 1u);
    EXPECT_EQ(LogCount("Audio Stream 0: User demo connected on IP 127.0.0.1."), 1u);
    EXPECT_EQ(LogCount("Audio Stream 0: User demo timeout warning closing stream"), 0u);
}

} // namespace
} // namespace zd
