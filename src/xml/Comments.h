#pragma once

#include <QString>

#include <libxml/tree.h>

// The text of a comment as the original service writes it: where libxslt fails on "--" or a final
// "-", it puts a space after each hyphen that another one or the end of the comment follows.
QString commentText(const QString& text);

/**
 * Makes the sheet's own xsl:comment instructions write comments as the original service does
 * (the text above, and an empty comment kept where libxslt drops it): each becomes an extension
 * instruction of ours with the same content. Registers that instruction on first use.
 */
void replaceCommentInstructions(xmlDoc* sheet);
