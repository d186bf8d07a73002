#include "gui/UsersTab.hpp"

#include "gui/CategoryPickerDialog.hpp"
#include "gui/Text.hpp"
#include "server/MainForm.hpp"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zd::gui {

namespace {

constexpr std::array<const char*, kPermissionCount> kPermissionCaptions{
    "Record at VT Markers Only", "Song Movement", "Full Insertion and Editing",
    "Spot Deletion", "Enforce Separation Rules", "Timing Tool",
    "Local Track Insertions", "Recorder DSP Configuration", "Limit VT Length"};
constexpr std::array<const char*, kPermissionCount> kPermissionNames{
    "cbVTMarkers", "cbMoveTracks", "cbFullInsert", "cbSpotDelete", "cbSeparation",
    "cbTimingTool", "cbLocalTracks", "cbDSP", "cbVTLimit"};
constexpr std::array<const char*, 7> kDayNames{"Monday", "Tuesday", "Wednesday", "Thursday",
                                               "Friday", "Saturday", "Sunday"};

template <class Widget>
Widget* Named(Widget* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

void SetText(QLineEdit* edit, const std::string& text)
{
    const QString value = FromAnsi(text);
    if (edit->text() != value)
        edit->setText(value);
}

} // namespace

UsersTab::UsersTab(MainForm& form, QWidget* parent)
    : QWidget(parent), form_(form),
      userList_(Named(new QListWidget, "UserList")),
      newUser_(Named(new QLineEdit, "NewUser")),
      add_(Named(new QPushButton(Ui("Add")), "btAddUser")),
      delete_(Named(new QPushButton(Ui("Delete")), "btDeleteUser")),
      picker_(new CategoryPickerDialog(this))
{
    setObjectName("tsUsers");
    UsersPage& page = form_.UsersScreen();
    newUser_->setMaxLength(static_cast<int>(UsersPage::kLoginCapacity));
    connect(newUser_, &QLineEdit::textEdited, this, [this](const QString& text) {
        form_.UsersScreen().UserChange(ToAnsi(text));
    });
    connect(newUser_, &QLineEdit::returnPressed, add_, &QPushButton::click);
    connect(add_, &QPushButton::clicked, this, [this] { form_.UsersScreen().btAddUserClick(); });
    connect(delete_, &QPushButton::clicked, this, [this] { form_.UsersScreen().btDeleteUserClick(); });
    connect(userList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row != form_.UsersScreen().SelectedIndex())
            form_.UsersScreen().SelectUser(row);
    });

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(new QLabel(Ui("Users")));
    listColumn->addWidget(userList_, 1);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(newUser_);
    addRow->addWidget(add_);
    listColumn->addLayout(addRow);
    listColumn->addWidget(delete_);

    auto* top = new QHBoxLayout;
    top->addLayout(listColumn);
    top->addWidget(BuildDetails(), 1);

    selectAll_ = Named(new QPushButton(Ui("Select All")), "btSelectAll");
    deselectAll_ = Named(new QPushButton(Ui("Deselect All")), "btDeselectAll");
    connect(selectAll_, &QPushButton::clicked, this, [this] { form_.UsersScreen().btSelectAllClick(); });
    connect(deselectAll_, &QPushButton::clicked, this, [this] { form_.UsersScreen().btDeselectAllClick(); });
    vtLimit_ = Named(new QSpinBox, "VTLimit");
    vtLimit_->setRange(0, OptionsPage::kMaxVTLimit);
    vtLimit_->setSingleStep(15);
    connect(vtLimit_, &QSpinBox::valueChanged, this, [this](int seconds) { form_.Page().SetVTLimit(seconds); });
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(selectAll_);
    bottom->addWidget(deselectAll_);
    bottom->addStretch();
    bottom->addWidget(new QLabel(Ui("VT Length")));
    bottom->addWidget(vtLimit_);
    bottom->addWidget(new QLabel(Ui("secs")));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(BuildGrid());
    layout->addLayout(bottom);

    page.SetObserver([this] { Refresh(); });
    Refresh();
}

QWidget* UsersTab::BuildDetails()
{
    details_ = Named(new QGroupBox(Ui("User Details")), "gbUserDetails");
    userEnabled_ = Named(new QCheckBox(Ui("User enabled")), "cbUserEnabled");
    login_ = Named(new QLineEdit, "Login");
    password_ = Named(new QLineEdit, "Password");
    userName_ = Named(new QLineEdit, "UserName");
    restrictIP_ = Named(new QLineEdit, "RestrictIP");
    categories_ = Named(new QLineEdit, "Categories");
    catSel_ = Named(new QPushButton("..."), "btCatSel");
    login_->setMaxLength(static_cast<int>(TUser::kLoginCapacity));
    password_->setMaxLength(static_cast<int>(TUser::kPasswordCapacity));
    userName_->setMaxLength(static_cast<int>(TUser::kUserNameCapacity));
    restrictIP_->setMaxLength(static_cast<int>(TUser::kRestrictIPCapacity));
    categories_->setReadOnly(true);

    UsersPage* page = &form_.UsersScreen();
    connect(userEnabled_, &QCheckBox::clicked, this, [page](bool on) { page->SetUserEnabled(on); });
    connect(login_, &QLineEdit::textEdited, this, [page](const QString& t) { page->SetLogin(ToAnsi(t)); });
    connect(password_, &QLineEdit::textEdited, this, [page](const QString& t) { page->SetPassword(ToAnsi(t)); });
    connect(userName_, &QLineEdit::textEdited, this, [page](const QString& t) { page->SetUserName(ToAnsi(t)); });
    connect(restrictIP_, &QLineEdit::textEdited, this, [page](const QString& t) { page->SetRestrictIP(ToAnsi(t)); });
    connect(catSel_, &QPushButton::clicked, this, [page] { page->btCatSelClick(); });

    auto* texts = new QFormLayout;
    texts->addRow(userEnabled_);
    texts->addRow(Ui("Login"), login_);
    texts->addRow(Ui("Password"), password_);
    texts->addRow(Ui("Name / Note"), userName_);
    texts->addRow(Ui("Restrict to IP"), restrictIP_);
    auto* categoryRow = new QHBoxLayout;
    categoryRow->addWidget(categories_);
    categoryRow->addWidget(catSel_);
    texts->addRow(Ui("Categories"), categoryRow);

    auto* switches = new QVBoxLayout;
    for (std::size_t i = 0; i < kPermissionCount; ++i) {
        permissions_[i] = Named(new QCheckBox(Ui(kPermissionCaptions[i])), kPermissionNames[i]);
        const auto permission = static_cast<Permission>(i);
        connect(permissions_[i], &QCheckBox::clicked, this,
                [page, permission](bool on) { page->SetPermission(permission, on); });
        switches->addWidget(permissions_[i]);
    }
    auto* layout = new QHBoxLayout(details_);
    layout->addLayout(texts, 1);
    layout->addLayout(switches);
    return details_;
}

QWidget* UsersTab::BuildGrid()
{
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);
    days_ = Named(new QGroupBox, "pDays");
    auto* dayLayout = new QVBoxLayout(days_);
    hours_ = Named(new QGroupBox(Ui("Hours")), "pHours");
    auto* hourLayout = new QGridLayout(hours_);
    hourLayout->setHorizontalSpacing(2);
    hourLayout->setVerticalSpacing(2);
    UsersPage* page = &form_.UsersScreen();
    for (int hour = 0; hour < 24; ++hour) {
        auto* label = new QLabel(QString::number(hour));
        label->setAlignment(Qt::AlignCenter);
        hourLayout->addWidget(label, 0, hour);
    }
    for (int day = 0; day < 7; ++day) {
        const auto d = static_cast<std::size_t>(day);
        dayBoxes_[d] = Named(new QCheckBox, kDayNames[d]);
        connect(dayBoxes_[d], &QCheckBox::clicked, this, [page, day](bool on) { page->DayClick(day, on); });
        dayLayout->addWidget(dayBoxes_[d]);
        for (int hour = 0; hour < 24; ++hour) {
            auto* box = Named(new QCheckBox, QString("p%1_%2").arg(kDayNames[d]).arg(hour));
            hourBoxes_[d * 24 + static_cast<std::size_t>(hour)] = box;
            connect(box, &QCheckBox::clicked, this, [page, day, hour](bool on) { page->SetHour(day, hour, on); });
            hourLayout->addWidget(box, day + 1, hour, Qt::AlignCenter);
        }
    }
    grid->addWidget(days_, 0, 0);
    grid->addWidget(hours_, 0, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    return box;
}

void UsersTab::Refresh()
{
    const UsersPage& page = form_.UsersScreen();
    {
        const QSignalBlocker block(userList_);
        QStringList logins;
        for (const std::string& login : page.Logins())
            logins << FromAnsi(login);
        QStringList shown;
        for (int i = 0; i < userList_->count(); ++i)
            shown << userList_->item(i)->text();
        if (shown != logins) {
            userList_->clear();
            userList_->addItems(logins);
        }
        userList_->setCurrentRow(page.SelectedIndex());
    }
    if (newUser_->text() != FromAnsi(page.NewUserText()))
        newUser_->setText(FromAnsi(page.NewUserText()));
    add_->setEnabled(page.AddEnabled());

    const bool selected = page.SelectionEnabled();
    const UserControls& c = page.Controls();
    for (QWidget* widget : std::initializer_list<QWidget*>{delete_, selectAll_, deselectAll_, details_, days_, hours_})
        widget->setEnabled(selected);
    userEnabled_->setChecked(c.Enabled);
    SetText(login_, c.Login);
    SetText(password_, c.Password);
    SetText(userName_, c.UserName);
    SetText(restrictIP_, c.RestrictIP);
    SetText(categories_, c.Categories);
    const bool dependents = page.FullInsertDependentsEnabled();
    categories_->setEnabled(dependents);
    catSel_->setEnabled(dependents);
    for (std::size_t i = 0; i < kPermissionCount; ++i) {
        permissions_[i]->setChecked(c.Permissions[i]);
        if (DependsOnFullInsert(static_cast<Permission>(i)))
            permissions_[i]->setEnabled(dependents);
    }
    for (std::size_t d = 0; d < 7; ++d) {
        dayBoxes_[d]->setText(FromAnsi(page.DayCaptions()[d]));
        dayBoxes_[d]->setChecked(c.Days[d]);
        const bool rowEnabled = page.HourRowEnabled(static_cast<int>(d));
        for (std::size_t h = 0; h < 24; ++h) {
            QCheckBox* box = hourBoxes_[d * 24 + h];
            box->setChecked(c.Hours[d * 24 + h]);
            box->setEnabled(rowEnabled);
            box->setToolTip(FromAnsi(page.HourCaption(static_cast<int>(d), static_cast<int>(h))));
        }
    }
    {
        const QSignalBlocker block(vtLimit_);
        vtLimit_->setValue(form_.Page().VTLimit());
    }
    if (page.FocusNewUserRequests() != focusRequests_) {
        focusRequests_ = page.FocusNewUserRequests();
        newUser_->setFocus();
    }
}

} // namespace zd::gui
