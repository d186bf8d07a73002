// The head of an HTTP preview request: the request line, then header lines
// up to an empty one, then the lengths of the preview it asks for.

#include "preview/PreviewRequest.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view head(reinterpret_cast<const char*>(data), size);
    zd::PreviewRequest request;
    bool first = true;
    while (!head.empty()) {
        const std::size_t lf = head.find('\n');
        std::string_view line = head.substr(0, lf);
        head.remove_prefix(lf == std::string_view::npos ? head.size() : lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            if (!zd::PreviewRequest::IsRequestLine(line))
                return 0;
            request.ReadTarget(line);
            first = false;
        } else if (line.empty()) {
            break;
        } else {
            request.ReadHeader(line);
        }
    }
    request.DecodeCredentials();
    for (const std::int64_t durationMs : {1, 1000, 180000, 86400000})
        for (const int kbit : {32, 128, 320})
            (void)zd::ComputePreviewLengths(request, durationMs, kbit);
    return 0;
}
