#include "console/ConsolePrompts.h"

#include "fields/ValueValidation.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

namespace {

// The item FillUserMenu would preselect for the default: the last one matching it.
qsizetype defaultItem(const ValueQuestion& q)
{
    qsizetype found = -1;
    for (qsizetype i = 0; i < q.menuItems.size(); ++i) {
        if (SameTextIgnoringCase(TrimText(q.menuItems.at(i)), TrimText(q.defaultText)))
            found = i;
    }
    return found;
}

// The item an answer names: its number first, as the list is printed with numbers, then its text.
qsizetype chosenItem(const ValueQuestion& q, const QString& answer)
{
    bool isNumber = false;
    const int number = TrimText(answer).toInt(&isNumber);
    if (isNumber && number >= 1 && number <= q.menuItems.size())
        return number - 1;
    const qsizetype exact = q.menuItems.indexOf(answer);
    if (exact >= 0)
        return exact;
    for (qsizetype i = 0; i < q.menuItems.size(); ++i) {
        if (SameTextIgnoringCase(TrimText(q.menuItems.at(i)), TrimText(answer)))
            return i;
    }
    return -1;
}

void printQuestion(const ValueQuestion& q, QTextStream& err)
{
    if (q.kind == UserFieldKind::STRINGMENU) {
        const qsizetype preselected = defaultItem(q);
        err << q.prompt;
        if (preselected >= 0)
            err << " [" << q.menuItems.at(preselected) << ']';
        err << '\n';
        for (qsizetype i = 0; i < q.menuItems.size(); ++i)
            err << "  " << (i + 1) << ") " << q.menuItems.at(i) << '\n';
        err << "> ";
    } else {
        err << q.prompt;
        if (!q.defaultText.isEmpty())
            err << " [" << q.defaultText << ']';
        err << ' ';
    }
    err.flush();
}

} // namespace

void reportNoAnswer(QTextStream& err)
{
    err << '\n' << LoadLocalizedString(TextId::InputEnded) << Qt::endl;
}

std::optional<QString> askValueOnConsole(const ValueQuestion& q, QTextStream& in, QTextStream& err, bool interactive)
{
    for (;;) {
        printQuestion(q, err);
        QString line;
        if (!in.readLineInto(&line)) {
            reportNoAnswer(err);
            return std::nullopt;
        }

        QString message;
        if (q.kind == UserFieldKind::STRINGMENU) {
            const qsizetype item = line.isEmpty() ? defaultItem(q) : chosenItem(q, line);
            if (item >= 0)
                return q.menuItems.at(item);
            message = line.isEmpty() ? LoadLocalizedString(TextId::NoItemChosen)
                                     : FormatText(LoadLocalizedString(TextId::NotAnItem), {line});
        } else {
            const QString answer = line.isEmpty() ? q.defaultText : line;
            const ValidationResult check = ValidateAnswer(q, answer);
            if (check.accepted)
                return answer;
            message = check.message;
        }

        err << LoadLocalizedString(TextId::CaptionError) << ": " << message << '\n';
        err.flush();
        if (!interactive)
            return std::nullopt;
    }
}
