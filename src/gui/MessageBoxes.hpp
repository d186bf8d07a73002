#pragma once

#include "server/MessageDialog.hpp"

class QWidget;

namespace zd::gui {

// The message dialogs as QMessageBox: the main text, the detail as the
// informative text, the icon of the kind and the buttons. True when OK or
// Yes was chosen.
bool ExecMessageBox(const MessageDialog& dialog, QWidget* parent = nullptr);

} // namespace zd::gui
