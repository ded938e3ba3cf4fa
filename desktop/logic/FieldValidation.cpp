#include "FieldValidation.h"

#include <limits>
#include <optional>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Reads the number the way the fields always have: only the first 31 characters count, a sign
// is allowed where `allowMinus` says so, the value saturates at the 32-bit limits instead of
// wrapping. Returns nothing when the text is not a number.
std::optional<qint64> readNumber(const QString& text, bool allowMinus)
{
    const QString field = text.left(31);
    qsizetype at = 0;
    while (at < field.size() && isBlank(field[at]))
        ++at;
    const qsizetype numberStart = at;
    bool negative = false;
    if (at < field.size() && (field[at] == QLatin1Char('-') || field[at] == QLatin1Char('+'))) {
        negative = field[at] == QLatin1Char('-');
        if (negative && !allowMinus)
            return std::nullopt;
        ++at;
    }
    const qint64 limit = allowMinus ? (negative ? qint64{std::numeric_limits<qint32>::max()} + 1
                                                : std::numeric_limits<qint32>::max())
                                    : std::numeric_limits<quint32>::max();
    qint64 magnitude = 0;
    while (at < field.size() && field[at].isDigit() && field[at].unicode() < 128) {
        magnitude = std::min(limit, magnitude * 10 + (field[at].unicode() - '0'));
        ++at;
    }
    while (at < field.size() && isBlank(field[at]))
        ++at;
    if (at != field.size())
        return std::nullopt;
    if (magnitude == 0 && (numberStart >= field.size() || field[numberStart] != QLatin1Char('0')))
        return std::nullopt;
    return negative ? -magnitude : magnitude;
}

FieldCheck checkNumber(const QString& text, qint64 minimum, qint64 maximum, bool allowMinus,
                       const QString& notANumber)
{
    const std::optional<qint64> number = readNumber(text, allowMinus);
    if (!number)
        return {false, notANumber, 0};
    if (*number < minimum || *number > maximum)
        return {false, rangeMessage(minimum, maximum), *number};
    return {true, QString(), *number};
}

} // namespace

QString rangeMessage(qint64 minimum, qint64 maximum)
{
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

FieldCheck checkUnsignedField(const QString& text, qint64 minimum, qint64 maximum)
{
    return checkNumber(text, minimum, maximum, false,
                       QStringLiteral("Please enter a positive integer."));
}

FieldCheck checkSignedField(const QString& text, qint64 minimum, qint64 maximum)
{
    return checkNumber(text, minimum, maximum, true, QStringLiteral("Please enter an integer."));
}

FieldCheck checkTextLength(const QString& text, int maximumCharacters)
{
    if (text.size() > maximumCharacters) {
        return {false,
                QStringLiteral("Please enter no more than %1 characters.").arg(maximumCharacters),
                text.size()};
    }
    return {true, QString(), text.size()};
}
