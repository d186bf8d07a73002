#pragma once

#include <QDialog>

#include <string>

class QNetworkAccessManager;
class QPlainTextEdit;

namespace zd::gui {

// "About Vornelle ZO Davizi": the title, the version, the build text and
// the information box with the local address and, once it is known, the
// public one. Each showing asks the public address service again; a failure
// leaves the box as it is.
class AboutDialog : public QDialog {
public:
    // How long the public address request may take to connect and to read.
    static constexpr int kTimeoutMs = 8000;

    AboutDialog(const std::string& localAddress, QWidget* parent = nullptr);

    // The service: ZODAVIZI_PUBLIC_IP_URL, or a public one that answers
    // with the bare address.
    static QString PublicAddressUrl();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RequestPublicAddress();
    void SetPublicAddress(const QString& address);

    QPlainTextEdit* info_;
    QNetworkAccessManager* network_;
};

} // namespace zd::gui
