// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_PORTTEXT_H
#define HARKLINE_PORTTEXT_H

#include "RoundHalfEven.h"

#include <QString>
#include <QtGlobal>

// The port box is free text. These read it leniently: whatever number the text begins with,
// the rest ignored. All raise an overflow Failure rather than return a wrong number.

// The number the text begins with, or 0 when there is none. Blanks, tabs and line feeds are
// ignored wherever they stand; "&H" and "&O" introduce hexadecimal and octal numbers; the
// decimal separator is always the period.
double ReadLeadingNumber(const QString &text);

// Whether Start may listen on this (unrounded) value.
bool IsPortAccepted(double value);

#endif // HARKLINE_PORTTEXT_H
