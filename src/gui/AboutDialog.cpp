#include "gui/AboutDialog.hpp"

#include "common/StartupFacts.hpp"
#include "gui/Text.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cstdlib>

namespace zd::gui {

AboutDialog::AboutDialog(const std::string& localAddress, QWidget* parent)
    : QDialog(parent), info_(new QPlainTextEdit(this)), network_(new QNetworkAccessManager(this))
{
    setObjectName("AboutForm");
    setWindowTitle(Ui("About Vornelle ZO Davizi"));
    auto* title = new QLabel(Ui("ZO Davizi"), this);
    title->setObjectName("Title");
    QFont big = title->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    title->setFont(big);
    auto* version = new QLabel(Ui("Version") + " " + QStringLiteral(ZODAVIZI_VERSION), this);
    version->setObjectName("Version");
    auto* build = new QLabel("(" + Ui("Build") + " " + QString::fromStdString(FileVersionText("")) + ")", this);
    build->setObjectName("BuildText");
    info_->setObjectName("Info");
    info_->setReadOnly(true);
    info_->setPlainText(Ui("Local  IP") + ": " + FromAnsi(localAddress));
    info_->setMaximumHeight(80);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Ui("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(build);
    layout->addWidget(info_);
    layout->addWidget(buttons);
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

QString AboutDialog::PublicAddressUrl()
{
    const char* url = std::getenv("ZODAVIZI_PUBLIC_IP_URL");
    return url != nullptr && *url != 0 ? QString::fromUtf8(url) : QStringLiteral("https://api.ipify.org");
}

void AboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RequestPublicAddress();
}

void AboutDialog::RequestPublicAddress()
{
    // Asynchronous: the window stays responsive while the service answers.
    QNetworkRequest request{QUrl(PublicAddressUrl())};
    request.setHeader(QNetworkRequest::UserAgentHeader, "Mozilla/5.0 (compatible; Vornelle)");
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            return;
        const QString address = QString::fromUtf8(reply->readAll()).trimmed();
        if (!address.isEmpty())
            SetPublicAddress(address);
    });
}

void AboutDialog::SetPublicAddress(const QString& address)
{
    // The line after the "Local  IP" line holds the public address.
    QStringList lines = info_->toPlainText().split('\n');
    const QString line = Ui("Public IP") + ": " + address;
    if (lines.size() < 2)
        lines.append(line);
    else
        lines[1] = line;
    info_->setPlainText(lines.join('\n'));
}

} // namespace zd::gui
