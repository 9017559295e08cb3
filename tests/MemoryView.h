// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_MEMORYVIEW_H
#define HARKLINE_MEMORYVIEW_H

#include "ReceiverView.h"

#include <QStringList>

// The view state without a window, in its start-up state, recording every change in order.
class MemoryView : public ReceiverView
{
public:
    QString port = QStringLiteral("514");
    QString log;
    bool startVisible = true;
    bool stopVisible = false;
    bool checkEnabled = false;
    QStringList changes;

    QString portText() const override { return port; }
    void setPortText(const QString &text) override
    {
        port = text;
        changes << "port=" + text;
    }
    QString logText() const override { return log; }
    void setLogText(const QString &text) override { log = text; }
    QList<Arrival> arrivals;
    void appendLogLine(const QString &payload, const Arrival &arrival) override
    {
        log += payload + QStringLiteral("\r\n");
        arrivals << arrival;
    }
    bool isStartVisible() const override { return startVisible; }
    void setStartVisible(bool visible) override
    {
        startVisible = visible;
        changes << QStringLiteral("start=%1").arg(visible);
    }
    bool isStopVisible() const override { return stopVisible; }
    void setStopVisible(bool visible) override
    {
        stopVisible = visible;
        changes << QStringLiteral("stop=%1").arg(visible);
    }
    bool isCheckEnabled() const override { return checkEnabled; }
    void setCheckEnabled(bool enabled) override
    {
        checkEnabled = enabled;
        changes << QStringLiteral("check=%1").arg(enabled);
    }
    void UnloadWindow() override { changes << QStringLiteral("unload"); }
};

#endif // HARKLINE_MEMORYVIEW_H
