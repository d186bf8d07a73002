#pragma once

#include <string>

namespace zd {

// A message dialog's content: a title, a main text, a detail text, the
// kind of message and its buttons.
struct MessageDialog {
    enum class Kind { Information, Warning, Error, Confirmation };
    enum class Buttons { Ok, OkCancel, YesNo, Cancel };

    std::string Title;
    std::string Text;
    std::string Detail;
    Kind Icon = Kind::Error;
    Buttons Choice = Buttons::Ok;
};

} // namespace zd
