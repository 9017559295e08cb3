// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SAVENOW_H
#define HARKLINE_SAVENOW_H

#include "ArrivalCsv.h"
#include "ArrivalJson.h"
#include "LogModel.h"
#include "SaveFile.h"
#include "SaveProgress.h"

// The saves' own writing, done on the caller's thread: what a save in the background does.

inline SaveResult saveLogNow(const LogSnapshot &log, const QString &path, bool utf8 = false)
{
    SaveProgress progress(log.characterCount());
    return saveFile(
        path,
        [&](QIODevice &out, QString *readError) {
            return writeLogText(log, out, utf8, progress, readError);
        },
        progress);
}

inline SaveResult saveArrivalsNow(const ArrivalSnapshot &arrivals, const QString &path,
                                  bool jsonLines)
{
    SaveProgress progress(arrivals.size());
    return saveFile(
        path,
        [&](QIODevice &out, QString *readError) {
            return jsonLines ? writeArrivalsJsonLines(arrivals, out, progress, readError)
                             : writeArrivalsCsv(arrivals, out, progress, readError);
        },
        progress);
}

#endif // HARKLINE_SAVENOW_H
