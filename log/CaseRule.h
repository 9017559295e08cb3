// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_CASERULE_H
#define HARKLINE_CASERULE_H

#include <QStringView>

#include <algorithm>

// The case rule of find and of every filter: the case counts only where the text holds a capital
// ("error" finds "ERROR" too, "Error" only "Error").
inline Qt::CaseSensitivity caseRuleOf(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isUpper(); })
        ? Qt::CaseSensitive
        : Qt::CaseInsensitive;
}

#endif // HARKLINE_CASERULE_H
