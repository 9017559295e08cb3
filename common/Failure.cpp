// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Failure.h"

Failure::Failure(FailureNumber number, const QString &description)
    : m_number(number)
    , m_description(description)
    , m_what(description.toUtf8())
{ }
