// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FRM_Harkline.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

// The failure report ends the program, so this runs in a process of its own.
class tst_FailureTrap : public QObject
{
    Q_OBJECT

private slots:
    void takenPortIsReportedOnceThenTheProgramEnds();
};

void tst_FailureTrap::takenPortIsReportedOnceThenTheProgramEnds()
{
    // Start takes ports up to 32000, below the kernel's ephemeral range.
    QUdpSocket holder;
    for (quint16 port = 20000; holder.state() != QAbstractSocket::BoundState && port < 32000;
         ++port)
        holder.bind(QHostAddress::AnyIPv4, port);
    QVERIFY(holder.state() == QAbstractSocket::BoundState);

    FRM_Harkline window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.setPortText(QString::number(holder.localPort()));

    QString title;
    QString text;
    int boxes = 0;
    bool stopShownBehindBox = true;
    QTimer dismisser;
    dismisser.setInterval(10);
    connect(&dismisser, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        ++boxes;
        title = box->windowTitle();
        text = box->text();
        stopShownBehindBox = window.isStopVisible();
        box->button(QMessageBox::Ok)->click();
    });
    dismisser.start();

    // The program's event loop, as main() runs it: the trap ends it with a failure status.
    QEventLoop program;
    QTimer::singleShot(0, &window, [&] {
        QTest::mouseClick(window.findChild<QWidget *>("Command1"), Qt::LeftButton);
    });
    QTimer::singleShot(10000, &program, [&] { program.exit(-100); });
    const int status = program.exec();
    QCOMPARE(status, EXIT_FAILURE);

    QCOMPARE(boxes, 1);
    QCOMPARE(title, QStringLiteral("Harkline"));
    QVERIFY2(text.contains("Failure 3"), qPrintable(text));
    QVERIFY2(text.contains(QString::number(holder.localPort())), qPrintable(text));
    QVERIFY2(text.contains("Address already in use"), qPrintable(text));
    QVERIFY(!stopShownBehindBox);
    QVERIFY(!window.isStopVisible());
    QVERIFY(window.isStartVisible());
}

QTEST_MAIN(tst_FailureTrap)
#include "tst_failuretrap.moc"
