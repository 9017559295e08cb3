// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FRM_Harkline.h"
#include "ui_FRM_Harkline.h"

#include "Failure.h"

#include <QIcon>
#include <QImageReader>
#include <QMessageBox>

#include <cstdlib>

namespace {

// Read as PNG outright: left to find the format, Qt first loads every image-format plugin
// installed (GIF, JPEG, SVG with its library...) to ask each one, at every start.
QPixmap readPng(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace

FRM_Harkline::FRM_Harkline(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::FRM_Harkline>())
    , m_controller(*this, WinsockUDP, Winsock1)
{
    ui->setupUi(this);
    // Sizable, with a close box and a minimise button but no maximise button: the controls keep
    // their places whatever the size, so a maximised window would only be empty space.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // The form was drawn for a narrower font than most desktops use: let the label keep its place
    // but grow to its whole caption rather than cut it.
    ui->Label1->resize(qMax(ui->Label1->width(), ui->Label1->sizeHint().width()),
                       ui->Label1->height());

    QFont titleFont = ui->LBL_Harkline->font();
    titleFont.setStyleHint(QFont::SansSerif);
    ui->LBL_Harkline->setFont(titleFont);

    QIcon logo(readPng(QStringLiteral(":/assets/logo.png")));
    if (devicePixelRatio() > 1)
        logo.addPixmap(readPng(QStringLiteral(":/assets/logo@2x.png")));
    ui->Picture1->setPixmap(logo.pixmap(QSize(192, 29), devicePixelRatio()));
    setWindowIcon(QIcon(readPng(QStringLiteral(":/assets/harkline.png"))));

    ui->TXT_Input->setFocus();
    // On a machine with few processors, a long insertion into the log would keep the endpoint's
    // reader from the processor until the kernel drops datagrams.
    ui->TXT_Input->setYieldCondition([this] { return WinsockUDP.isLeavingProcessorToReader(); });
    ui->TXT_Input->setPortSource([this] { return WinsockUDP.LocalPort(); });
    connect(&WinsockUDP, &DatagramEndpoint::systemDropsCounted, ui->TXT_Input,
            &LogBox::setSystemDrops);

    connect(ui->Command1, &QPushButton::clicked, this,
            [this] { trap([this] { m_controller.Command1_Click(); }); });
    connect(ui->Command2, &QPushButton::clicked, this,
            [this] { trap([this] { m_controller.Command2_Click(); }); });
    connect(ui->CMD_Check, &QPushButton::clicked, this,
            [this] { trap([this] { m_controller.CMD_Check_Click(); }); });
    connect(&WinsockUDP, &DatagramEndpoint::DataArrival, this, [this](qint32 bytesTotal) {
        trap([this, bytesTotal] { m_controller.WinsockUDP_DataArrival(bytesTotal); });
    });
}

FRM_Harkline::~FRM_Harkline()
{
    trap([this] { m_controller.Form_Terminate(); });
}

QString FRM_Harkline::portText() const
{
    return ui->Text1->text();
}

void FRM_Harkline::setPortText(const QString &text)
{
    ui->Text1->setText(text);
}

QString FRM_Harkline::logText() const
{
    return ui->TXT_Input->text();
}

void FRM_Harkline::setLogText(const QString &text)
{
    ui->TXT_Input->setText(text);
}

void FRM_Harkline::appendLogLine(const QString &payload, const Arrival &arrival)
{
    ui->TXT_Input->appendLine(payload, arrival);
}

bool FRM_Harkline::isStartVisible() const
{
    return !ui->Command1->isHidden();
}

void FRM_Harkline::setStartVisible(bool visible)
{
    ui->Command1->setVisible(visible);
}

bool FRM_Harkline::isStopVisible() const
{
    return !ui->Command2->isHidden();
}

void FRM_Harkline::setStopVisible(bool visible)
{
    ui->Command2->setVisible(visible);
}

bool FRM_Harkline::isCheckEnabled() const
{
    return ui->CMD_Check->isEnabled();
}

void FRM_Harkline::setCheckEnabled(bool enabled)
{
    ui->CMD_Check->setEnabled(enabled);
}

void FRM_Harkline::UnloadWindow()
{
    close();
}

// The one failure trap: no exception may cross the event loop. After a failure has been reported
// the program is ending, and no further handler runs.
template<typename Handler> void FRM_Harkline::trap(Handler handler)
{
    if (m_failed)
        return;
    try {
        handler();
    } catch (const Failure &failure) {
        reportFailure(failure.number(), failure.description());
    } catch (const std::exception &error) {
        reportFailure(qint32(FailureNumber::Unexpected), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportFailure(qint32(FailureNumber::Unexpected), tr("An unknown error occurred."));
    }
}

void FRM_Harkline::reportFailure(qint32 number, const QString &description)
{
    m_failed = true;
    // The program ends when the message is dismissed: nothing more is read meanwhile.
    WinsockUDP.Close();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Harkline"),
                    tr("Failure %1\n\n%2").arg(number).arg(description), QMessageBox::Ok, this);
    box.exec();
    QCoreApplication::exit(EXIT_FAILURE);
}
