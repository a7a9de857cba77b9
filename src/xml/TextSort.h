#pragma once

#include <QCollator>
#include <QString>

struct _xsltTransformContext;

/**
 * How xsl:sort orders text keys: by the rules of the sort's language (English when it names
 * none), case mattering only between keys that are otherwise equal, upper or lower case first.
 * As the original service's word sort: the ligatures æ and œ compare as the letters they join,
 * hyphens and apostrophes only decide between keys otherwise equal, French compares accents from
 * the end of the word, and Spanish sorts "ch" and "ll" as letters of their own. Keys equal by
 * these rules keep document order.
 */
class TextOrder
{
public:
    TextOrder(const QString& language, bool upperFirst);

    // Negative when a sorts before b, zero when they are equal, positive otherwise.
    int compare(const QString& a, const QString& b) const;

private:
    int compareWords(const QString& a, const QString& b) const;
    QString collationKey(QString text) const;

    QCollator m_ignoringCase;
    bool m_upperFirst;
    bool m_accentsFromTheEnd;
    bool m_traditionalSpanish;
};

// Sorts the transformation's xsl:sort node lists with TextOrder for text keys.
void installTextSort(_xsltTransformContext* context);
