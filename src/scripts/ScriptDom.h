#pragma once

#include <QHash>
#include <QJSValue>
#include <QObject>
#include <QSet>
#include <QString>

#include <libxml/tree.h>

#include <memory>
#include <vector>

class QJSEngine;

/**
 * The nodes scripts of one transformation can reach, by number, so that a script never holds a
 * pointer: numbers of result tree fragments lapse when the call that saw them returns (libxslt
 * frees such trees), and documents scripts build live until the transformation is over.
 * Only nodes of those documents may be changed; the source and the style sheet stay as they are.
 */
class ScriptNodes
{
public:
    // memoryLimit bounds what scripts build: documents, nodes and the texts they hold, in bytes.
    explicit ScriptNodes(qint64 memoryLimit);
    ~ScriptNodes();
    ScriptNodes(const ScriptNodes&) = delete;
    ScriptNodes& operator=(const ScriptNodes&) = delete;

    int handle(xmlNode* node);
    xmlNode* node(int handle) const;

    // Forgets the nodes of result tree fragments seen during the call that just returned.
    void endCall();

    xmlDoc* newDocument();
    bool owns(const xmlNode* node) const { return m_owned.contains(node->doc); }

    // A node that has left its tree: freed at the end unless it joined a tree again.
    void detached(xmlNode* node) { m_detached.push_back(node); }

    // Counts bytes scripts are about to add; false once the total would pass the limit.
    bool charge(qint64 bytes);
    qint64 memoryLimit() const { return m_memoryLimit; }

    struct DocumentState
    {
        QHash<QString, QString> selectionNamespaces;
        int errorCode = 0;
        QString reason;
        int line = 0;
        int linePosition = 0;
        QString sourceText;
        QString selectionLanguage = QStringLiteral("XPath");
        QString selectionNamespacesText;
    };
    DocumentState& stateOf(xmlDoc* doc) { return m_documentState[doc]; }

private:
    struct DocFree
    {
        void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    };

    std::vector<xmlNode*> m_nodes;
    QHash<const xmlNode*, int> m_handleOf;
    std::vector<int> m_transient;
    std::vector<std::unique_ptr<xmlDoc, DocFree>> m_documents;
    QSet<const xmlDoc*> m_owned;
    const qint64 m_memoryLimit;
    qint64 m_charged = 0;
    std::vector<xmlNode*> m_detached;
    QHash<xmlDoc*, DocumentState> m_documentState;
};

// What a script sees of the document model: one per script engine, as errors are thrown into it.
class ScriptDom : public QObject
{
    Q_OBJECT
public:
    ScriptDom(ScriptNodes& nodes, QJSEngine& engine);

    Q_INVOKABLE int nodeType(int h);
    Q_INVOKABLE QString nodeName(int h);
    Q_INVOKABLE QJSValue nodeValue(int h);
    Q_INVOKABLE void setNodeValue(int h, const QString& value);
    Q_INVOKABLE QString text(int h);
    Q_INVOKABLE void setText(int h, const QString& value);
    Q_INVOKABLE QString xml(int h);
    Q_INVOKABLE QString baseName(int h);
    Q_INVOKABLE QString prefix(int h);
    Q_INVOKABLE QString namespaceURI(int h);
    Q_INVOKABLE int parentNode(int h);
    Q_INVOKABLE int firstChild(int h);
    Q_INVOKABLE int lastChild(int h);
    Q_INVOKABLE int nextSibling(int h);
    Q_INVOKABLE int previousSibling(int h);
    Q_INVOKABLE int ownerDocument(int h);
    Q_INVOKABLE int documentElement(int h);
    Q_INVOKABLE QJSValue childNodes(int h);
    Q_INVOKABLE QJSValue attributes(int h);
    Q_INVOKABLE QJSValue getAttribute(int h, const QString& name);
    Q_INVOKABLE QJSValue selectNodes(int h, const QString& xpath);
    Q_INVOKABLE int selectSingleNode(int h, const QString& xpath);

    Q_INVOKABLE int newDocument(const QString& className);
    Q_INVOKABLE bool loadXML(int doc, const QString& text);
    Q_INVOKABLE QJSValue parseError(int doc);
    Q_INVOKABLE void setProperty(int doc, const QString& name, const QString& value);
    Q_INVOKABLE QJSValue getProperty(int doc, const QString& name);
    Q_INVOKABLE QJSValue getElementsByTagName(int h, const QString& name);
    Q_INVOKABLE int cloneNode(int h, bool deep);
    Q_INVOKABLE int removeChild(int parent, int child);
    Q_INVOKABLE int insertBefore(int parent, int child, int reference);
    Q_INVOKABLE int replaceChild(int parent, int child, int old);
    Q_INVOKABLE void removeAttribute(int element, const QString& name);
    Q_INVOKABLE void setDocumentElement(int doc, int element);
    Q_INVOKABLE int createNode(int doc, const QJSValue& type, const QString& name, const QString& namespaceUri);
    Q_INVOKABLE int appendChild(int parent, int child);
    Q_INVOKABLE void setAttribute(int element, const QString& name, const QString& value);
    Q_INVOKABLE int setAttributeNode(int element, int attribute);
    Q_INVOKABLE bool isSameNode(int a, int b);

    // Throws when the engine was interrupted: `catch` and `finally` blocks call it first, since
    // the engine looks at its interrupt only in loops and a handler could otherwise retry for ever.
    Q_INVOKABLE void checkInterrupted();

    // The nodes' numbers as an array of the script engine.
    QJSValue handles(const std::vector<xmlNode*>& nodes);

private:
    xmlNode* nodeOrThrow(int h);
    xmlNode* changeableOrThrow(int h);
    bool chargeOrThrow(qint64 bytes);
    // The child, ready to be linked under parent (copied when it comes from a read-only document),
    // or nothing after an error was thrown.
    xmlNode* insertable(xmlNode* parent, int& childHandle);
    std::vector<xmlNode*> select(xmlNode* context, const QString& xpath);
    void replaceChildrenWithText(xmlNode* node, const QString& value);

    ScriptNodes& m_nodes;
    QJSEngine& m_engine;
};
