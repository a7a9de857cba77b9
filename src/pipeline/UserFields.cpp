#include "pipeline/UserFields.h"

#include "pipeline/XmlService.h"

// Provisional: user fields are not asked for yet.
bool ApplyUserFields(XmlDocument&, UserInteraction&)
{
    return true;
}

void SetSelectByName(XmlDocument& document, const QString& tag, const QString& name, const QString& expression)
{
    for (XmlNode node : document.getElementsByTagName(tag)) {
        if (node.isElement() && node.getAttribute(QStringLiteral("name")) == name)
            node.setAttribute(QStringLiteral("select"), expression);
    }
}
