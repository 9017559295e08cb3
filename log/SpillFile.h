// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SPILLFILE_H
#define HARKLINE_SPILLFILE_H

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

// The file the record's oldest chunks move to when memory is past its budget. It has no name
// from the start (O_TMPFILE, or made and unlinked at once), so nothing of it outlives the
// program, as the log itself does not; the system takes its room back when it is closed.
class SpillFile
{
public:
    // A new file in 'folder'; none, with the system's reason in 'error'.
    static std::unique_ptr<SpillFile> create(const QString &folder, QString *error);
    // The system's temporary folder with the most room on a disk: $TMPDIR (or /tmp), or
    // /var/tmp. A folder in memory (a tmpfs, as $XDG_RUNTIME_DIR always is) is taken only when
    // there is no other, since moving chunks there would not free any memory.
    static QString chooseFolder();

    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    QString folder() const { return m_folder; }
    // Adds 'bytes' at the end: where they went, or -1 with the system's reason in 'error'.
    // One thread appends; what a failed write left is written over by the next.
    qint64 append(QByteArrayView bytes, QString *error);
    // 'length' bytes from 'offset', from any thread; false, with the reason, when they cannot be
    // read.
    bool read(qint64 offset, qsizetype length, QByteArray &bytes, QString *error) const;

private:
    SpillFile(int fd, QString folder);

    int m_fd;
    QString m_folder;
    qint64 m_end = 0; // the appending thread's only
};

#endif // HARKLINE_SPILLFILE_H
