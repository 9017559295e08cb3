// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The rule language, term by term, against datagrams as the record keeps them.

#include "Rule.h"
#include "SyslogFields.h"

#include "LogSamples.h"

#include <QTest>

class tst_Rule : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
    void mistakesSaySo_data();
    void mistakesSaySo();
};

void tst_Rule::matches_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("expected");

    const QByteArray sshd = "<38>Dec  8 19:45:39 fw01 sshd[812]: Accepted publickey for Admin";
    QTest::newRow("a word, any case") << "accepted" << sshd << true;
    QTest::newRow("a capital: the case counts") << "admin" << sshd << true;
    QTest::newRow("a capital that is not there") << "ADMIN" << sshd << false;
    QTest::newRow("!word") << "!accepted" << sshd << false;
    QTest::newRow("two words, both must hold") << "accepted nothere" << sshd << false;
    QTest::newRow("quoted, with a space") << "\"publickey for\"" << sshd << true;
    QTest::newRow("an expression with a space") << "/key for a/" << sshd << true;
    QTest::newRow("host, whole and any case") << "host:FW01" << sshd << true;
    QTest::newRow("host, not a part of it") << "host:fw0" << sshd << false;
    QTest::newRow("app") << "app:sshd" << sshd << true;
    QTest::newRow("!app") << "!app:sshd" << sshd << false;
    QTest::newRow("sev: that one or more urgent") << "sev:info" << sshd << true;
    QTest::newRow("sev: less urgent than asked") << "sev:warning" << sshd << false;
    QTest::newRow("sev: as a number") << "sev:6" << sshd << true;
    QTest::newRow("facility by name") << "facility:auth" << sshd << true;
    QTest::newRow("facility by number") << "facility:4" << sshd << true;
    QTest::newRow("sender address") << "sender:192.0.2.7" << sshd << true;
    QTest::newRow("sender address and port") << "sender:192.0.2.7:514" << sshd << true;
    QTest::newRow("sender, another port") << "sender:192.0.2.7:515" << sshd << false;
    QTest::newRow("a word in UTF-8 as the sender wrote it")
        << QString::fromUtf8("café") << QByteArray("<14>un caf\xC3\xA9") << true;
    QTest::newRow("the same in Latin-1")
        << QString::fromUtf8("café") << QByteArray("un caf\xE9") << true;
    QTest::newRow("no priority: no severity") << "sev:debug" << QByteArray("plain") << false;
}

void tst_Rule::matches()
{
    QFETCH(QString, rule);
    QFETCH(QByteArray, payload);
    QFETCH(bool, expected);
    const Rule parsed = Rule::parse(rule);
    QVERIFY2(parsed.isValid(), qPrintable(parsed.error()));
    const SyslogFields fields = SyslogFields::read(payload, 0);
    ArrivalEntry entry;
    entry.arrival = arrivalFrom("192.0.2.7", 514, 1);
    entry.bytes = qint32(payload.size());
    entry.priority = fields.priority;
    QCOMPARE(parsed.matches(entry, payload, &fields), expected);
}

void tst_Rule::mistakesSaySo_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("error");
    QTest::newRow("a lone !") << "word !"
                              << "\"!\" is followed by no term";
    QTest::newRow("an open quote") << "\"two words"
                                   << "a quote is not closed";
    QTest::newRow("a bad expression") << "/(/"
                                      << "/(/:";
    QTest::newRow("an empty field") << "host:"
                                    << "host: is followed by nothing";
    QTest::newRow("an unknown severity") << "sev:loud"
                                         << "sev:loud: not a severity";
    QTest::newRow("a severity past 7") << "sev:8"
                                       << "not a severity";
    QTest::newRow("an unknown facility") << "facility:24"
                                         << "not a facility";
    QTest::newRow("a port past 65535") << "sender:192.0.2.7:65536"
                                       << "not an address";
    QTest::newRow("not an address") << "sender:fw01"
                                    << "not an address";
}

void tst_Rule::mistakesSaySo()
{
    QFETCH(QString, rule);
    QFETCH(QString, error);
    const Rule parsed = Rule::parse(rule);
    QVERIFY(!parsed.isValid());
    QVERIFY(parsed.isEmpty());
    QVERIFY2(parsed.error().contains(error), qPrintable(parsed.error()));
}

QTEST_GUILESS_MAIN(tst_Rule)
#include "tst_rule.moc"
