#pragma once

#include "platform/UserInteraction.h"

#include <QString>
#include <QStringList>

#include <optional>

// Texts of the values asked of the user: reading and writing numbers, checking answers against
// their limits, parsing user field type parts and quoting answers as XPath string expressions.

// A limit equal to this imposes no bound.
inline constexpr double NoLimit = 1e308;

// One user field definition, rebuilt for each userField variable.
struct UserFieldDefinition
{
    QString TargetName;
    QString Prompt;
    UserFieldKind Kind = UserFieldKind::STRING;
    QString LowerText;
    QString UpperText;
    QString Extension; // FILENAME only, without its dot
    QStringList MenuItems;
};

// The outcome of checking an answer: accepted, or the message to show.
struct ValidationResult
{
    bool accepted = true;
    QString message;
};

// Removes leading and trailing white-space and control characters.
QString TrimText(const QString& text);

// Whether two texts are equal once both are upper-cased in the user's locale.
bool SameTextIgnoringCase(const QString& a, const QString& b);

// A finite number written with "." as the decimal separator (sign, digits, optional fraction and
// exponent) and nothing else, whatever the user's locale.
std::optional<double> ParseDotNumber(const QString& text);

// The number with "." as the decimal separator, up to 15 significant digits, never with an
// exponent (an XPath 1.0 number has none), so it can be stored in a select attribute as is.
QString FormatDotNumber(double number);

// A limit text as the value prompt reads it: leading blanks allowed, then nothing but a number
// with "."; NoLimit when empty or unreadable.
double ReadLimit(const QString& text);

// The answer typed in the user's locale (surrounding blanks ignored, no group separators).
std::optional<double> ReadLocaleDouble(const QString& text);
std::optional<qint32> ReadLocaleInteger(const QString& text);

// Checks a decimal or whole number answer against its limits (NoLimit for none).
ValidationResult ValidateDouble(const QString& text, double lowerLimit, double upperLimit);
ValidationResult ValidateInteger(const QString& text, double lowerLimit, double upperLimit);

// The position of the first character that an XML document cannot hold (NUL and most other
// control characters, lone surrogates, U+FFFE, U+FFFF), or nothing when there is none.
std::optional<qsizetype> FirstNonXmlCharacter(const QString& text);

// Refuses a text answer holding a character that the style sheet cannot hold.
ValidationResult ValidateText(const QString& text);

// The same checks for a question, whatever its kind.
ValidationResult ValidateAnswer(const ValueQuestion& question, const QString& answer);

// The default shown for a target whose dequoted select is text: a DOUBLE in the user's locale with
// as many decimals as text has after its point; other kinds, and texts that are not numbers,
// unchanged.
QString FormatFieldDefault(const QString& text, UserFieldKind kind);

// A definition with what the type part of a definition says (kind, limits, extension, menu items)
// and no target or prompt; nothing when the type part is malformed or declares no kind.
std::optional<UserFieldDefinition> ParseFieldType(const QString& typePart);

// The text as an XPath 1.0 string expression: 'text', or "text" when it holds an apostrophe, or a
// concat() of both kinds when it holds both. A concat() of very many literals is grouped into
// nested concat()s, because libxml2 evaluates each argument one level deeper than the one before.
QString QuoteXPathString(const QString& text);

// The text a select attribute stands for: what QuoteXPathString wrote (a "…" literal or a concat()
// of literals) decoded, anything else as DequoteSelect reads it.
QString DecodeSelectText(const QString& select);
