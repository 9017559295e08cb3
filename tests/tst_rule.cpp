// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The rule language, term by term, against datagrams as the record keeps them; and a datagram
// as a row of the Log View, one line whatever its bytes.

#include "RowText.h"
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
    void oneLine_data();
    void oneLine();
    void rowColumns_data();
    void rowColumns();
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
    QTest::newRow("no letters") << "[812]:" << sshd << true;
    QTest::newRow("one letter among digits, any case") << "0x1f" << QByteArray("ID 0X1F") << true;
    QTest::newRow("no ASCII letter") << QString::fromUtf8("é") << QByteArray("caf\xC3\xA9") << true;
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

void tst_Rule::oneLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ASCII") << QByteArray("plain text") << "plain text";
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9") << u"café"_qs;
    QTest::newRow("UTF-8 after a BOM") << QByteArray("\xef\xbb\xbf"
                                                     "caf\xc3\xa9")
                                       << u"café"_qs;
    QTest::newRow("not UTF-8: a byte a character") << QByteArray("caf\xe9") << u"café"_qs;
    QTest::newRow("line breaks and tabs") << QByteArray("a\r\nb\tc") << "a\\r\\nb\\tc";
    QTest::newRow("NUL, escape, DEL, a C1 control")
        << QByteArray("\0\x1b\x7f\xc2\x85", 5) << "\\0\\e\\x7f\\x85";
    QTest::newRow("a backslash, doubled") << QByteArray("C:\\n") << "C:\\\\n";
    QTest::newRow("nothing") << QByteArray() << "";
}

void tst_Rule::oneLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(oneLineText(bytes), shown);
}

void tst_Rule::rowColumns_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("hostAppSeverityMessage");
    QTest::newRow("RFC 5424") << QByteArray("<11>1 2026-12-09T10:00:00Z fw01 sshd 42 ID7 - Failed")
                              << QStringList { "fw01", "sshd[42]", "err", "Failed" };
    QTest::newRow("RFC 3164, a tag without a pid")
        << QByteArray("<30>Dec  9 10:00:02 web02 nginx: up\nstream")
        << QStringList { "web02", "nginx", "info", "up\\nstream" };
    QTest::newRow("not syslog: the whole payload")
        << QByteArray("hello\r\n") << QStringList { "", "", "", "hello\\r\\n" };
    QTest::newRow("a priority alone: no message")
        << QByteArray("<13>") << QStringList { "", "", "notice", "" };
}

void tst_Rule::rowColumns()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, hostAppSeverityMessage);
    ArrivalEntry entry;
    entry.arrival = arrivalFrom("2001:db8::1", 514, 1'765'274'400'000'000'000, 3);
    entry.bytes = qint32(payload.size());
    entry.priority = SyslogFields::read(payload, 0).priority;
    const RowText row = RowText::of(entry, payload);
    QCOMPARE((QStringList { row.texts[RowText::Host], row.texts[RowText::App],
                            row.texts[RowText::Severity], row.texts[RowText::Message] }),
             hostAppSeverityMessage);
    QCOMPARE(row.texts[RowText::Sender], "[2001:db8::1]:514");
    QCOMPARE(row.texts[RowText::DroppedBefore], "3");
    QCOMPARE(row.texts[RowText::Size], QString::number(payload.size()));
    QVERIFY(!row.texts[RowText::Payload].contains(u'\n'));
}

QTEST_GUILESS_MAIN(tst_Rule)
#include "tst_rule.moc"
