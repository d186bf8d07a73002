#include "gui/Text.hpp"

#include "common/CodePage.hpp"
#include "common/Translate.hpp"

namespace zd::gui {

QString FromAnsi(const std::string& text)
{
    return QString::fromStdU16String(Utf8OrAnsiToWide(text));
}

std::string ToAnsi(const QString& text)
{
    return WideToAnsi(text.toStdU16String());
}

QString Ui(const char* text)
{
    return QString::fromStdString(Tr(text));
}

} // namespace zd::gui
