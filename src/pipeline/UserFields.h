#pragma once

#include "fields/ValueValidation.h"
#include "platform/UserInteraction.h"

#include <QString>

class XmlDocument;

// Asks the user for every userField value the style sheet declares and writes the answers into
// their target variables. False when the user cancelled a prompt.
bool ApplyUserFields(XmlDocument& styleSheet, UserInteraction& ui);

// Sets the select attribute of every element of that tag and name.
void SetSelectByName(XmlDocument& document, const QString& tag, const QString& name, const QString& expression);

// Whether a variable name declares a user field ("userField" at its start, in any case).
bool IsUserFieldName(const QString& name);
