#pragma once

#include "xml/XmlService.h"

#include "TestEnvironment.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

// Documents loaded from texts written into a temporary folder, as the pipeline loads them.
class XmlTestFiles
{
public:
    XmlDocument source(const QByteArray& text, const QString& name = QStringLiteral("source.xml")) const
    {
        XmlDocument document;
        EXPECT_TRUE(document.load(m_env.writeFile(name, text))) << document.parseError().reason.toStdString();
        return document;
    }

    XmlDocument sheet(const QByteArray& text) const
    {
        XmlDocument document;
        EXPECT_TRUE(document.loadStyleSheet(m_env.writeFile(QStringLiteral("sheet.xsl"), text)))
            << document.parseError().reason.toStdString();
        return document;
    }

    QString write(const QString& name, const QByteArray& text) const { return m_env.writeFile(name, text); }

    // The transformation's output as text.
    QString transform(const XmlDocument& source, const XmlDocument& sheet) const
    {
        QFile out(m_env.root() + QStringLiteral("/out.txt"));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        transformNodeToObject(source, sheet, out.handle());
        out.close();
        out.open(QIODevice::ReadOnly);
        return QString::fromUtf8(out.readAll());
    }

private:
    TestEnvironment m_env;
};

// The select attributes of the elements of that tag and name, in document order.
inline QStringList selectsOf(const XmlDocument& document, const QString& tag, const QString& name)
{
    QStringList selects;
    for (const XmlNode& node : document.getElementsByTagName(tag)) {
        if (node.getAttribute(QStringLiteral("name")) == name)
            selects << node.getAttribute(QStringLiteral("select")).value_or(QStringLiteral("<none>"));
    }
    return selects;
}

inline QByteArray styleSheetWith(const QByteArray& body)
{
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
           "<xsl:output method=\"text\"/>\n" +
           body + "\n</xsl:stylesheet>\n";
}
