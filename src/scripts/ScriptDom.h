#pragma once

#include <QHash>
#include <QJSValue>
#include <QObject>
#include <QSet>
#include <QString>

#include <libxml/tree.h>

#include <memory>
#include <unordered_map>
#include <vector>

class QJSEngine;

class DocumentKeeper;

/**
 * The nodes scripts of one transformation can reach, by number, so that a script never holds a
 * pointer: numbers of result tree fragments lapse when the call that saw them returns (libxslt
 * frees such trees). Documents scripts build live while the script engine can reach them: each
 * wrapper of their nodes holds a keeper, an object of the engine's that tells these nodes when
 * the engine's garbage collector drops it. Documents that nodes moved between live and die
 * together, and a document with nodes handed to the transformation lives until it is over.
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

    // Numbers of nodes of documents scripts build are odd: wrappers of those hold a keeper.
    int handle(xmlNode* node);
    xmlNode* node(int handle) const;

    // Forgets the nodes of result tree fragments seen during the call that just returned, and
    // frees dropped documents when much was built since that was last done.
    void endCall();

    // A new document of the script's, for which `charged` bytes were counted.
    xmlDoc* newDocument(qint64 charged);
    bool owns(const xmlNode* node) const { return node->doc && node->doc->_private == this; }

    // The keeper of the node's document in the engine, made when there is none.
    DocumentKeeper* keeperOf(const xmlNode* node, QJSEngine& engine);
    // Engines whose garbage collector collect() runs.
    void addEngine(QJSEngine& engine) { m_engines.push_back(&engine); }

    // A node of one script document is about to join a tree of another: from now on both live
    // as long as either is reachable.
    void tie(const xmlDoc* a, const xmlDoc* b);
    // The node is handed to the transformation, which may use it until the end.
    void pin(const xmlNode* node);

    // A node that has left its tree: freed with its document unless it joined a tree again.
    void detached(xmlNode* node);

    // Counts bytes scripts are about to add to a document (or to no document yet); false once
    // the total would pass the limit.
    bool charge(qint64 bytes, const xmlDoc* doc);
    qint64 memoryLimit() const { return m_memoryLimit; }
    // Runs the engines' garbage collectors and frees the documents they no longer reach, except
    // the one the caller still works on (reached perhaps through a number the script forged).
    void collect(const xmlDoc* inUse = nullptr);

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
    friend class DocumentKeeper;
    struct DocFree
    {
        void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    };
    // Documents that live and die together.
    struct Group
    {
        std::vector<std::unique_ptr<xmlDoc, DocFree>> documents;
        std::vector<int> handles;
        std::vector<xmlNode*> detached;
        std::vector<DocumentKeeper*> keepers;
        bool pinned = false;
        bool inUse = false;
        qint64 charged = 0;
    };
    Group* groupOf(const xmlDoc* doc) const;
    void released(DocumentKeeper* keeper);
    void free(Group* group);

    std::vector<xmlNode*> m_nodes; // by handle / 2
    QHash<const xmlNode*, int> m_handleOf;
    std::vector<int> m_transient;
    std::unordered_map<const xmlDoc*, Group*> m_groupOf;
    std::unordered_map<Group*, std::unique_ptr<Group>> m_groups;
    std::vector<QJSEngine*> m_engines;
    const qint64 m_memoryLimit;
    qint64 m_charged = 0;
    qint64 m_chargedSinceCollect = 0;
    QHash<xmlDoc*, DocumentState> m_documentState;
};

// Holds a script document alive for as long as the engine that made it can reach it.
class DocumentKeeper : public QObject
{
    Q_OBJECT
public:
    DocumentKeeper(ScriptNodes& nodes, const xmlDoc* doc, QJSEngine& engine);
    ~DocumentKeeper() override;

private:
    friend class ScriptNodes;
    ScriptNodes* m_nodes;
    const xmlDoc* m_doc;
    QJSEngine* m_engine;
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

    // The keeper a wrapper of the node holds.
    Q_INVOKABLE QJSValue keeperOf(int h);

    // The nodes' numbers: one number, first + count * ListSpanCountUnit, when they follow each other
    // (count below ListSpanCountLimit, so that the sum stays exact) and no script built their
    // document, else an array of the script engine holding the keeper of their document.
    QJSValue handles(const std::vector<xmlNode*>& nodes);
    static constexpr double ListSpanCountUnit = 4294967296.0;
    static constexpr std::size_t ListSpanCountLimit = std::size_t(1) << 20;

private:
    xmlNode* nodeOrThrow(int h);
    xmlNode* changeableOrThrow(int h);
    // Charges bytes to doc (or to a document about to be made); inUse is the document of nodes the
    // caller holds, which a collection must not free.
    bool chargeOrThrow(qint64 bytes, const xmlDoc* doc, const xmlDoc* inUse = nullptr);
    // The child, ready to be linked under parent (copied when it comes from a read-only document),
    // or nothing after an error was thrown.
    xmlNode* insertable(xmlNode* parent, int& childHandle);
    std::vector<xmlNode*> select(xmlNode* context, const QString& xpath);
    void replaceChildrenWithText(xmlNode* node, const QString& value);

    ScriptNodes& m_nodes;
    QJSEngine& m_engine;
    std::vector<int> m_handleBuffer;
    std::vector<xmlNode*> m_childBuffer;
};
