#include "gui/OptionsTab.hpp"

#include "common/Error.hpp"
#include "gui/MessageBoxes.hpp"
#include "gui/Text.hpp"
#include "server/MainForm.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace zd::gui {

namespace {

template <class Widget>
Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

// The key filter of the numeric edits: digits only (backspace edits as usual).
QValidator* DigitsOnly(QObject* parent)
{
    return new QRegularExpressionValidator(QRegularExpression("[0-9]*"), parent);
}

} // namespace

OptionsTab::OptionsTab(MainForm& form, QWidget* parent)
    : QWidget(parent), form_(form),
      enabled_(Named(new QCheckBox(Ui("Enable Server")), "cbEnabled")),
      visible_(Named(new QCheckBox(Ui("Visible at Startup")), "cbVisible")),
      port_(Named(new QLineEdit, "VTPort")),
      maxLog_(Named(new QSpinBox, "MaxLogSize")),
      bitrate_(Named(new QComboBox, "Bitrate")),
      upnp_(Named(new QCheckBox(Ui("UPnP Port Forwarding")), "cbUPnP")),
      autoLoad_(Named(new QCheckBox(Ui("Auto Load at Windows Logon")), "cbAutoLoad")),
      masterPassword_(Named(new QLineEdit, "MasterPassword")),
      connected_(Named(new QListWidget, "ConnectedList")),
      log_(Named(new QPlainTextEdit, "Log"))
{
    setObjectName("tsOptions");
    OptionsPage& page = form_.Page();
    port_->setMaxLength(5);
    port_->setValidator(DigitsOnly(port_));
    maxLog_->setRange(OptionsPage::kMinLogEntries, OptionsPage::kMaxLogEntries);
    maxLog_->setSingleStep(100);
    for (const char* rate : {"48k mono", "64k mono", "96k stereo", "128k stereo"})
        bitrate_->addItem(Ui(rate));
    masterPassword_->setMaxLength(15);
    masterPassword_->setEchoMode(QLineEdit::Password);
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(page.MaxLogEntries());
    connected_->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(enabled_, &QCheckBox::clicked, this, [this](bool on) { form_.Page().SetServerEnabled(on); Refresh(); });
    connect(visible_, &QCheckBox::clicked, this, [this](bool on) { form_.Page().SetVisibleAtStartup(on); });
    connect(port_, &QLineEdit::textEdited, this, [this](const QString& text) { form_.Page().SetPortText(ToAnsi(text)); });
    connect(maxLog_, &QSpinBox::valueChanged, this, [this](int entries) {
        form_.Page().SetMaxLogEntries(entries);
        log_->setMaximumBlockCount(form_.Page().MaxLogEntries());
    });
    connect(bitrate_, &QComboBox::activated, this, [this](int index) { form_.Page().SetBitrateIndex(index); });
    connect(upnp_, &QCheckBox::clicked, this, [this](bool on) { form_.Page().SetUPnPEnabled(on); });
    connect(autoLoad_, &QCheckBox::clicked, this, [this](bool on) { form_.Page().SetAutoLoad(on); Refresh(); });
    connect(masterPassword_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.Page().SetMasterPassword(ToAnsi(text)); });
    connect(connected_, &QListWidget::customContextMenuRequested, this, &OptionsTab::ShowConnectedMenu);

    auto* settings = new QGroupBox(Ui("Settings"));
    auto* fields = new QFormLayout(settings);
    fields->addRow(enabled_);
    fields->addRow(Ui("TCP Port"), port_);
    auto* keep = new QHBoxLayout;
    keep->addWidget(maxLog_);
    keep->addWidget(new QLabel(Ui("log entries")));
    fields->addRow(Ui("Keep last"), keep);
    fields->addRow(Ui("Preview Bitrate"), bitrate_);
    fields->addRow(Ui("Master Password"), masterPassword_);
    fields->addRow(upnp_);
    fields->addRow(visible_);
    fields->addRow(autoLoad_);

    auto* users = new QGroupBox(Ui("Users connected"));
    auto* usersLayout = new QVBoxLayout(users);
    usersLayout->addWidget(connected_);

    auto* top = new QHBoxLayout;
    top->addWidget(settings);
    top->addWidget(users, 1);

    auto* saveLog = Named(new QPushButton(Ui("Save Log")), "btSaveLog");
    auto* clearLog = Named(new QPushButton(Ui("Clear Log")), "btClearLog");
    connect(saveLog, &QPushButton::clicked, this, &OptionsTab::SaveLog);
    connect(clearLog, &QPushButton::clicked, this, [this] {
        form_.ClearLog();
        log_->clear();
    });
    auto* logButtons = new QHBoxLayout;
    logButtons->addStretch();
    logButtons->addWidget(saveLog);
    logButtons->addWidget(clearLog);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(log_, 1);
    layout->addLayout(logButtons);
    Refresh();
}

void OptionsTab::Refresh()
{
    const OptionsPage& page = form_.Page();
    const QSignalBlocker blockLog(maxLog_);
    enabled_->setChecked(page.ServerEnabled());
    visible_->setChecked(page.VisibleAtStartup());
    if (port_->text() != FromAnsi(page.PortText()))
        port_->setText(FromAnsi(page.PortText()));
    maxLog_->setValue(page.MaxLogEntries());
    bitrate_->setCurrentIndex(page.BitrateIndex());
    upnp_->setChecked(page.UPnPEnabled());
    autoLoad_->setChecked(page.AutoLoad());
    if (masterPassword_->text() != FromAnsi(page.MasterPassword()))
        masterPassword_->setText(FromAnsi(page.MasterPassword()));

    const std::vector<std::string> texts = form_.Connected().Texts();
    bool same = connected_->count() == static_cast<int>(texts.size());
    for (int i = 0; same && i < connected_->count(); ++i)
        same = connected_->item(i)->text() == FromAnsi(texts[static_cast<std::size_t>(i)]);
    if (!same) {
        connected_->clear();
        for (const std::string& text : texts)
            connected_->addItem(FromAnsi(text));
    }
}

void OptionsTab::AppendLogLine(const QString& line)
{
    log_->appendPlainText(line);
}

void OptionsTab::ShowConnectedMenu(const QPoint& position)
{
    // A right-button press selects the entry under the pointer first.
    QListWidgetItem* item = connected_->itemAt(position);
    if (item != nullptr)
        connected_->setCurrentItem(item);
    QMenu menu(this);
    QAction* disconnect = menu.addAction(Ui("Disconnect"));
    disconnect->setObjectName("miDisconnect");
    disconnect->setEnabled(connected_->currentRow() >= 0);
    if (menu.exec(connected_->viewport()->mapToGlobal(position)) == disconnect) {
        form_.DisconnectEntry(connected_->currentRow());
        Refresh();
    }
}

void OptionsTab::SaveLog()
{
    if (lastLogFolder_.isEmpty())
        lastLogFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString path = QFileDialog::getSaveFileName(this, Ui("Save Log"), lastLogFolder_ + "/ZODaviziLog.txt",
                                                      Ui("Text Documents (*.txt)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += ".txt";
    lastLogFolder_ = QFileInfo(path).absolutePath();
    try {
        form_.SaveLog(path.toStdString());
    } catch (const std::exception& error) {
        ExecMessageBox({form_.ProgramTitle(), error.what(), "", MessageDialog::Kind::Error, MessageDialog::Buttons::Ok},
                       this);
    }
}

} // namespace zd::gui
