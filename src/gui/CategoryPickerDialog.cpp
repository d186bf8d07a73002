#include "gui/CategoryPickerDialog.hpp"

#include "gui/Text.hpp"
#include "server/CategoryPicker.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zd::gui {

CategoryPickerDialog::CategoryPickerDialog(QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)), all_(new QCheckBox(Ui("Select All"), this)),
      included_(new QRadioButton(Ui("Included"))), excluded_(new QRadioButton(Ui("Excluded")))
{
    setObjectName("CatSel");
    setWindowTitle(Ui("Permitted Search Categories"));
    list_->setObjectName("CategoryList");
    all_->setObjectName("cbAll");
    included_->setObjectName("rbIncluded");
    excluded_->setObjectName("rbExcluded");
    auto* include = new QGroupBox(Ui("Selected categories are"), this);
    include->setObjectName("rgInclude");
    auto* includeLayout = new QHBoxLayout(include);
    includeLayout->addWidget(included_);
    includeLayout->addWidget(excluded_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Ui("OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName("btOK");
    buttons->button(QDialogButtonBox::Cancel)->setText(Ui("Cancel"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("btCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (picker_ == nullptr)
            return;
        picker_->SetTicked(static_cast<std::size_t>(list_->row(item)), item->checkState() == Qt::Checked);
        Refresh();
    });
    connect(all_, &QCheckBox::clicked, this, [this](bool ticked) {
        if (picker_ == nullptr)
            return;
        picker_->SetAllTicked(ticked);
        Refresh();
    });
    connect(excluded_, &QRadioButton::toggled, this, [this](bool ticked) {
        if (picker_ != nullptr)
            picker_->SetExcluded(ticked);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(all_);
    layout->addWidget(include);
    layout->addWidget(buttons);
    resize(320, 420);
}

void CategoryPickerDialog::Refresh()
{
    const QSignalBlocker blockList(list_);
    const QSignalBlocker blockAll(all_);
    const QSignalBlocker blockExcluded(excluded_);
    if (list_->count() != static_cast<int>(picker_->Names().size())) {
        list_->clear();
        for (const std::string& name : picker_->Names()) {
            auto* item = new QListWidgetItem(FromAnsi(name), list_);
            item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
    }
    for (int i = 0; i < list_->count(); ++i)
        list_->item(i)->setCheckState(picker_->Ticked(static_cast<std::size_t>(i)) ? Qt::Checked : Qt::Unchecked);
    all_->setChecked(picker_->AllTicked());
    (picker_->Excluded() ? excluded_ : included_)->setChecked(true);
}

bool CategoryPickerDialog::Pick(CategoryPicker& picker)
{
    picker_ = &picker;
    list_->clear();
    Refresh();
    const bool ok = exec() == QDialog::Accepted;
    picker_ = nullptr;
    return ok;
}

} // namespace zd::gui
