// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_RECEIVERCONTROLLER_H
#define HARKLINE_RECEIVERCONTROLLER_H

#include <QLatin1String>
#include <QtGlobal>

class DatagramEndpoint;
class ReceiverView;

constexpr QLatin1String LoopbackHost("127.0.0.1");
constexpr QLatin1String DefaultPortText("514");
constexpr QLatin1String CheckMessagePrefix("Reception is OK on UDP port : ");
constexpr QLatin1String LogLineEnd("\r\n");

// The program's own behaviour: what each button press, each arriving datagram and the window's
// teardown do to the view and the two endpoints. Listening or idle is carried by the view's
// button states alone. A Failure raised by any step ends the handler there and passes on.
class ReceiverController
{
public:
    ReceiverController(ReceiverView &view, DatagramEndpoint &WinsockUDP,
                       DatagramEndpoint &Winsock1);

    void Command1_Click();
    void Command2_Click();
    void CMD_Check_Click();
    void WinsockUDP_DataArrival(qint32 bytesTotal);
    void Form_Terminate();

private:
    ReceiverView &m_view;
    DatagramEndpoint &WinsockUDP;
    DatagramEndpoint &Winsock1;
};

#endif // HARKLINE_RECEIVERCONTROLLER_H
