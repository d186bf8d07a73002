#include "server/ServedConnection.hpp"

#include "server/TContextData.hpp"

#include <utility>

namespace zd {

std::shared_ptr<TContextData> ServedConnection::Data() const
{
    std::lock_guard lock(mutex_);
    return data_;
}

void ServedConnection::Attach(std::shared_ptr<TContextData> data)
{
    std::lock_guard lock(mutex_);
    data_ = std::move(data);
}

std::shared_ptr<TContextData> ServedConnection::Detach()
{
    std::lock_guard lock(mutex_);
    return std::exchange(data_, nullptr);
}

} // namespace zd
