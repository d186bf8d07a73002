#include "preview/PreviewStream.hpp"

namespace zd {

PreviewStream::PreviewStream(std::string login)
    : login_(std::move(login)), decoder_(std::make_unique<TWinampIn>()), encoder_(std::make_unique<TMP3Out>())
{
    encoder_->SuspendWhenIdle = true;
    encoder_->Quality = 3;
    encoder_->Input = decoder_.get();
}

PreviewStream::~PreviewStream()
{
    encoder_.reset();
    decoder_.reset();
}

void PreviewStream::ReserveBuffer(std::size_t bytes)
{
    auto buffer = std::make_unique<PreviewBuffer>(bytes);
    std::lock_guard lock(bufferMutex_);
    buffer_ = std::move(buffer);
    if (endRequested_.load())
        buffer_->Wake();
    encoder_->Stream = buffer_.get();
}

void PreviewStream::RequestEnd() noexcept
{
    endRequested_ = true;
    std::lock_guard lock(bufferMutex_);
    if (buffer_)
        buffer_->Wake();
}

void PreviewStream::FreeEncoder()
{
    encoder_.reset();
}

void PreviewStream::FreeDecoder()
{
    if (encoder_)
        encoder_->Input = nullptr;
    decoder_.reset();
}

void PreviewStream::FreeBuffer()
{
    if (encoder_)
        encoder_->Stream = nullptr;
    std::lock_guard lock(bufferMutex_);
    buffer_.reset();
}

} // namespace zd
