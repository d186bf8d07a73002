#pragma once

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;

namespace zd::gui {

// "Password Entry": a prompt, a masked entry, "OK" (default) and "Cancel".
class PasswordDialog : public QDialog {
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // Shows the dialog modally with the caption and prompt and an empty
    // entry; the entry, or nullopt when cancelled.
    std::optional<std::string> Ask(const std::string& caption, const std::string& prompt);

private:
    QLabel* prompt_;
    QLineEdit* password_;
};

} // namespace zd::gui
