// Checks of the Properties sheet's fields, with the messages the user sees.
//
// Numbers are read as the dialog fields have always read them: blanks and tabs around the
// number are allowed, any other stray character is not, and a value of 0 counts only when the
// text starts with "0".
#pragma once

#include <QString>

struct FieldCheck {
    bool ok = false;
    QString message;    // why the field was refused; empty when ok
    qint64 value = 0;   // the number read, when the field holds one
};

// An unsigned number in [minimum, maximum]: "Please enter a positive integer." when the text
// is no number, "Please enter an integer between %1 and %2." when it is out of range.
FieldCheck checkUnsignedField(const QString& text, qint64 minimum, qint64 maximum);

// A signed number in [minimum, maximum]: "Please enter an integer." when the text is no
// number, the range message otherwise.
FieldCheck checkSignedField(const QString& text, qint64 minimum, qint64 maximum);

// A text of at most `maximumCharacters`: "Please enter no more than %1 characters.".
FieldCheck checkTextLength(const QString& text, int maximumCharacters);

// The range message for `minimum` and `maximum`.
QString rangeMessage(qint64 minimum, qint64 maximum);
