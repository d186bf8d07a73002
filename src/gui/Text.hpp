#pragma once

#include <QString>

#include <string>

namespace zd::gui {

// 8-bit texts of the pages (code page, or marked UTF-8) for the widgets.
QString FromAnsi(const std::string& text);
// A widget's text as the pages keep it (code page).
std::string ToAnsi(const QString& text);
// An interface text through the message catalogue.
QString Ui(const char* text);

} // namespace zd::gui
