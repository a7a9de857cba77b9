#include "pipeline/UserFields.h"

#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"
#include "xml/XmlService.h"

#include <QHash>

#include <vector>

namespace {

const QString NameAttribute = QStringLiteral("name");
const QString SelectAttribute = QStringLiteral("select");

// The text before the first bar, removed from rest together with that bar; all of rest when it
// has none.
QString splitOff(QString& rest)
{
    const qsizetype bar = rest.indexOf(u'|');
    QString head = bar < 0 ? rest : rest.left(bar);
    rest = bar < 0 ? QString() : rest.mid(bar + 1);
    return head;
}

// The answer as an expression whose value the style sheet sees as typed.
QString answerExpression(UserFieldKind kind, const QString& answer)
{
    switch (kind) {
    case UserFieldKind::DOUBLE:
        if (const auto value = ReadLocaleDouble(answer))
            return FormatDotNumber(*value);
        break;
    case UserFieldKind::INTEGER:
        // Plain digits, so that "+7" or "007" stay numbers in XPath.
        if (const auto value = ReadLocaleInteger(answer))
            return QString::number(*value);
        break;
    case UserFieldKind::STRING:
    case UserFieldKind::STRINGMENU:
    case UserFieldKind::FILENAME:
        break;
    }
    return QuoteXPathString(answer);
}

// Asks again while the answer fails its check: an answer the transformation cannot read is never
// written.
template <typename Ask, typename Check>
std::optional<QString> askUntilValid(UserInteraction& ui, Ask ask, Check check)
{
    for (;;) {
        auto answer = ask();
        if (!answer)
            return std::nullopt;
        const ValidationResult result = check(*answer);
        if (result.accepted)
            return answer;
        ui.showMessage(MessageKind::Error, result.message);
    }
}

std::optional<QString> askFileName(const UserFieldDefinition& definition, UserInteraction& ui)
{
    OpenFileRequest request;
    request.title = definition.Prompt;
    request.defaultExtension = u'.' + definition.Extension;
    request.filterDescription = definition.Prompt;
    request.filterPattern = QStringLiteral("*.") + definition.Extension;
    request.fileName = request.filterPattern;
    return askUntilValid(
        ui, [&] { return ui.askOpenFile(request); }, ValidateText);
}

std::optional<QString> askValue(const UserFieldDefinition& definition, const QString& select, UserInteraction& ui)
{
    const ValueQuestion question{definition.Prompt,    FormatFieldDefault(select, definition.Kind),
                                 definition.Kind,      definition.LowerText,
                                 definition.UpperText, definition.MenuItems};
    // The dialog checks answers itself; one that still fails is asked for again.
    return askUntilValid(
        ui, [&] { return ui.askValue(question); },
        [&](const QString& answer) { return ValidateAnswer(question, answer); });
}

bool askForTarget(XmlNode target, const UserFieldDefinition& definition, UserInteraction& ui)
{
    const QString select = DecodeSelectText(target.getAttribute(SelectAttribute).value_or(QString()));
    const auto answer =
        definition.Kind == UserFieldKind::FILENAME ? askFileName(definition, ui) : askValue(definition, select, ui);
    if (!answer)
        return false;
    target.setAttribute(SelectAttribute, answerExpression(definition.Kind, *answer));
    return true;
}

} // namespace

bool IsUserFieldName(const QString& name)
{
    return name.startsWith(QLatin1String("userField"), Qt::CaseInsensitive);
}

bool ApplyUserFields(XmlDocument& styleSheet, UserInteraction& ui)
{
    const std::vector<XmlNode> variables = styleSheet.getElementsByTagName(QStringLiteral("xsl:variable"));

    // Answers change select attributes only, never names: the targets of a name can be looked up
    // once instead of walking every variable for every definition.
    std::vector<std::optional<QString>> names;
    names.reserve(variables.size());
    QHash<QString, std::vector<std::size_t>> targets;
    for (std::size_t i = 0; i < variables.size(); ++i) {
        names.push_back(variables[i].isElement() ? variables[i].getAttribute(NameAttribute) : std::nullopt);
        if (names.back())
            targets[*names.back()].push_back(i);
    }

    for (std::size_t i = 0; i < variables.size(); ++i) {
        if (!names[i] || !IsUserFieldName(*names[i]))
            continue;

        QString rest = DecodeSelectText(variables[i].getAttribute(SelectAttribute).value_or(QString()));
        const QString targetName = TrimText(splitOff(rest));
        const QString prompt = TrimText(splitOff(rest));
        auto definition = ParseFieldType(rest);
        if (!definition) {
            const QString named = prompt.isEmpty() ? *names[i] : prompt;
            ui.showMessage(MessageKind::Error, FormatText(LoadLocalizedString(TextId::DefinitionError), {named}));
            continue;
        }
        definition->TargetName = targetName;
        definition->Prompt = prompt;

        for (const std::size_t target : targets.value(targetName)) {
            if (!askForTarget(variables[target], *definition, ui))
                return false;
        }
    }
    return true;
}

void SetSelectByName(XmlDocument& document, const QString& tag, const QString& name, const QString& expression)
{
    for (XmlNode node : document.getElementsByTagName(tag)) {
        if (node.isElement() && node.getAttribute(NameAttribute) == name)
            node.setAttribute(SelectAttribute, expression);
    }
}
