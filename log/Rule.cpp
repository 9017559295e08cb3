// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Rule.h"

#include "CaseRule.h"
#include "SyslogFields.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <arpa/inet.h>

namespace {

constexpr int LastFacility = 23;
constexpr int LargestPort = 65535;

// Each byte with ASCII's capitals made small; every other byte as it is, so that UTF-8 stays UTF-8.
constexpr std::array<char, 256> Folded = [] {
    std::array<char, 256> folded {};
    for (int c = 0; c < 256; ++c)
        folded[std::size_t(c)] = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return folded;
}();

QByteArray folded(QByteArrayView bytes)
{
    QByteArray out(bytes.size(), Qt::Uninitialized);
    std::transform(bytes.begin(), bytes.end(), out.begin(),
                   [](char c) { return Folded[uchar(c)]; });
    return out;
}

bool equalFolded(QByteArrayView field, const QByteArray &value)
{
    return field.size() == value.size()
        && std::equal(field.begin(), field.end(), value.begin(),
                      [](char a, char b) { return Folded[uchar(a)] == b; });
}

std::string_view view(QByteArrayView bytes)
{
    return { bytes.data(), std::size_t(bytes.size()) };
}

// The severities and facilities as syslog's configuration and logger -p name them, and the
// longer names people type.
struct Name
{
    const char *name;
    int level;
};
constexpr Name SeverityNames[] = {
    { "emerg", 0 },    { "emergency", 0 }, { "panic", 0 },         { "alert", 1 },   { "crit", 2 },
    { "critical", 2 }, { "err", 3 },       { "error", 3 },         { "warning", 4 }, { "warn", 4 },
    { "notice", 5 },   { "info", 6 },      { "informational", 6 }, { "debug", 7 },
};

std::optional<int> levelOf(QStringView text, int largest)
{
    bool number = false;
    const int level = text.toInt(&number);
    if (number && level >= 0 && level <= largest && !text.startsWith(u'+'))
        return level;
    return std::nullopt;
}

std::optional<int> severityOf(QStringView text)
{
    if (const std::optional<int> level = levelOf(text, SyslogPriority::LeastUrgent))
        return level;
    for (const Name &name : SeverityNames) {
        if (text.compare(QLatin1String(name.name), Qt::CaseInsensitive) == 0)
            return name.level;
    }
    return std::nullopt;
}

std::optional<int> facilityOf(QStringView text)
{
    if (const std::optional<int> level = levelOf(text, LastFacility))
        return level;
    for (int facility = 0; facility <= LastFacility; ++facility) {
        if (text.compare(SyslogPriority { facility * 8 }.facilityKeyword(), Qt::CaseInsensitive)
            == 0)
            return facility;
    }
    return std::nullopt;
}

// The text a user typed, split into terms: spaces part them, but not inside quotes, nor inside
// an expression between slashes. Says why not where it cannot.
struct Token
{
    QString text;
    bool negated = false;
    bool quoted = false; // began with a quote: a word, whatever it reads
    bool expression = false;
};

std::vector<Token> tokens(QStringView text, QString *error)
{
    std::vector<Token> found;
    qsizetype i = 0;
    const auto space = [&](qsizetype at) { return at >= text.size() || text[at].isSpace(); };
    while (true) {
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i >= text.size())
            return found;
        Token token;
        if (text[i] == u'!') {
            token.negated = true;
            ++i;
            if (space(i)) {
                *error = QStringLiteral("\"!\" is followed by no term");
                return {};
            }
        }
        if (text[i] == u'/') {
            // To the first slash that ends a term.
            qsizetype end = i + 1;
            while (end < text.size() && !(text[end] == u'/' && space(end + 1)))
                ++end;
            if (end < text.size() && end > i + 1) {
                token.expression = true;
                token.text = text.sliced(i + 1, end - i - 1).toString();
                found.push_back(token);
                i = end + 1;
                continue;
            }
        }
        token.quoted = text[i] == u'"';
        bool inQuotes = false;
        for (; i < text.size() && (inQuotes || !text[i].isSpace()); ++i) {
            const QChar c = text[i];
            if (c == u'"') {
                inQuotes = !inQuotes;
            } else if (inQuotes && c == u'\\' && i + 1 < text.size()
                       && (text[i + 1] == u'"' || text[i + 1] == u'\\')) {
                token.text += text[++i];
            } else {
                token.text += c;
            }
        }
        if (inQuotes) {
            *error = QStringLiteral("a quote is not closed");
            return {};
        }
        found.push_back(token);
    }
}

bool parseAddress(QStringView text, bool &ipv4, std::array<quint8, 16> &address,
                  std::optional<quint16> &port)
{
    QString host = text.toString();
    QString portText;
    if (host.startsWith(u'[')) {
        const qsizetype close = host.indexOf(u']');
        if (close < 0 || (close + 1 < host.size() && host[close + 1] != u':'))
            return false;
        portText = host.mid(close + 2);
        host = host.mid(1, close - 1);
        if (close + 1 < text.size() && portText.isEmpty())
            return false;
    } else if (host.count(u':') == 1) {
        portText = host.section(u':', 1);
        host = host.section(u':', 0, 0);
        if (portText.isEmpty())
            return false;
    }
    if (!portText.isEmpty()) {
        bool number = false;
        const int value = portText.toInt(&number);
        if (!number || value < 0 || value > LargestPort)
            return false;
        port = quint16(value);
    }
    const QByteArray bytes = host.toLatin1();
    address = {};
    ipv4 = inet_pton(AF_INET, bytes.constData(), address.data()) == 1;
    return ipv4 || inet_pton(AF_INET6, bytes.constData(), address.data()) == 1;
}

} // namespace

std::optional<Rule::Term> Rule::termOf(QStringView word, bool quoted, QString *error)
{
    static const std::array<std::pair<QLatin1String, Kind>, 6> Fields { {
        { QLatin1String("host:"), Kind::Host },
        { QLatin1String("app:"), Kind::App },
        { QLatin1String("msgid:"), Kind::MessageId },
        { QLatin1String("sender:"), Kind::Sender },
        { QLatin1String("facility:"), Kind::Facility },
        { QLatin1String("sev:"), Kind::Severity },
    } };
    Term term;
    if (!quoted) {
        for (const auto &[prefix, kind] : Fields) {
            if (!word.startsWith(prefix, Qt::CaseInsensitive))
                continue;
            term.kind = kind;
            const QStringView value = word.sliced(prefix.size());
            if (value.isEmpty()) {
                *error = QStringLiteral("%1 is followed by nothing to look for").arg(prefix);
                return std::nullopt;
            }
            switch (kind) {
            case Kind::Sender:
                if (!parseAddress(value, term.ipv4, term.address, term.port)) {
                    *error = QStringLiteral("%1: not an address (192.0.2.7, 192.0.2.7:514, "
                                            "2001:db8::1 or [2001:db8::1]:514)")
                                 .arg(word);
                    return std::nullopt;
                }
                break;
            case Kind::Facility:
                if (const std::optional<int> facility = facilityOf(value)) {
                    term.level = *facility;
                } else {
                    *error = QStringLiteral("%1: not a facility (kern, user, … local7, or 0 to "
                                            "23)")
                                 .arg(word);
                    return std::nullopt;
                }
                break;
            case Kind::Severity:
                if (const std::optional<int> severity = severityOf(value)) {
                    term.level = *severity;
                } else {
                    *error = QStringLiteral("%1: not a severity (emerg, alert, crit, err, "
                                            "warning, notice, info, debug, or 0 to 7)")
                                 .arg(word);
                    return std::nullopt;
                }
                break;
            default:
                term.value = folded(value.toUtf8());
                break;
            }
            return term;
        }
    }
    // Folding changes only ASCII's capitals, which a word without ASCII letters never matches
    // either way: it is looked for as it is, sparing every payload the folding.
    const bool letters = std::any_of(word.begin(), word.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    });
    term.caseCounts = !letters || caseRuleOf(word) == Qt::CaseSensitive;
    const QString written = word.toString();
    const bool latin1 =
        std::all_of(word.begin(), word.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    const bool ascii =
        std::all_of(word.begin(), word.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (latin1)
        term.latin1 = term.caseCounts ? written.toLatin1() : folded(written.toLatin1());
    if (!ascii)
        term.utf8 = term.caseCounts ? written.toUtf8() : folded(written.toUtf8());
    return term;
}

Rule Rule::parse(QStringView text)
{
    Rule rule;
    rule.m_text = text.toString();
    QString why;
    for (const Token &token : tokens(text, &why)) {
        std::optional<Term> term;
        if (token.expression) {
            term = Term {};
            term->kind = Kind::Expression;
            term->expression = QRegularExpression(token.text,
                                                  caseRuleOf(token.text) == Qt::CaseSensitive
                                                      ? QRegularExpression::NoPatternOption
                                                      : QRegularExpression::CaseInsensitiveOption);
            if (!term->expression.isValid()) {
                why = QStringLiteral("/%1/: %2").arg(token.text, term->expression.errorString());
                break;
            }
            term->expression.optimize();
        } else {
            term = termOf(token.text, token.quoted, &why);
            if (!term)
                break;
        }
        term->negated = token.negated;
        rule.m_needsFields = rule.m_needsFields || term->kind == Kind::Host
            || term->kind == Kind::App || term->kind == Kind::MessageId;
        rule.m_terms.push_back(std::move(*term));
    }
    if (!why.isEmpty()) {
        rule.m_terms.clear();
        rule.m_needsFields = false;
        rule.m_error = why;
    }
    return rule;
}

bool Rule::matches(const ArrivalEntry &entry, QByteArrayView payload,
                   const SyslogFields *fields) const
{
    return std::all_of(m_terms.begin(), m_terms.end(), [&](const Term &term) {
        return holds(term, entry, payload, fields) != term.negated;
    });
}

bool Rule::holds(const Term &term, const ArrivalEntry &entry, QByteArrayView payload,
                 const SyslogFields *fields) const
{
    switch (term.kind) {
    case Kind::Word: {
        // Case that does not count: the payload folded once, for every word of the rule.
        thread_local QByteArray lowered;
        QByteArrayView haystack = payload;
        if (!term.caseCounts) {
            lowered.resize(payload.size());
            std::transform(payload.begin(), payload.end(), lowered.begin(),
                           [](char c) { return Folded[uchar(c)]; });
            haystack = lowered;
        }
        return (!term.latin1.isEmpty()
                && view(haystack).find(view(term.latin1)) != std::string_view::npos)
            || (!term.utf8.isEmpty()
                && view(haystack).find(view(term.utf8)) != std::string_view::npos);
    }
    case Kind::Expression:
        return term.expression.match(QString::fromLatin1(payload)).hasMatch();
    case Kind::Host:
        return fields && equalFolded(fields->hostname, term.value);
    case Kind::App:
        return fields && equalFolded(fields->appName, term.value);
    case Kind::MessageId:
        return fields && equalFolded(fields->msgId, term.value);
    case Kind::Sender: {
        const Arrival &arrival = entry.arrival;
        const int bytes = arrival.addressBytes();
        return term.ipv4 == arrival.ipv4
            && std::equal(term.address.begin(), term.address.begin() + bytes,
                          arrival.address.begin())
            && (!term.port || *term.port == arrival.port);
    }
    case Kind::Facility:
        return entry.priority && entry.priority->facility() == term.level;
    case Kind::Severity:
        return entry.priority && entry.priority->severity() <= term.level;
    }
    return false;
}

namespace {

// In quotes, a word whatever it reads.
QString quotedText(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + quoted + u'"';
}

} // namespace

QString Rule::elided(const QString &text)
{
    constexpr int MostCharacters = 40;
    if (text.size() <= MostCharacters)
        return text;
    return text.left(MostCharacters / 2) + QChar(0x2026) + text.right(MostCharacters / 2 - 1);
}

QString Rule::termForText(const QString &text)
{
    return quotedText(text);
}

QString Rule::termFor(Field field, const QString &value, bool negated)
{
    static const std::array<QLatin1String, 6> Prefixes {
        QLatin1String("host:"), QLatin1String("app:"),   QLatin1String("sender:"),
        QLatin1String("sev:"),  QLatin1String("msgid:"), QLatin1String("facility:"),
    };
    const bool plain = !value.isEmpty() && std::none_of(value.begin(), value.end(), [](QChar c) {
        return c.isSpace() || c == u'"' || c == u'\\';
    });
    return (negated ? QStringLiteral("!") : QString()) + Prefixes[std::size_t(field)]
        + (plain ? value : quotedText(value));
}
