// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FRM_HARKLINE_H
#define HARKLINE_FRM_HARKLINE_H

#include "DatagramEndpoint.h"
#include "ReceiverController.h"
#include "ReceiverView.h"

#include <QWidget>

#include <memory>

namespace Ui {
class FRM_Harkline;
}

// The program's one window. It shows the controller's view state and hands each click, each
// arriving datagram and its own destruction to the controller, through the one failure trap.
class FRM_Harkline
    : public QWidget
    , public ReceiverView
{
    Q_OBJECT

public:
    explicit FRM_Harkline(QWidget *parent = nullptr);
    ~FRM_Harkline() override;

    QString portText() const override;
    void setPortText(const QString &text) override;
    QString logText() const override;
    void setLogText(const QString &text) override;
    void appendLogLine(const QString &payload, const Arrival &arrival) override;
    bool isStartVisible() const override;
    void setStartVisible(bool visible) override;
    bool isStopVisible() const override;
    void setStopVisible(bool visible) override;
    bool isCheckEnabled() const override;
    void setCheckEnabled(bool enabled) override;
    void UnloadWindow() override;

private:
    template<typename Handler> void trap(Handler handler);
    void reportFailure(qint32 number, const QString &description);

    std::unique_ptr<Ui::FRM_Harkline> ui;
    DatagramEndpoint WinsockUDP;
    DatagramEndpoint Winsock1;
    ReceiverController m_controller;
    bool m_failed = false;
};

#endif // HARKLINE_FRM_HARKLINE_H
