// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ReceiverController.h"

#include "DatagramEndpoint.h"
#include "PortText.h"
#include "ReceiverView.h"

ReceiverController::ReceiverController(ReceiverView &view, DatagramEndpoint &WinsockUDP,
                                       DatagramEndpoint &Winsock1)
    : m_view(view)
    , WinsockUDP(WinsockUDP)
    , Winsock1(Winsock1)
{ }

// Start
void ReceiverController::Command1_Click()
{
    const double port = ReadLeadingNumber(m_view.portText());
    if (!IsPortAccepted(port)) {
        // Refused quietly: the user sees the default come back and presses Start again.
        m_view.setPortText(DefaultPortText);
        return;
    }

    WinsockUDP.setRemoteHost(LoopbackHost);
    WinsockUDP.setRemotePort(0);
    WinsockUDP.Bind(port);

    m_view.setStartVisible(false);
    m_view.setStopVisible(true);
    m_view.setCheckEnabled(true);
}

// Stop
void ReceiverController::Command2_Click()
{
    WinsockUDP.Close();
    m_view.UnloadWindow();
}

void ReceiverController::CMD_Check_Click()
{
    Winsock1.setRemoteHost(LoopbackHost);
    // No range test here: whatever the box holds now is where the check goes.
    const QString portText = m_view.portText();
    Winsock1.setRemotePort(RoundHalfEven(ReadLeadingNumber(portText)));
    Winsock1.Bind(0);
    Winsock1.SendData(CheckMessagePrefix + portText);
    Winsock1.Close();
}

void ReceiverController::WinsockUDP_DataArrival(qint32 bytesTotal)
{
    Q_UNUSED(bytesTotal);
    QString payload;
    WinsockUDP.GetData(payload);
    m_view.appendLogLine(payload, WinsockUDP.fetchedArrival());
}

void ReceiverController::Form_Terminate()
{
    WinsockUDP.Close();
}
