// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_RECEIVERVIEW_H
#define HARKLINE_RECEIVERVIEW_H

#include "Arrival.h"

#include <QString>

// The controller's whole view of the window: the port box, the log box, the three button states
// and the one way to close the window. The user may edit both texts at any time, so they are
// read afresh whenever they are needed.
class ReceiverView
{
public:
    virtual ~ReceiverView() = default;

    virtual QString portText() const = 0;
    virtual void setPortText(const QString &text) = 0;

    virtual QString logText() const = 0;
    virtual void setLogText(const QString &text) = 0;
    // Makes the log text exactly: the current log text, the payload, a carriage return and a line
    // feed. Costs time in proportion to the payload, not to the log. The arrival's details (when,
    // from whom, what was lost before it) go beside the log text, never into it.
    virtual void appendLogLine(const QString &payload, const Arrival &arrival) = 0;

    virtual bool isStartVisible() const = 0;
    virtual void setStartVisible(bool visible) = 0;
    virtual bool isStopVisible() const = 0;
    virtual void setStopVisible(bool visible) = 0;
    virtual bool isCheckEnabled() const = 0;
    virtual void setCheckEnabled(bool enabled) = 0;

    virtual void UnloadWindow() = 0;

protected:
    ReceiverView() = default;
    Q_DISABLE_COPY_MOVE(ReceiverView)
};

#endif // HARKLINE_RECEIVERVIEW_H
