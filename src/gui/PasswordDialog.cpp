#include "gui/PasswordDialog.hpp"

#include "common/Translate.hpp"
#include "gui/Text.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zd::gui {

PasswordDialog::PasswordDialog(QWidget* parent)
    : QDialog(parent), prompt_(new QLabel(this)), password_(new QLineEdit(this))
{
    setObjectName("PasswordForm");
    setWindowTitle(Ui("Password Entry"));
    prompt_->setObjectName("Prompt");
    password_->setObjectName("Password");
    password_->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Ui("OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName("btOK");
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(Ui("Cancel"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("btCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(password_);
    layout->addWidget(buttons);
}

std::optional<std::string> PasswordDialog::Ask(const std::string& caption, const std::string& prompt)
{
    setWindowTitle(QString::fromStdString(caption));
    prompt_->setText(QString::fromStdString(prompt));
    password_->clear();
    password_->setFocus();
    raise();
    activateWindow();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return ToAnsi(password_->text());
}

} // namespace zd::gui
